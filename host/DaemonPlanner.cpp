#include "host/DaemonPlanner.h"

#include <cmath>
#include <list>
#include <vector>

#include "core/CStringArray.h"
#include "host/DaemonLog.h"
#include "host/HostText.h"
#include "host/RemindSchedule.h"
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
  std::list<CNorvBasePtr<CEmItem>> receivers;
  remind.GetReceiverList(receivers);
  if (receivers.empty()) {
    Log(RemindLabel(remind) + L": no receivers at " + time.Format(L"%H:%M:%S"));
    return true;
  }
  CString reason;
  std::set<CString> inboxDone;
  std::set<CString> instantDone;
  if (!ExistingReceivers(L"NORV_REMIND_MSG", remind, time, inboxDone, reason) ||
      !ExistingReceivers(L"NORV_REMIND_MSG_AM", remind, time, instantDone, reason)) {
    Log(RemindLabel(remind) + L": cannot read its messages: " + reason);
    return false;
  }
  const bool fresh = inboxDone.empty() && instantDone.empty();

  CStringArray inboxReceivers;
  CStringArray inboxNames;
  std::vector<CNorvBasePtr<CEmItem>> planned;
  std::vector<CNorvBasePtr<CNorvRemindAMMsg>> messages;
  CString content;
  CString contentType;
  remind.GetContent(content, contentType);
  for (auto& receiver : receivers) {
    const bool inbox = inboxDone.count(receiver->m_strReceiveID) == 0;
    const bool instant =
        remind.HasAMFlag() && instantDone.count(receiver->m_strReceiveID) == 0;
    if (inbox) {
      inboxReceivers.Add(receiver->m_strReceiveID);
      inboxNames.Add(receiver->m_strReceiveName);
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
      messages.push_back(message);
    }
    if (inbox || instant) planned.push_back(receiver);
  }
  if (planned.empty()) return true;  // planned by an earlier run

  const bool counts = fresh && remind.HasRepeat();
  int limit = 0;
  int count = 0;
  remind.m_Repeat.GetRepeatNum(limit, count);
  CSession& session = m_database.session();
  Transaction transaction(m_database);
  bool written = transaction.Begin(&reason) &&
                 (inboxReceivers.GetSize() == 0 ||
                  remind.DBInsertMsg(session, m_database.kind(), inboxReceivers, inboxNames, time,
                                     &reason));
  for (auto& message : messages) {
    written = written && message->DBInsert(session, m_database.kind(), remind.m_ID, &reason);
  }
  written = written &&
            (!counts || CNorvRemindRepeat::DBSetRepeatCount(session, remind.m_ID, count + 1,
                                                            &reason)) &&
            transaction.Commit(&reason);
  if (!written) {
    Log(RemindLabel(remind) + L": cannot plan " + time.Format(L"%H:%M:%S") + L": " + reason);
    return false;
  }

  // Only what is stored is handed to the manager, so a restart finds the
  // same messages waiting.
  if (counts) remind.m_Repeat.IncRepeatCount();
  if (handOver) {
    for (auto& message : messages) {
      remind.AddAMMsg(message);
      m_manager.AddRemindAMMsg(message, true);
      m_ledger.Expect(message);
    }
  }
  Log(L"planned " + time.Format(L"%Y-%m-%d %H:%M:%S") + L" " + RemindLabel(remind) + L" for " +
      Names(planned) + (messages.empty() ? L" (inbox only)" : L""));
  return true;
}

void DaemonPlanner::Retire(CNorvRemind& remind) {
  CString reason;
  if (!CNorvRemind::DBSetState(m_database.session(), remind.m_ID, 1, &reason)) {
    Log(RemindLabel(remind) + L": has run out but cannot be made inactive: " + reason);
    return;
  }
  remind.SetState(1);
  m_manager.RemoveRemind(remind.m_ID);
  Log(RemindLabel(remind) + L" has run out; now inactive");
}

}  // namespace norvhost
