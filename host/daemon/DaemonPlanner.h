#ifndef NORV_HOST_DAEMON_DAEMONPLANNER_H_
#define NORV_HOST_DAEMON_DAEMONPLANNER_H_

#include <cassert>
#include <cstddef>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "core/base/CGuid.h"
#include "core/base/CNorvBasePtr.h"
#include "core/base/COleDateTime.h"
#include "core/base/CStringArray.h"
#include "host/daemon/Membership.h"
#include "host/daemon/SendLedger.h"
#include "host/store/HostDatabase.h"
#include "manager/CNorvRemindMgr.h"
#include "message/CNorvRemindAMMsg.h"
#include "remind/CEmItem.h"
#include "remind/CNorvRemind.h"

namespace norvhost {

// Turns the registered reminds into what fires on a day: inbox rows, one
// instant message per receiver, and the firing counted. Each firing is
// written all or nothing, and a firing whose rows exist already (from an
// earlier run) is not planned again.
//
// Firings are stored in batches, one transaction each; the rows earlier
// runs stored for the day are read once per plan. Used by one thread.
class DaemonPlanner {
 public:
  // The three references must outlive the planner.
  DaemonPlanner(HostDatabase& database, CNorvRemindMgr& manager, SendLedger& ledger,
                size_t batchFirings = kBatchFirings)
      : m_database(database), m_manager(manager), m_ledger(ledger), m_batchFirings(batchFirings) {
    assert(batchFirings > 0);
  }

  // Plans every registered remind for `day` (any day, today or ahead);
  // returns early, between two firings, once `stopRequested` says so.
  void PlanDay(const COleDateTime& day, const std::function<bool()>& stopRequested);
  // `handOver` false stores the firings only, for the manager's InitData to
  // load with the other waiting messages.
  void PlanRemind(CNorvRemind& remind, const COleDateTime& day, bool handOver = true);
  // A new day: the firings remembered so far are of no more use.
  void StartDay() { m_planned.clear(); }
  // Shared with other daemons from now on: only this one's share of the
  // reminds is planned, each firing is stored once by whichever daemon
  // comes first, and the messages planned are claimed for this one.
  // `membership` must outlive the planner.
  void ShareWith(const Membership* membership) { m_membership = membership; }

  // Times further in the past than this are not planned any more.
  static constexpr double kLateLimitDays = 1.0 / 24;
  // Large enough that commits cost little, small enough that a stop or a
  // failing firing costs little.
  static constexpr size_t kBatchFirings = 512;

 private:
  using FiringKey = std::pair<CGuid, long long>;
  // Receivers that already have a row, per firing.
  using StoredRows = std::map<FiringKey, std::set<CString>>;

  // What one firing adds: inbox rows and instant messages for the receivers
  // an earlier run has not covered, and whether it is counted.
  struct Firing {
    CNorvRemind* remind = nullptr;
    COleDateTime time;
    CStringArray inboxReceivers;
    CStringArray inboxNames;
    std::vector<CNorvBasePtr<CNorvRemindAMMsg>> messages;
    std::vector<CNorvBasePtr<CEmItem>> receivers;
    bool counts = false;
  };

  // The firings of `remind` on `day` still to plan; settles the rest.
  void Candidates(CNorvRemind& remind, const COleDateTime& day, const CString& dayText,
                  std::vector<Firing>& firings);
  void PlanFirings(std::vector<Firing>& firings, const COleDateTime& day, const CGuid* remindID,
                   bool handOver, const std::function<bool()>& stopRequested);
  // Receivers of the day's stored rows, of one remind or (null) of all.
  bool ReadStoredRows(const COleDateTime& day, const CGuid* remindID, StoredRows& inbox,
                      StoredRows& instant, CString& errorText);
  bool ReadStoredTable(const wchar_t* table, const COleDateTime& day, const CGuid* remindID,
                       StoredRows& rows, CString& errorText);
  void Collect(Firing& firing, const StoredRows& inbox, const StoredRows& instant);
  // Stores the batch in one transaction, or firing by firing when that
  // fails, so that one bad firing costs only itself; hands over what stored.
  void StoreBatch(std::vector<Firing*>& batch, bool handOver);
  bool StoreRows(Firing& firing, CString& errorText);
  // Records the firing for its receivers in NORV_HOST_FIRING and drops
  // those another daemon has recorded already.
  bool Reserve(Firing& firing, CString& errorText);
  bool Claim(const Firing& firing, CString& errorText);
  void HandOver(Firing& firing, bool handOver);
  // Marks a remind that has run out inactive; what it planned still goes.
  // Only once none of its messages waits: the daemon sending one (a retry,
  // or another daemon's share) would withdraw it as made inactive.
  void Retire(CNorvRemind& remind);
  bool HasWaitingMessage(const CGuid& remindID);

  HostDatabase& m_database;
  CNorvRemindMgr& m_manager;
  SendLedger& m_ledger;
  const size_t m_batchFirings;
  const Membership* m_membership = nullptr;
  // Firings settled in this process: planned, found planned, or too late.
  std::set<FiringKey> m_planned;
};

}  // namespace norvhost

#endif  // NORV_HOST_DAEMON_DAEMONPLANNER_H_
