#include "host/daemon/DaemonPlanner.h"

#include <cmath>
#include <list>
#include <vector>

#include "core/base/CStringArray.h"
#include "host/daemon/DaemonLog.h"
#include "host/cli/HostText.h"
#include "host/store/RemindSchedule.h"
#include "remind/internal/NorvCodes.h"
#include "repeat/CNorvRemindRepeat.h"

namespace norvhost {

namespace {

long long SecondKey(const COleDateTime& time) {
  return time.GetStatus() == COleDateTime::valid ? std::llround(time.m_dt * 86400.0) : -1;
}

CString Names(const std::vector<CNorvBasePtr<CEmItem>>& receivers) {
  CString names;
  for (const auto& receiver : receivers) {
    if (!names.IsEmpty()) names += L", ";
    names += receiver->m_strReceiveID;
  }
  return names;
}

}  // namespace

void DaemonPlanner::PlanDay(const COleDateTime& day, const std::function<bool()>& stopRequested) {
  CNorvRemindMgr::RemindList reminds;
  m_manager.GetRemindList(reminds);
  for (auto& remind : reminds) {
    if (stopRequested()) return;
    PlanRemind(*remind, day);
  }
}

void DaemonPlanner::PlanRemind(CNorvRemind& remind, const COleDateTime& day, bool handOver) {
  if (HasRunOut(remind, day)) {
    Retire(remind);
    return;
  }
  const COleDateTime now = COleDateTime::GetCurrentTime();
  for (const COleDateTime& time : FiringTimes(remind, day)) {
    const auto key = std::make_pair(remind.m_ID, SecondKey(time));
    if (m_planned.count(key) != 0) continue;
    if (time.GetStatus() != COleDateTime::valid) {
      Log(RemindLabel(remind) + L": a remind time of today cannot be read; skipped");
      m_planned.insert(key);
    } else if ((now - time).GetTotalDays() > kLateLimitDays) {
      Log(RemindLabel(remind) + L": " + time.Format(L"%H:%M:%S") +
          L" passed more than an hour ago; not sent");
      m_planned.insert(key);
    } else if (PlanFiring(remind, time, handOver)) {
      m_planned.insert(key);
    }
  }
}

bool DaemonPlanner::ExistingReceivers(const wchar_t* table, CNorvRemind& remind,
                                      const COleDateTime& time, std::set<CString>& receivers,
                                      CString& errorText) {
  CString query;
  query.Format(L"SELECT CN_S_RECEIVER FROM %s WHERE CN_G_REMIND_ID = '%s' AND CN_T_REMIND = %s",
               table, remind.m_ID.GetString1(), m_database.TimeValue(time));
  std::vector<CString> found;
  if (!m_database.QueryColumn(query, found, &errorText)) return false;
  receivers.insert(found.begin(), found.end());
  return true;
}

bool DaemonPlanner::PlanFiring(CNorvRemind& remind, const COleDateTime& time, bool handOver) {
  Firing firing;
  CString reason;
  if (!CollectFiring(remind, time, firing, reason)) {
    Log(RemindLabel(remind) + L": cannot read its messages: " + reason);
    return false;
  }
  if (firing.receivers.empty()) return true;  // nothing to deliver, or planned by an earlier run
  if (!StoreFiring(remind, time, firing, reason)) {
    Log(RemindLabel(remind) + L": cannot plan " + time.Format(L"%H:%M:%S") + L": " + reason);
    return false;
  }
  // Only what is stored is handed to the manager, so a restart finds the
  // same messages waiting.
  if (firing.counts) remind.m_Repeat.IncRepeatCount();
  if (handOver) {
    for (auto& message : firing.messages) {
      remind.AddAMMsg(message);
      m_manager.AddRemindAMMsg(message, true);
      m_ledger.Expect(message);
    }
  }
  Log(L"planned " + time.Format(L"%Y-%m-%d %H:%M:%S") + L" " + RemindLabel(remind) + L" for " +
      Names(firing.receivers) + (firing.messages.empty() ? L" (inbox only)" : L""));
  return true;
}

bool DaemonPlanner::CollectFiring(CNorvRemind& remind, const COleDateTime& time, Firing& firing,
                                  CString& errorText) {
  std::list<CNorvBasePtr<CEmItem>> receivers;
  remind.GetReceiverList(receivers);
  if (receivers.empty()) {
    Log(RemindLabel(remind) + L": no receivers at " + time.Format(L"%H:%M:%S"));
    return true;
  }
  std::set<CString> inboxDone;
  std::set<CString> instantDone;
  if (!ExistingReceivers(L"NORV_REMIND_MSG", remind, time, inboxDone, errorText) ||
      !ExistingReceivers(L"NORV_REMIND_MSG_AM", remind, time, instantDone, errorText)) {
    return false;
  }
  firing.counts = inboxDone.empty() && instantDone.empty() && remind.HasRepeat();
  CString content;
  CString contentType;
  remind.GetContent(content, contentType);
  for (auto& receiver : receivers) {
    const bool inbox = inboxDone.count(receiver->m_strReceiveID) == 0;
    const bool instant = remind.HasAMFlag() && instantDone.count(receiver->m_strReceiveID) == 0;
    if (inbox) {
      firing.inboxReceivers.Add(receiver->m_strReceiveID);
      firing.inboxNames.Add(receiver->m_strReceiveName);
    }
    if (instant) {
      CNorvBasePtr<CNorvRemindAMMsg> message(new CNorvRemindAMMsg);
      message->m_ID.NewID();
      message->m_RemindID = remind.m_ID;
      message->m_strContent = content;
      message->m_strContentType = contentType;
      message->m_dtRemind = time;
      message->m_strReceiver = receiver->m_strReceiveID;
      message->m_strReceiverName = receiver->m_strReceiveName;
      firing.messages.push_back(message);
    }
    if (inbox || instant) firing.receivers.push_back(receiver);
  }
  return true;
}

bool DaemonPlanner::StoreFiring(CNorvRemind& remind, const COleDateTime& time, Firing& firing,
                                CString& errorText) {
  int limit = 0;
  int count = 0;
  remind.m_Repeat.GetRepeatNum(limit, count);
  CSession& session = m_database.session();
  const short kind = m_database.kind();
  Transaction transaction(m_database);
  if (!transaction.Begin(&errorText)) return false;
  if (firing.inboxReceivers.GetSize() > 0 &&
      !remind.DBInsertMsg(session, kind, firing.inboxReceivers, firing.inboxNames, time,
                          &errorText)) {
    return false;
  }
  for (auto& message : firing.messages) {
    if (!message->DBInsert(session, kind, remind.m_ID, &errorText)) return false;
  }
  if (firing.counts &&
      !CNorvRemindRepeat::DBSetRepeatCount(session, remind.m_ID, count + 1, &errorText)) {
    return false;
  }
  return transaction.Commit(&errorText);
}

void DaemonPlanner::Retire(CNorvRemind& remind) {
  CString reason;
  if (!CNorvRemind::DBSetState(m_database.session(), remind.m_ID, norvcode::kRemindExpired,
                               &reason)) {
    Log(RemindLabel(remind) + L": has run out but cannot be made inactive: " + reason);
    return;
  }
  remind.SetState(norvcode::kRemindExpired);
  m_manager.RemoveRemind(remind.m_ID);
  Log(RemindLabel(remind) + L" has run out; now inactive");
}

}  // namespace norvhost
