#ifndef NORV_HOST_DAEMON_MEMBERSHIP_H_
#define NORV_HOST_DAEMON_MEMBERSHIP_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/base/CGuid.h"
#include "core/base/CString.h"
#include "host/store/HostDatabase.h"

namespace norvhost {

// One daemon as `status` shows it.
struct MemberRow {
  CString id;
  CString host;
  CString pid;
  CString started;
  CString heartbeat;
  long sent = 0;
};

// This daemon's place among the daemons sharing a server database, kept in
// NORV_HOST_MEMBER. The database's own clock times the leases, so the
// machines' clocks need not agree. A thread of its own renews the lease,
// so a long planning pass does not let it lapse.
//
// Thread-safe: the main loop and the send thread ask it; the heartbeat
// thread writes.
class Membership {
 public:
  // `settings` names the server database; the lease is how long this
  // daemon stays live without renewing it.
  Membership(const DatabaseSettings& settings, std::chrono::seconds lease);
  ~Membership();  // leaves
  Membership(const Membership&) = delete;
  Membership& operator=(const Membership&) = delete;

  // Registers this daemon and starts renewing its lease; false with the
  // reason when the database cannot be reached.
  bool Join(CString& reason);
  // Removes this daemon's row, so its share passes to the others at once.
  void Leave();

  const CString& id() const { return m_id; }
  // Whether this daemon plans `remindID`: its hash over the sorted live
  // members picks one, so each remind has one planner once they agree.
  bool Plans(const CGuid& remindID) const;
  void CountSent() { ++m_sent; }

  // A condition true when the member named by the SQL expression `member`
  // holds a lease that has not lapsed.
  static CString LiveCondition(const CString& member);
  // The live daemons, oldest first.
  static bool ListLive(HostDatabase& database, std::vector<MemberRow>& members, CString& reason);

 private:
  bool Beat(CString& reason);
  void Renew();

  HostDatabase m_database;
  const std::chrono::seconds m_lease;
  CString m_id;
  std::atomic<long> m_sent{0};
  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_stopping = false;
  std::vector<CString> m_live;  // sorted; guarded by m_mutex
  std::thread m_thread;
};

}  // namespace norvhost

#endif  // NORV_HOST_DAEMON_MEMBERSHIP_H_
