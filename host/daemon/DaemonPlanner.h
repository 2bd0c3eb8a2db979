#ifndef NORV_HOST_DAEMON_DAEMONPLANNER_H_
#define NORV_HOST_DAEMON_DAEMONPLANNER_H_

#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "remind/CEmItem.h"
#include "core/base/CGuid.h"
#include "core/base/CNorvBasePtr.h"
#include "core/base/CStringArray.h"
#include "core/base/COleDateTime.h"
#include "host/store/HostDatabase.h"
#include "host/daemon/SendLedger.h"
#include "manager/CNorvRemindMgr.h"
#include "message/CNorvRemindAMMsg.h"
#include "remind/CNorvRemind.h"

namespace norvhost {

// Turns the registered reminds into what fires on a day: inbox rows, one
// instant message per receiver, and the firing counted. Each firing is
// written all or nothing, and a firing whose rows exist already (from an
// earlier run) is not planned again.
class DaemonPlanner {
 public:
  DaemonPlanner(HostDatabase& database, CNorvRemindMgr& manager, SendLedger& ledger)
      : m_database(database), m_manager(manager), m_ledger(ledger) {}

  // Plans every registered remind for `day`; returns early, between two
  // firings, once `stopRequested` says so.
  void PlanDay(const COleDateTime& day, const std::function<bool()>& stopRequested);
  // `handOver` false stores the firings only, for the manager's InitData to
  // load with the other waiting messages.
  void PlanRemind(CNorvRemind& remind, const COleDateTime& day, bool handOver = true);
  // A new day: the firings remembered so far are of no more use.
  void StartDay() { m_planned.clear(); }

  // Times further in the past than this are not planned any more.
  static constexpr double kLateLimitDays = 1.0 / 24;

 private:
  // What one firing adds: inbox rows and instant messages for the receivers
  // an earlier run has not covered, and whether it is counted.
  struct Firing {
    CStringArray inboxReceivers;
    CStringArray inboxNames;
    std::vector<CNorvBasePtr<CNorvRemindAMMsg>> messages;
    std::vector<CNorvBasePtr<CEmItem>> receivers;
    bool counts = false;
  };

  bool PlanFiring(CNorvRemind& remind, const COleDateTime& time, bool handOver);
  bool CollectFiring(CNorvRemind& remind, const COleDateTime& time, Firing& firing,
                     CString& errorText);
  // All rows of the firing and its count in one transaction.
  bool StoreFiring(CNorvRemind& remind, const COleDateTime& time, Firing& firing,
                   CString& errorText);
  // Marks a remind that has run out inactive; what it planned still goes.
  void Retire(CNorvRemind& remind);
  bool ExistingReceivers(const wchar_t* table, CNorvRemind& remind, const COleDateTime& time,
                         std::set<CString>& receivers, CString& errorText);

  HostDatabase& m_database;
  CNorvRemindMgr& m_manager;
  SendLedger& m_ledger;
  // Firings settled in this process: planned, found planned, or too late.
  std::set<std::pair<CGuid, long long>> m_planned;
};

}  // namespace norvhost

#endif  // NORV_HOST_DAEMON_DAEMONPLANNER_H_
