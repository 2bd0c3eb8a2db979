#ifndef NORV_HOST_DAEMON_DAEMON_H_
#define NORV_HOST_DAEMON_DAEMON_H_

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "core/base/CGuid.h"
#include "core/base/COleDateTime.h"
#include "host/daemon/DaemonPlanner.h"
#include "host/store/HostDatabase.h"
#include "host/cli/HostSettings.h"
#include "host/daemon/SendLedger.h"
#include "host/daemon/StopSignals.h"
#include "manager/CNorvRemindMgr.h"

namespace norvhost {

struct DaemonOptions {
  IMSettings im;
  std::string logFolder;  // for the manager's send-error log
  std::chrono::seconds poll{5};
  bool untilIdle = false;
  std::optional<std::chrono::seconds> exitAfter;
};

// The delivery daemon: the manager with its threads, today's plan, and a
// main loop that wakes at each planned time, at each poll of the database
// and at midnight.
class Daemon {
 public:
  Daemon(HostDatabase& database, DaemonOptions options);
  // Runs until a stop signal (or the exit option) and returns an exit code.
  int Run();

 private:
  bool Start();
  void PlanLateOneOffs();
  void Tick();
  void SyncRegistry();
  void Withdraw(CNorvRemind& remind);
  void SendDueMessages();
  void RecordOutcomes();
  void Shutdown();
  std::chrono::milliseconds TimeToNextEvent(std::chrono::steady_clock::time_point nextTick,
                                            std::chrono::steady_clock::time_point started);

  HostDatabase& m_database;
  DaemonOptions m_options;
  Waker m_waker;
  std::shared_ptr<RecordingTransport> m_transport;
  SendLedger m_ledger;
  CNorvRemindMgr m_manager;
  DaemonPlanner m_planner;
  COleDateTime m_day;
  // Reminds that fail to load are reported once, not at every poll.
  std::set<CGuid> m_unloadable;
};

}  // namespace norvhost

#endif  // NORV_HOST_DAEMON_DAEMON_H_
