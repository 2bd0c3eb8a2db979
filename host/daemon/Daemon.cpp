#include "host/daemon/Daemon.h"

#include <algorithm>
#include <csignal>
#include <ctime>
#include <list>
#include <vector>

#include "core/base/CSingleLock.h"
#include "host/daemon/DaemonLog.h"
#include "host/cli/HostText.h"
#include "host/store/RemindStore.h"

namespace norvhost {

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using std::chrono::system_clock;

system_clock::time_point ToTimePoint(const COleDateTime& time) {
  std::tm fields{};
  fields.tm_year = time.GetYear() - 1900;
  fields.tm_mon = time.GetMonth() - 1;
  fields.tm_mday = time.GetDay();
  fields.tm_hour = time.GetHour();
  fields.tm_min = time.GetMinute();
  fields.tm_sec = time.GetSecond();
  fields.tm_isdst = -1;
  return system_clock::from_time_t(std::mktime(&fields));
}

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
      m_transport(std::make_shared<RecordingTransport>(m_waker)),
      m_planner(database, m_manager, m_ledger) {}

int Daemon::Run() {
  CatchStopSignals(m_waker);
  if (!Start()) return kExitFailure;
  const steady_clock::time_point started = steady_clock::now();
  steady_clock::time_point nextTick = started;
  while (StopSignal() == 0) {
    RecordOutcomes();
    if (steady_clock::now() >= nextTick || Today() != m_day) {
      Tick();
      nextTick = steady_clock::now() + m_options.poll;
    }
    SendDueMessages();
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

bool Daemon::Start() {
  m_manager.SetAMServer(Widen(m_options.im.serverText), m_options.im.port);
  m_manager.SetAMSendUser(Widen(m_options.im.user), Widen(m_options.im.password));
  m_manager.SendErrLogPath = Widen(m_options.logFolder);
  PlanLateOneOffs();
  CString reason;
  if (!m_manager.InitData(m_database.session(), m_database.kind(), reason)) {
    PrintError("cannot load the reminds: " + Narrow(reason));
    return false;
  }
  // Nothing else runs in the manager until Start.
  for (auto& message : m_manager.RemindAMMsgList) m_ledger.Expect(message);
  const size_t waiting = m_manager.RemindAMMsgList.size();
  const size_t styles = m_manager.StyleList.size();
  CNorvRemindMgr::RemindList reminds;
  m_manager.GetRemindList(reminds);
  m_manager.IMClient.SetTransport(m_transport);
  m_manager.Start();
  Log(L"started on " + Widen(m_database.settings().display) + L", delivering to " +
      Widen(m_options.im.display) + L"; " + Count(reminds.size(), L"remind", L"reminds") +
      L", " + Count(styles, L"style", L"styles") + L", " +
      Count(waiting, L"message waiting", L"messages waiting"));
  return true;
}

void Daemon::PlanLateOneOffs() {
  // InitData expires every one-off remind whose time has come. One that came
  // less than an hour ago while no daemon ran is stored as planned first, so
  // that InitData loads its messages instead of losing them.
  std::vector<CGuid> ids;
  CString reason;
  if (!ListRemindIDs(m_database, true, ids, &reason)) return;
  const COleDateTime now = COleDateTime::GetCurrentTime();
  const COleDateTime today = Today();
  for (const CGuid& id : ids) {
    CNorvBasePtr<CNorvRemind> remind;
    if (LoadRemind(m_database, id, remind, reason) != 1) continue;
    if (remind->GetType() != CNorvRemind::kOneOff || remind->m_dtRemind > now) continue;
    m_planner.PlanRemind(*remind, today, false);
  }
}

void Daemon::Tick() {
  const COleDateTime today = Today();
  if (today != m_day) {
    if (m_day.GetStatus() == COleDateTime::valid) {
      // What InitData does at start, for a daemon that runs past midnight.
      CString reason;
      if (!m_manager.DBSetRemindInvalid(m_database.session(), m_database.kind(), &reason) ||
          !m_manager.DBDeleteRemindAMMsgInvalid(m_database.session(), m_database.kind(),
                                                &reason)) {
        Log(L"cannot expire old reminds and messages: " + reason);
      }
    }
    m_day = today;
    m_planner.StartDay();
    Log(L"planning " + today.Format(L"%Y-%m-%d"));
  }
  SyncRegistry();
  m_planner.PlanDay(m_day, [] { return StopSignal() != 0; });
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
      (messages.empty() ? L"" : L"; " + Count(messages.size(), L"message", L"messages") +
                                    L" not sent"));
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
  for (const SendOutcome& outcome : m_transport->TakeOutcomes()) {
    CNorvBasePtr<CNorvRemindAMMsg> message = m_ledger.Settle(outcome);
    CString line = (outcome.sent ? L"sent to " : L"failed to send to ") + outcome.receiver;
    CNorvBasePtr<CNorvRemind> remind;
    if (message) remind = m_manager.GetRemind(message->m_RemindID);
    line += L": " + (remind ? RemindLabel(*remind) : L"remind " + ShortID(outcome.remindID));
    if (!outcome.sent) line.AppendFormat(L" (%d: %s)", outcome.code, outcome.reason);
    Log(line);
    if (!message) continue;
    CString reason;
    const bool stored =
        outcome.sent ? message->DBSetSuccess(m_database.session(), m_database.kind(), &reason)
                     : message->DBSetFail(m_database.session(), m_database.kind(),
                                          outcome.reason, &reason);
    if (!stored) Log(L"cannot record the outcome of message " + message->m_ID.GetString1() +
                     L": " + reason);
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
  Log(L"stopped");
}

milliseconds Daemon::TimeToNextEvent(steady_clock::time_point nextTick,
                                     steady_clock::time_point started) {
  const steady_clock::time_point now = steady_clock::now();
  milliseconds wait = std::chrono::duration_cast<milliseconds>(nextTick - now);
  if (m_options.exitAfter) {
    wait = std::min(wait, std::chrono::duration_cast<milliseconds>(
                              started + *m_options.exitAfter - now));
  }
  const system_clock::time_point wallNow = system_clock::now();
  const COleDateTime tomorrow = m_day + COleDateTimeSpan(1, 0, 0, 0);
  wait = std::min(wait, std::chrono::duration_cast<milliseconds>(ToTimePoint(tomorrow) - wallNow));
  {
    CSingleLock hold(&m_manager.RemindAMMsgLock, true);
    if (!m_manager.RemindAMMsgList.empty()) {
      const COleDateTime next = m_manager.RemindAMMsgList.front()->GetRemindTime();
      if (next.GetStatus() == COleDateTime::valid) {
        wait = std::min(wait, std::chrono::duration_cast<milliseconds>(ToTimePoint(next) -
                                                                       wallNow));
      }
    }
  }
  return std::max(wait, milliseconds(10));
}

}  // namespace norvhost
