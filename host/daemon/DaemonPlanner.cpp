#include "host/daemon/DaemonPlanner.h"

#include <cmath>
#include <list>
#include <vector>

#include "core/base/COleDateTimeSpan.h"
#include "core/base/CStringArray.h"
#include "core/db/CNorvRecordSet.h"
#include "host/cli/HostText.h"
#include "host/daemon/DaemonLog.h"
#include "host/daemon/DeliveryStore.h"
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

const std::set<CString>& ReceiversOf(
    const std::map<std::pair<CGuid, long long>, std::set<CString>>& rows,
    const std::pair<CGuid, long long>& key) {
  static const std::set<CString> kNone;
  const auto found = rows.find(key);
  return found == rows.end() ? kNone : found->second;
}

}  // namespace

void DaemonPlanner::PlanDay(const COleDateTime& day, const std::function<bool()>& stopRequested) {
  CNorvRemindMgr::RemindList reminds;
  m_manager.GetRemindList(reminds);
  std::vector<Firing> firings;
  const CString dayText = day.Format(L"%Y-%m-%d");
  for (auto& remind : reminds) {
    if (stopRequested()) return;
    Candidates(*remind, day, dayText, firings);
  }
  PlanFirings(firings, day, nullptr, true, stopRequested);
}

void DaemonPlanner::PlanRemind(CNorvRemind& remind, const COleDateTime& day, bool handOver) {
  std::vector<Firing> firings;
  Candidates(remind, day, day.Format(L"%Y-%m-%d"), firings);
  PlanFirings(firings, day, &remind.m_ID, handOver, [] { return false; });
}

void DaemonPlanner::Candidates(CNorvRemind& remind, const COleDateTime& day, const CString& dayText,
                               std::vector<Firing>& firings) {
  if (m_membership != nullptr && !m_membership->Plans(remind.m_ID)) return;
  if (HasRunOut(remind, day)) {
    Retire(remind);
    return;
  }
  const COleDateTime now = COleDateTime::GetCurrentTime();
  for (const COleDateTime& time : FiringTimes(remind, day, dayText)) {
    const FiringKey key(remind.m_ID, SecondKey(time));
    if (m_planned.count(key) != 0) continue;
    if (time.GetStatus() != COleDateTime::valid) {
      Log(RemindLabel(remind) + L": a remind time of today cannot be read; skipped");
      m_planned.insert(key);
    } else if ((now - time).GetTotalDays() > kLateLimitDays) {
      Log(RemindLabel(remind) + L": " + time.Format(L"%H:%M:%S") +
          L" passed more than an hour ago; not sent");
      m_planned.insert(key);
    } else {
      firings.emplace_back();
      firings.back().remind = &remind;
      firings.back().time = time;
    }
  }
}

void DaemonPlanner::PlanFirings(std::vector<Firing>& firings, const COleDateTime& day,
                                const CGuid* remindID, bool handOver,
                                const std::function<bool()>& stopRequested) {
  if (firings.empty()) return;
  StoredRows inbox;
  StoredRows instant;
  CString reason;
  if (!ReadStoredRows(day, remindID, inbox, instant, reason)) {
    // Nothing is settled, so the next plan tries again.
    Log(L"cannot read the messages planned for " + day.Format(L"%Y-%m-%d") + L": " + reason);
    return;
  }
  std::vector<Firing*> batch;
  for (Firing& firing : firings) {
    if (stopRequested()) break;
    Collect(firing, inbox, instant);
    batch.push_back(&firing);
    if (batch.size() == m_batchFirings) StoreBatch(batch, handOver);
  }
  StoreBatch(batch, handOver);
}

bool DaemonPlanner::ReadStoredRows(const COleDateTime& day, const CGuid* remindID,
                                   StoredRows& inbox, StoredRows& instant, CString& errorText) {
  return ReadStoredTable(L"NORV_REMIND_MSG", day, remindID, inbox, errorText) &&
         ReadStoredTable(L"NORV_REMIND_MSG_AM", day, remindID, instant, errorText);
}

bool DaemonPlanner::ReadStoredTable(const wchar_t* table, const COleDateTime& day,
                                    const CGuid* remindID, StoredRows& rows, CString& errorText) {
  CString query;
  query.Format(
      L"SELECT CN_G_REMIND_ID, CN_T_REMIND, CN_S_RECEIVER FROM %s "
      L"WHERE CN_T_REMIND >= %s AND CN_T_REMIND < %s",
      table, m_database.TimeValue(day), m_database.TimeValue(day + COleDateTimeSpan(1, 0, 0, 0)));
  if (remindID != nullptr)
    query.AppendFormat(L" AND CN_G_REMIND_ID = '%s'", remindID->GetString1());
  CNorvRecordSet records;
  if (!records.Open(m_database.session(), query, &errorText)) return false;
  CString idText;
  CString timeText;
  CString receiver;
  while (records.MoveNext() == 0) {
    records.GetValue(1, idText);
    records.GetValue(2, timeText);
    records.GetValue(3, receiver);
    CGuid id;
    COleDateTime time;
    if (!id.FromString1(idText) || !time.ParseDateTime(timeText)) continue;
    rows[FiringKey(id, SecondKey(time))].insert(receiver);
  }
  return true;
}

void DaemonPlanner::Collect(Firing& firing, const StoredRows& inbox, const StoredRows& instant) {
  CNorvRemind& remind = *firing.remind;
  std::list<CNorvBasePtr<CEmItem>> receivers;
  remind.GetReceiverList(receivers);
  if (receivers.empty()) {
    Log(RemindLabel(remind) + L": no receivers at " + firing.time.Format(L"%H:%M:%S"));
    return;
  }
  const FiringKey key(remind.m_ID, SecondKey(firing.time));
  const std::set<CString>& inboxDone = ReceiversOf(inbox, key);
  const std::set<CString>& instantDone = ReceiversOf(instant, key);
  firing.counts = inboxDone.empty() && instantDone.empty() && remind.HasRepeat();
  CString content;
  CString contentType;
  remind.GetContent(content, contentType);
  for (auto& receiver : receivers) {
    const bool toInbox = inboxDone.count(receiver->m_strReceiveID) == 0;
    const bool toInstant = remind.HasAMFlag() && instantDone.count(receiver->m_strReceiveID) == 0;
    if (toInbox) {
      firing.inboxReceivers.Add(receiver->m_strReceiveID);
      firing.inboxNames.Add(receiver->m_strReceiveName);
    }
    if (toInstant) {
      CNorvBasePtr<CNorvRemindAMMsg> message(new CNorvRemindAMMsg);
      message->m_ID.NewID();
      message->m_RemindID = remind.m_ID;
      message->m_strContent = content;
      message->m_strContentType = contentType;
      message->m_dtRemind = firing.time;
      message->m_strReceiver = receiver->m_strReceiveID;
      message->m_strReceiverName = receiver->m_strReceiveName;
      firing.messages.push_back(message);
    }
    if (toInbox || toInstant) firing.receivers.push_back(receiver);
  }
}

void DaemonPlanner::StoreBatch(std::vector<Firing*>& batch, bool handOver) {
  CString reason;
  bool stored = false;
  {
    Transaction transaction(m_database);
    stored = transaction.Begin(&reason);
    for (size_t i = 0; stored && i < batch.size(); ++i) stored = StoreRows(*batch[i], reason);
    stored = stored && transaction.Commit(&reason);
  }
  for (Firing* firing : batch) {
    if (!stored && !firing->receivers.empty()) {
      Transaction transaction(m_database);
      if (!transaction.Begin(&reason) || !StoreRows(*firing, reason) ||
          !transaction.Commit(&reason)) {
        Log(RemindLabel(*firing->remind) + L": cannot plan " + firing->time.Format(L"%H:%M:%S") +
            L": " + reason);
        continue;
      }
    }
    HandOver(*firing, handOver);
  }
  batch.clear();
}

bool DaemonPlanner::StoreRows(Firing& firing, CString& errorText) {
  if (m_membership != nullptr && !Reserve(firing, errorText)) return false;
  if (firing.receivers.empty()) return true;  // nothing to deliver, or planned by an earlier run
  CNorvRemind& remind = *firing.remind;
  CSession& session = m_database.session();
  const short kind = m_database.kind();
  if (firing.inboxReceivers.GetSize() > 0 &&
      !remind.DBInsertMsg(session, kind, firing.inboxReceivers, firing.inboxNames, firing.time,
                          &errorText)) {
    return false;
  }
  for (auto& message : firing.messages) {
    if (!message->DBInsert(session, kind, remind.m_ID, &errorText)) return false;
  }
  if (m_membership != nullptr && !Claim(firing, errorText)) return false;
  if (!firing.counts) return true;
  int limit = 0;
  int count = 0;
  remind.m_Repeat.GetRepeatNum(limit, count);
  return CNorvRemindRepeat::DBSetRepeatCount(session, remind.m_ID, count + 1, &errorText);
}

bool DaemonPlanner::Reserve(Firing& firing, CString& errorText) {
  std::set<CString> taken;
  for (const auto& receiver : firing.receivers) {
    CString statement;
    statement.Format(
        L"INSERT INTO NORV_HOST_FIRING ( CN_G_REMIND_ID, CN_T_REMIND, CN_S_RECEIVER ) "
        L"VALUES ( '%s', %s, %s ) ON CONFLICT DO NOTHING",
        firing.remind->m_ID.GetString1(), m_database.TimeValue(firing.time),
        HostDatabase::TextValue(receiver->m_strReceiveID));
    int stored = 0;
    if (!m_database.Run(statement, stored, &errorText)) return false;
    if (stored == 0) taken.insert(receiver->m_strReceiveID);
  }
  if (taken.empty()) return true;
  // Another daemon planned it since the stored rows were read, and counted it.
  auto isTaken = [&](const CString& receiver) { return taken.count(receiver) != 0; };
  firing.counts = false;
  CStringArray receivers;
  CStringArray names;
  for (int i = 0; i < firing.inboxReceivers.GetSize(); ++i) {
    if (isTaken(firing.inboxReceivers[i])) continue;
    receivers.Add(firing.inboxReceivers[i]);
    names.Add(firing.inboxNames[i]);
  }
  firing.inboxReceivers = receivers;
  firing.inboxNames = names;
  std::erase_if(firing.messages,
                [&](const auto& message) { return isTaken(message->m_strReceiver); });
  std::erase_if(firing.receivers,
                [&](const auto& receiver) { return isTaken(receiver->m_strReceiveID); });
  return true;
}

bool DaemonPlanner::Claim(const Firing& firing, CString& errorText) {
  for (const auto& message : firing.messages) {
    if (!m_database.Run(DeliveryStore::ClaimStatement(message->m_ID, m_membership->id()),
                        &errorText)) {
      return false;
    }
  }
  return true;
}

void DaemonPlanner::HandOver(Firing& firing, bool handOver) {
  CNorvRemind& remind = *firing.remind;
  m_planned.insert(FiringKey(remind.m_ID, SecondKey(firing.time)));
  if (firing.receivers.empty()) return;
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
  Log(L"planned " + firing.time.Format(L"%Y-%m-%d %H:%M:%S") + L" " + RemindLabel(remind) +
      L" for " + Names(firing.receivers) + (firing.messages.empty() ? L" (inbox only)" : L""));
}

void DaemonPlanner::Retire(CNorvRemind& remind) {
  if (HasWaitingMessage(remind.m_ID)) return;
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

bool DaemonPlanner::HasWaitingMessage(const CGuid& remindID) {
  CString query;
  query.Format(
      L"SELECT CN_G_ID FROM NORV_REMIND_MSG_AM WHERE CN_G_REMIND_ID = '%s' AND CN_N_STATUS = %d",
      remindID.GetString1(), norvcode::kAMWaiting);
  std::vector<CString> waiting;
  CString reason;
  // Unsure counts as waiting: retiring can wait for the next day's plan.
  return !m_database.QueryColumn(query, waiting, &reason) || !waiting.empty();
}

}  // namespace norvhost
