#ifndef NORV_HOST_DAEMON_SENDLEDGER_H_
#define NORV_HOST_DAEMON_SENDLEDGER_H_

#include <list>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/im/CIM.h"
#include "core/base/CNorvBasePtr.h"
#include "core/im/CNorvIMTransport.h"
#include "core/base/CString.h"
#include "host/daemon/StopSignals.h"
#include "message/CNorvRemindAMMsg.h"

namespace norvhost {

// What became of one send.
struct SendOutcome {
  CString remindID;  // the message's "RemindID" attribute
  CString receiver;
  bool sent = false;
  int code = 0;
  CString reason;
};

// Carries the manager's messages through the IM client that the address
// selects (file outbox or XMPP) and keeps each outcome for the main loop,
// which records it in the message's row: the manager itself writes nothing
// to the database.
class RecordingTransport : public CNorvIMTransport {
 public:
  explicit RecordingTransport(Waker& waker) : m_waker(waker) {}

  void Init(const CString& server, int port, const CString& user, const CString& password,
            int mode) override;
  int Send(const CMsg& msg, const CString& receiver, int& errorCode, CString& errorText) override;

  std::vector<SendOutcome> TakeOutcomes();

 private:
  Waker& m_waker;
  CIM m_client;
  std::mutex m_mutex;
  std::vector<SendOutcome> m_outcomes;
};

// The instant messages handed to the manager whose outcome is not yet
// known, by remind and receiver in time order. Used by the main loop only.
class SendLedger {
 public:
  void Expect(CNorvRemindAMMsg* message);
  void Forget(CNorvRemindAMMsg* message);
  // The earliest waiting message the outcome belongs to; null for none.
  CNorvBasePtr<CNorvRemindAMMsg> Settle(const SendOutcome& outcome);
  size_t Pending() const { return m_pending; }

 private:
  using Key = std::pair<std::wstring, std::wstring>;
  std::map<Key, std::list<CNorvBasePtr<CNorvRemindAMMsg>>> m_waiting;
  size_t m_pending = 0;
};

}  // namespace norvhost

#endif  // NORV_HOST_DAEMON_SENDLEDGER_H_
