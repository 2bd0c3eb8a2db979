#ifndef NORV_HOST_DAEMON_DAEMON_H_
#define NORV_HOST_DAEMON_DAEMON_H_

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>

#include "core/base/CGuid.h"
#include "core/base/COleDateTime.h"
#include "host/cli/HostSettings.h"
#include "host/daemon/DaemonManager.h"
#include "host/daemon/DaemonPlanner.h"
#include "host/daemon/DeliveryStore.h"
#include "host/daemon/Membership.h"
#include "host/daemon/SendLedger.h"
#include "host/daemon/Waker.h"
#include "host/store/HostDatabase.h"
#include "manager/CNorvRemindMgr.h"

namespace norvhost {

struct DaemonOptions {
  IMSettings im;
  std::string logFolder;  // for the manager's send-error log
  std::chrono::seconds poll{5};
  // A message is retried until it is this much older than its time.
  std::chrono::seconds catchUp{3600};
  // The wait after the first failed attempt; it doubles with each further
  // one up to retryLimit, less up to half of it at random so that many
  // failed messages do not all come back at once.
  std::chrono::milliseconds retryBase{2000};
  std::chrono::milliseconds retryLimit{300000};
  // The next day is planned this long before midnight, so that its first
  // messages are in hand when it starts.
  std::chrono::seconds lookAhead{3600};
  // Sharing a server database, a daemon that has not renewed its lease for
  // this long is dead to the others, which take over its messages.
  std::chrono::seconds lease{30};
  bool untilIdle = false;
  std::optional<std::chrono::seconds> exitAfter;
};

// The delivery daemon: the manager with its threads, today's plan, and a
// main loop that wakes at each planned time, at each poll of the database,
// at each retry and at midnight. Messages go out at least once: each is
// marked as being sent before it leaves, so a crash repeats at most the
// one in flight. On a server database several daemons share the work: each
// plans its share of the reminds and sends only what it has claimed.
class Daemon {
 public:
  Daemon(HostDatabase& database, DaemonOptions options);
  // Runs until a stop signal (or the exit option); kExitOk, or the exit
  // code with `reason` when it cannot start.
  int Run(CString& reason);

 private:
  // kExitOk, or the exit code to end with and its reason.
  int Start(CString& reason);
  int CheckAccount(CString& reason);
  // The manager's reminds, styles and waiting messages; false with the reason.
  bool Load(CString& reason);
  // Marks inactive the reminds that have run out and whose messages no
  // daemon can still send; false with the database's reason.
  bool ExpireSettled(CString& reason);
  // Joins the daemons on a server database; kExitOk or the exit code.
  int Share(CString& reason);
  void TakeOver();
  void PruneOldDays();
  void PlanLateOneOffs();
  void Tick();
  void PlanTomorrow();
  void SyncRegistry();
  void Withdraw(CNorvRemind& remind);
  void SendDueMessages();
  void RecordOutcomes();
  void RecordOutcome(const SendOutcome& outcome);
  void RetryOrGiveUp(const SendOutcome& outcome, CNorvRemindAMMsg* message);
  void LogUnrecorded(const SendOutcome& outcome, const CString& reason);
  void RetryLater(CNorvRemindAMMsg* message, std::chrono::milliseconds delay);
  void ResendDue();
  std::chrono::milliseconds Backoff(int attempts);
  void Shutdown();
  std::chrono::milliseconds TimeToNextEvent(std::chrono::steady_clock::time_point nextTick,
                                            std::chrono::steady_clock::time_point started);

  HostDatabase& m_database;
  DaemonOptions m_options;
  // Null on SQLite, which has one daemon per file.
  std::unique_ptr<Membership> m_membership;
  Waker m_waker;
  // The send thread's own session, so that a send never waits for the main
  // loop's planning.
  HostDatabase m_sendDatabase;
  DeliveryStore m_store;
  std::shared_ptr<RecordingTransport> m_transport;
  SendLedger m_ledger;
  DaemonManager m_manager;
  DaemonPlanner m_planner;
  COleDateTime m_day;
  // Failed messages by the time of their next attempt.
  std::multimap<std::chrono::steady_clock::time_point, CNorvBasePtr<CNorvRemindAMMsg>> m_retries;
  std::minstd_rand m_random{std::random_device{}()};
  // Reminds that fail to load are reported once, not at every poll.
  std::set<CGuid> m_unloadable;
};

}  // namespace norvhost

#endif  // NORV_HOST_DAEMON_DAEMON_H_
