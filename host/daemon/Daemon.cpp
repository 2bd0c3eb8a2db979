#include "host/daemon/Daemon.h"

#include <algorithm>
#include <csignal>
#include <list>
#include <vector>

#include "core/base/CSingleLock.h"
#include "core/db/internal/NorvSQLValue.h"
#include "host/cli/HostClock.h"
#include "host/cli/HostText.h"
#include "host/daemon/DaemonLog.h"
#include "host/store/RemindLoader.h"
#include "host/store/RemindSchedule.h"
#include "host/store/RemindStore.h"
#include "remind/internal/NorvCodes.h"

namespace norvhost {

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using std::chrono::system_clock;

CString Count(size_t count, const wchar_t* one, const wchar_t* many) {
  CString text;
  text.Format(L"%u %s", static_cast<unsigned>(count), count == 1 ? one : many);
  return text;
}

const wchar_t* SignalName(int signal) { return signal == SIGINT ? L"SIGINT" : L"SIGTERM"; }

}  // namespace

Daemon::Daemon(HostDatabase& database, DaemonOptions options)
    : m_database(database),
      m_options(std::move(options)),
      m_sendDatabase(database.settings()),
      m_store(database),
      m_transport(std::make_shared<RecordingTransport>(m_waker, m_sendDatabase, m_manager)),
      m_planner(database, m_manager, m_ledger) {}

int Daemon::Run(CString& reason) {
  CatchStopSignals(m_waker);
  if (int code = Start(reason); code != kExitOk) return code;
  const steady_clock::time_point started = steady_clock::now();
  steady_clock::time_point nextTick = started;
  while (StopSignal() == 0) {
    RecordOutcomes();
    if (steady_clock::now() >= nextTick || Today() != m_day) {
      Tick();
      nextTick = steady_clock::now() + m_options.poll;
    }
    SendDueMessages();
    ResendDue();
    RecordOutcomes();
    if (m_options.untilIdle && m_ledger.Pending() == 0) {
      Log(L"every planned message has been sent");
      break;
    }
    if (m_options.exitAfter && steady_clock::now() - started >= *m_options.exitAfter) {
      Log(L"exit time reached");
      break;
    }
    m_waker.Wait(TimeToNextEvent(nextTick, started));
  }
  Shutdown();
  return kExitOk;
}

int Daemon::Start(CString& reason) {
  // The main session has opened the database and made its tables.
  if (m_sendDatabase.Open(reason) != OpenResult::kOpened) return kExitUnavailable;
  m_manager.SetAMServer(Widen(m_options.im.serverText), m_options.im.port);
  m_manager.SetAMSendUser(Widen(m_options.im.user), Widen(m_options.im.password));
  m_manager.SendErrLogPath = Widen(m_options.logFolder);
  if (int code = Share(reason); code != kExitOk) return code;
  // What is planned now is logged after the line that says the daemon started.
  HoldLog(true);
  PlanLateOneOffs();
  if (CString failure; !Load(failure)) {
    HoldLog(false);
    reason = L"cannot load the reminds: " + failure;
    return kExitFailure;
  }
  // Nothing else runs in the manager until Start.
  for (auto& message : m_manager.RemindAMMsgList) m_ledger.Expect(message);
  const size_t waiting = m_manager.RemindAMMsgList.size();
  const size_t styles = m_manager.StyleList.size();
  CNorvRemindMgr::RemindList reminds;
  m_manager.GetRemindList(reminds);
  m_manager.IMClient.SetTransport(m_transport);
  m_manager.Start();
  if (int code = CheckAccount(reason); code != kExitOk) {
    HoldLog(false);
    m_manager.Stop();
    return code;
  }
  LogAheadOfHeld(L"started on " + Widen(m_database.settings().display) + L", delivering to " +
                 Widen(m_options.im.display) + L"; " +
                 Count(reminds.size(), L"remind", L"reminds") + L", " +
                 Count(styles, L"style", L"styles") + L", " +
                 Count(waiting, L"message waiting", L"messages waiting"));
  HoldLog(false);
  return kExitOk;
}

bool Daemon::Load(CString& reason) {
  if (!m_membership) return m_manager.InitData(m_database.session(), m_database.kind(), reason);
  // The library's load would expire every one-off whose time has come,
  // withdrawing them from daemons that are about to send their messages.
  if (CString failure; !ExpireSettled(failure)) Log(L"cannot expire old reminds: " + failure);
  return m_manager.LoadBesideOthers(m_database.session(), reason);
}

// The library's expiry, held back while a message of the remind may still
// go: a one-off is planned up to the late limit after its time and retried
// for the catch-up after that, by this daemon or by another one.
bool Daemon::ExpireSettled(CString& reason) {
  const COleDateTime now = COleDateTime::GetCurrentTime();
  const auto lateSeconds = static_cast<int>(DaemonPlanner::kLateLimitDays * 86400);
  const COleDateTime settled =
      now - COleDateTimeSpan(0, 0, 0, lateSeconds + static_cast<int>(m_options.catchUp.count()));
  const short kind = m_database.kind();
  const CString today = norvsql::DateValue(now, kind, L"%Y-%m-%d");
  CString statement;
  statement.Format(
      L"UPDATE NORV_REMIND_DEF SET CN_N_STATE = %d WHERE CN_N_STATE = %d AND ( (CN_N_TYPE = %d "
      L"AND CN_T_REMIND <= %s) OR (CN_N_TYPE = %d AND CN_D_INVALID <= %s) OR (CN_N_TYPE = %d AND "
      L"CN_D_INVALID < %s) ) AND NOT EXISTS ( SELECT 1 FROM NORV_REMIND_MSG_AM m WHERE "
      L"m.CN_G_REMIND_ID = NORV_REMIND_DEF.CN_G_ID AND m.CN_N_STATUS = %d AND m.CN_T_REMIND > %s )",
      norvcode::kRemindExpired, norvcode::kRemindActive, norvcode::kOneOff,
      m_database.TimeValue(settled), norvcode::kPeriodic, today, norvcode::kCustomStyle, today,
      norvcode::kAMWaiting, m_database.TimeValue(settled));
  return m_database.Run(statement, &reason);
}

int Daemon::Share(CString& reason) {
  if (m_database.settings().isSqlite) return kExitOk;
  m_membership = std::make_unique<Membership>(m_database.settings(), m_options.lease);
  if (CString failure; !m_membership->Join(failure)) {
    reason =
        L"cannot join the daemons on " + Widen(m_database.settings().display) + L": " + failure;
    return kExitUnavailable;
  }
  m_store.ShareWith(m_membership->id());
  m_transport->ShareWith(m_membership->id());
  m_planner.ShareWith(m_membership.get());
  return kExitOk;
}

// The messages of a daemon whose lease has lapsed: sent again by this one
// if that one had not confirmed them.
void Daemon::TakeOver() {
  std::vector<CNorvBasePtr<CNorvRemindAMMsg>> taken;
  CString reason;
  if (!m_store.TakeOver(taken, reason)) {
    Log(L"cannot take over the messages of stopped daemons: " + reason);
    return;
  }
  if (taken.empty()) return;
  Log(L"took over " + Count(taken.size(), L"message", L"messages") + L" of a stopped daemon");
  for (auto& message : taken) {
    // One this daemon holds already (from its start) stays as it is.
    if (m_ledger.Holds(message->m_ID)) continue;
    if (CNorvBasePtr<CNorvRemind> remind = m_manager.GetRemind(message->m_RemindID)) {
      remind->AddAMMsg(message);
    }
    m_manager.AddRemindAMMsg(message, true);
    m_ledger.Expect(message);
  }
}

// The firings and claims of past days are of no more use to anyone.
void Daemon::PruneOldDays() {
  CString statement;
  statement.Format(L"DELETE FROM NORV_HOST_FIRING WHERE CN_T_REMIND < %s",
                   m_database.TimeValue(m_day - COleDateTimeSpan(1, 0, 0, 0)));
  CString reason;
  if (!m_database.Run(statement, &reason) ||
      !m_database.Run(L"DELETE FROM NORV_HOST_CLAIM WHERE NOT EXISTS ( SELECT 1 FROM "
                      L"NORV_REMIND_MSG_AM m WHERE m.CN_G_ID = NORV_HOST_CLAIM.CN_G_MSG_ID )",
                      &reason)) {
    Log(L"cannot remove the firings of past days: " + reason);
  }
}

// A refused login would fail every message; it is reported once, at start.
// The account writes to itself, which no receiver sees.
int Daemon::CheckAccount(CString& reason) {
  if (m_options.im.isFile || m_options.im.user.empty()) return kExitOk;
  CMsg probe;
  probe.SetMsgType(1);
  probe.SetBody(L"norvremind started");
  CString failure;
  const int code = m_transport->Probe(probe, Widen(m_options.im.user), failure);
  if (code == kNorvIMAuthFailed) {
    reason = Widen("the XMPP server " + m_options.im.display + " refused the account " +
                   m_options.im.user + ": ") +
             failure;
    return kExitUnavailable;
  }
  if (code != kNorvIMOk) Log(L"the XMPP server cannot be used yet: " + failure);
  return kExitOk;
}

void Daemon::PlanLateOneOffs() {
  // InitData expires every one-off remind whose time has come, and the
  // day's plan does not reach back into yesterday. One that came less than
  // an hour ago while no daemon ran is stored as planned first, so that the
  // load finds its messages instead of losing them.
  std::vector<CNorvBasePtr<CNorvRemind>> reminds;
  std::vector<UnloadableRemind> unloadable;
  CString reason;
  if (!ReadReminds(m_database, true, reminds, unloadable, reason)) return;
  const COleDateTime now = COleDateTime::GetCurrentTime();
  for (auto& remind : reminds) {
    if (remind->GetType() != CNorvRemind::kOneOff || remind->m_dtRemind > now) continue;
    // Its own day: just after midnight, the hour may reach back into yesterday.
    m_planner.PlanRemind(*remind, DayOf(remind->m_dtRemind), false);
  }
}

void Daemon::Tick() {
  const COleDateTime today = Today();
  if (today != m_day) {
    if (m_day.GetStatus() == COleDateTime::valid) {
      // What InitData does at start, for a daemon that runs past midnight;
      // yesterday's last messages may still be on their way.
      CString reason;
      if (!ExpireSettled(reason) ||
          !m_manager.DBDeleteRemindAMMsgInvalid(m_database.session(), m_database.kind(), &reason)) {
        Log(L"cannot expire old reminds and messages: " + reason);
      }
    }
    m_day = today;
    m_planner.StartDay();
    Log(L"planning " + today.Format(L"%Y-%m-%d"));
    if (m_membership) PruneOldDays();
  }
  SyncRegistry();
  if (m_membership) TakeOver();
  // Planning many firings takes a while; the messages already in hand
  // still leave on time.
  m_planner.PlanDay(m_day, [this] {
    SendDueMessages();
    return StopSignal() != 0;
  });
  PlanTomorrow();
}

void Daemon::PlanTomorrow() {
  // A run until idle ends with today's messages.
  if (m_options.untilIdle) return;
  const COleDateTime tomorrow = m_day + COleDateTimeSpan(1, 0, 0, 0);
  if (ToTimePoint(tomorrow) - WallNow() > m_options.lookAhead) return;
  CNorvRemindMgr::RemindList reminds;
  m_manager.GetRemindList(reminds);
  for (auto& remind : reminds) {
    if (StopSignal() != 0) return;
    // Retiring a remind that runs out today is left to tomorrow's own
    // planning: its last messages are still to go.
    if (!HasRunOut(*remind, tomorrow)) m_planner.PlanRemind(*remind, tomorrow);
    SendDueMessages();
  }
}

void Daemon::SyncRegistry() {
  std::vector<CGuid> ids;
  CString reason;
  if (!ListRemindIDs(m_database, true, ids, &reason)) {
    Log(L"cannot read the reminds: " + reason);
    return;
  }
  const std::set<CGuid> active(ids.begin(), ids.end());
  CNorvRemindMgr::RemindList registered;
  m_manager.GetRemindList(registered);
  for (auto& remind : registered) {
    if (active.count(remind->m_ID) == 0) Withdraw(*remind);
  }
  for (const CGuid& id : ids) {
    if (m_manager.GetRemind(id) || m_unloadable.count(id) != 0) continue;
    CNorvBasePtr<CNorvRemind> remind;
    const int loaded = LoadRemind(m_database, id, remind, reason);
    if (loaded == 1 && m_manager.AddRemind(remind)) {
      Log(L"picked up " + RemindLabel(*remind));
    } else if (loaded == -1) {
      Log(L"remind " + ShortID(id.GetString1()) + L" cannot be loaded: " + reason);
      m_unloadable.insert(id);
    }
  }
}

void Daemon::Withdraw(CNorvRemind& remind) {
  std::list<CNorvBasePtr<CNorvRemindAMMsg>> messages;
  remind.GetAMMsgList(messages);
  for (auto& message : messages) {
    m_manager.RemoveRemindAMMsg(message);
    m_ledger.Forget(message);
  }
  remind.CleanAMMsgList();
  m_manager.RemoveRemind(remind.m_ID);
  Log(L"withdrew " + RemindLabel(remind) + L": no longer active" +
      (messages.empty() ? L""
                        : L"; " + Count(messages.size(), L"message", L"messages") + L" not sent"));
}

void Daemon::SendDueMessages() {
  // The manager's own pass runs once a minute; a pass at each planned time
  // sends the message when it is due, not up to a minute later.
  const COleDateTime now = COleDateTime::GetCurrentTime();
  bool due = false;
  {
    CSingleLock hold(&m_manager.RemindAMMsgLock, true);
    due = !m_manager.RemindAMMsgList.empty() &&
          !(m_manager.RemindAMMsgList.front()->GetRemindTime() > now);
  }
  if (due) m_manager.CheckAMMsg();
}

void Daemon::RecordOutcomes() {
  for (const SendOutcome& outcome : m_transport->TakeOutcomes()) RecordOutcome(outcome);
}

void Daemon::RecordOutcome(const SendOutcome& outcome) {
  using Kind = SendOutcome::Kind;
  CNorvBasePtr<CNorvRemindAMMsg> message = m_ledger.Find(outcome);
  CNorvBasePtr<CNorvRemind> remind;
  if (message) remind = m_manager.GetRemind(message->m_RemindID);
  const CString label = outcome.receiver + L": " +
                        (remind ? RemindLabel(*remind) : L"remind " + ShortID(outcome.remindID));
  CString reason;
  switch (outcome.kind) {
    case Kind::kSent:
      Log(L"sent to " + label);
      if (m_membership) m_membership->CountSent();
      // When the send thread's session could not store it, this one tries;
      // failing both, the next run sends the message again.
      if (!outcome.recorded && !m_store.MarkSent(outcome.messageID, &reason)) {
        LogUnrecorded(outcome, reason);
      }
      break;
    case Kind::kWithdrawn:
      Log(L"not sent to " + label + L": the remind was deleted or made inactive");
      break;
    case Kind::kLost:
      break;
    case Kind::kDeferred:
      if (!message || StopSignal() != 0) break;
      Log(L"not sent to " + label + L" yet: the database cannot record it: " + outcome.reason);
      RetryLater(message, m_options.retryBase);
      return;
    case Kind::kFailed: {
      CString line;
      line.Format(L"failed to send to %s (%d: %s)", label, outcome.code, outcome.reason);
      Log(line);
      RetryOrGiveUp(outcome, message);
      return;
    }
  }
  if (message) m_ledger.Forget(message);
}

void Daemon::RetryOrGiveUp(const SendOutcome& outcome, CNorvRemindAMMsg* message) {
  const COleDateTime now = COleDateTime::GetCurrentTime();
  const double catchUpDays = m_options.catchUp.count() / 86400.0;
  CString reason;
  if (message && (now - message->GetRemindTime()).GetTotalDays() <= catchUpDays) {
    const milliseconds delay = Backoff(outcome.attempts);
    const auto delaySeconds = std::chrono::duration_cast<std::chrono::seconds>(delay);
    const COleDateTime next =
        now + COleDateTimeSpan(0, 0, 0, static_cast<int>(delaySeconds.count()));
    if (!m_store.MarkRetrying(outcome.messageID, next, outcome.reason, &reason)) {
      LogUnrecorded(outcome, reason);
    }
    RetryLater(message, delay);
    return;
  }
  CString line;
  line.Format(L"gave up on message %s after %d attempts: %s", outcome.messageID.GetString1(),
              outcome.attempts, outcome.reason);
  Log(line);
  if (!m_store.MarkFailed(outcome.messageID, outcome.reason, &reason)) {
    LogUnrecorded(outcome, reason);
  }
  if (message) m_ledger.Forget(message);
}

void Daemon::LogUnrecorded(const SendOutcome& outcome, const CString& reason) {
  Log(L"cannot record the outcome of message " + outcome.messageID.GetString1() + L": " + reason);
}

milliseconds Daemon::Backoff(int attempts) {
  milliseconds delay = m_options.retryBase;
  for (int doubled = 1; doubled < attempts && delay < m_options.retryLimit; ++doubled) delay *= 2;
  delay = std::min(delay, m_options.retryLimit);
  std::uniform_int_distribution<long long> jitter(0, delay.count() / 2);
  return delay - milliseconds(jitter(m_random));
}

void Daemon::RetryLater(CNorvRemindAMMsg* message, milliseconds delay) {
  m_retries.emplace(steady_clock::now() + delay, message);
}

void Daemon::ResendDue() {
  const steady_clock::time_point now = steady_clock::now();
  while (!m_retries.empty() && m_retries.begin()->first <= now) {
    m_manager.AddSendAMMsg(m_retries.begin()->second);
    m_retries.erase(m_retries.begin());
  }
}

void Daemon::Shutdown() {
  if (int signal = StopSignal(); signal != 0) Log(CString(L"stopping on ") + SignalName(signal));
  m_manager.Stop();
  // The send thread first delivers what is already queued; its outcomes
  // are recorded once both threads have ended.
  m_manager.CheckMsgThread.Join();
  m_manager.SendMsgThread.Join();
  RecordOutcomes();
  // What this daemon held passes to the others at their next poll.
  if (m_membership) m_membership->Leave();
  Log(L"stopped");
}

milliseconds Daemon::TimeToNextEvent(steady_clock::time_point nextTick,
                                     steady_clock::time_point started) {
  const steady_clock::time_point now = steady_clock::now();
  milliseconds wait = std::chrono::duration_cast<milliseconds>(nextTick - now);
  if (!m_retries.empty()) {
    wait = std::min(wait, std::chrono::duration_cast<milliseconds>(m_retries.begin()->first - now));
  }
  if (m_options.exitAfter) {
    wait = std::min(wait,
                    std::chrono::duration_cast<milliseconds>(started + *m_options.exitAfter - now));
  }
  const system_clock::time_point wallNow = WallNow();
  const COleDateTime tomorrow = m_day + COleDateTimeSpan(1, 0, 0, 0);
  wait = std::min(wait, std::chrono::duration_cast<milliseconds>(ToTimePoint(tomorrow) - wallNow));
  {
    CSingleLock hold(&m_manager.RemindAMMsgLock, true);
    if (!m_manager.RemindAMMsgList.empty()) {
      const COleDateTime next = m_manager.RemindAMMsgList.front()->GetRemindTime();
      if (next.GetStatus() == COleDateTime::valid) {
        wait =
            std::min(wait, std::chrono::duration_cast<milliseconds>(ToTimePoint(next) - wallNow));
      }
    }
  }
  return std::max(wait, milliseconds(10));
}

}  // namespace norvhost
