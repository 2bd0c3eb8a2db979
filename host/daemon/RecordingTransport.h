#ifndef NORV_HOST_DAEMON_RECORDINGTRANSPORT_H_
#define NORV_HOST_DAEMON_RECORDINGTRANSPORT_H_

#include <mutex>
#include <vector>

#include "core/base/CGuid.h"
#include "core/base/CString.h"
#include "core/im/CIM.h"
#include "core/im/CNorvIMTransport.h"
#include "host/daemon/DeliveryStore.h"
#include "host/daemon/Waker.h"
#include "host/store/HostDatabase.h"
#include "manager/CNorvRemindMgr.h"

namespace norvhost {

// What became of one message handed to the transport.
struct SendOutcome {
  enum class Kind {
    kSent,
    kFailed,     // the attempt failed; the main loop retries or gives up
    kWithdrawn,  // its remind was deleted or made inactive: never sent
    kDeferred,   // not tried: the database cannot record it, or stopping
    kLost,       // another daemon sends it, or has sent it
  };
  Kind kind = Kind::kDeferred;
  CString remindID;  // the message's "RemindID" attribute
  CString receiver;
  CGuid messageID;  // null unless the message was claimed
  int attempts = 0;
  int code = 0;
  CString reason;
  // Whether the sender's own session stored the outcome.
  bool recorded = false;
};

// Carries the manager's messages through the IM client that the address
// selects (file outbox or XMPP). Each message is marked as being sent in
// the database before it leaves and its result is stored right after, on a
// session of its own, so a crash repeats at most the one message in flight.
// Outcomes are then kept for the main loop. Send runs on the manager's send
// thread; TakeOutcomes on the main loop.
class RecordingTransport : public CNorvIMTransport {
 public:
  // `database` is opened by the caller and used by Send only; `manager`
  // tells which reminds the daemon counts as active. Both outlive this.
  RecordingTransport(Waker& waker, HostDatabase& database, CNorvRemindMgr& manager)
      : m_waker(waker), m_store(database), m_manager(manager) {}

  void Init(const CString& server, int port, const CString& user, const CString& password,
            int mode) override;
  int Send(const CMsg& msg, const CString& receiver, int& errorCode, CString& errorText) override;

  // Claims are held as the daemon `member` from now on; before Start.
  void ShareWith(const CString& member) { m_store.ShareWith(member); }

  // Sends `msg` outside the manager, to see whether the account logs in.
  int Probe(const CMsg& msg, const CString& receiver, CString& reason);

  std::vector<SendOutcome> TakeOutcomes();

 private:
  void Deliver(const CMsg& msg, SendOutcome& outcome);
  void Keep(const SendOutcome& outcome);

  Waker& m_waker;
  DeliveryStore m_store;
  CNorvRemindMgr& m_manager;
  CIM m_client;
  std::mutex m_mutex;
  std::vector<SendOutcome> m_outcomes;
};

}  // namespace norvhost

#endif  // NORV_HOST_DAEMON_RECORDINGTRANSPORT_H_
