#ifndef NORV_HOST_DAEMON_SENDLEDGER_H_
#define NORV_HOST_DAEMON_SENDLEDGER_H_

#include <list>
#include <map>
#include <string>
#include <utility>

#include "core/base/CNorvBasePtr.h"
#include "host/daemon/RecordingTransport.h"
#include "message/CNorvRemindAMMsg.h"

namespace norvhost {

// The instant messages handed to the manager whose outcome is not yet
// final, by remind and receiver in time order. Used by the main loop only.
class SendLedger {
 public:
  void Expect(CNorvRemindAMMsg* message);
  void Forget(CNorvRemindAMMsg* message);
  // The message the outcome belongs to: the claimed one, else the earliest
  // waiting for its remind and receiver; null for none.
  CNorvBasePtr<CNorvRemindAMMsg> Find(const SendOutcome& outcome);
  bool Holds(const CGuid& messageID) const;
  size_t Pending() const { return m_pending; }

 private:
  using Key = std::pair<std::wstring, std::wstring>;
  std::map<Key, std::list<CNorvBasePtr<CNorvRemindAMMsg>>> m_waiting;
  size_t m_pending = 0;
};

}  // namespace norvhost

#endif  // NORV_HOST_DAEMON_SENDLEDGER_H_
