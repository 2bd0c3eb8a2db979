#include "host/daemon/Membership.h"

#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstdint>

#include "core/db/CNorvRecordSet.h"
#include "host/cli/HostText.h"
#include "host/daemon/DaemonLog.h"

namespace norvhost {

namespace {

constexpr const wchar_t* kNow = L"LOCALTIMESTAMP(0)";

CString HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return L"unknown";
  return Widen(name);
}

// FNV-1a: the same on every machine and build, unlike std::hash.
uint64_t StableHash(const CString& text) {
  uint64_t hash = 1469598103934665603ull;
  for (wchar_t c : text.str()) {
    hash ^= static_cast<uint64_t>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

// Renewed three times per lease, at least once every five seconds, so one
// late renewal does not let it lapse.
std::chrono::milliseconds BeatInterval(std::chrono::seconds lease) {
  return std::clamp<std::chrono::milliseconds>(lease / 3, std::chrono::milliseconds(300),
                                               std::chrono::seconds(5));
}

}  // namespace

Membership::Membership(const DatabaseSettings& settings, std::chrono::seconds lease)
    : m_database(settings), m_lease(lease) {
  assert(lease.count() > 0);
  CGuid id;
  id.NewID();
  m_id = id.GetString1();
}

Membership::~Membership() { Leave(); }

bool Membership::Join(CString& reason) {
  if (m_database.Open(reason) != OpenResult::kOpened || !Beat(reason)) return false;
  m_thread = std::thread([this] { Renew(); });
  return true;
}

void Membership::Leave() {
  {
    std::lock_guard<std::mutex> hold(m_mutex);
    if (m_stopping || !m_thread.joinable()) return;
    m_stopping = true;
  }
  m_wake.notify_all();
  m_thread.join();
  CString reason;
  if (!m_database.Run(
          L"DELETE FROM NORV_HOST_MEMBER WHERE CN_G_ID = " + HostDatabase::TextValue(m_id),
          &reason)) {
    Log(L"cannot leave the daemons' table: " + reason);
  }
}

bool Membership::Plans(const CGuid& remindID) const {
  std::lock_guard<std::mutex> hold(m_mutex);
  // Not live in its own view (its lease lapsed): it plans everything, and
  // the firing table keeps the plans single.
  const auto self = std::find(m_live.begin(), m_live.end(), m_id);
  if (self == m_live.end()) return true;
  const size_t owner = StableHash(remindID.GetString1()) % m_live.size();
  return owner == static_cast<size_t>(self - m_live.begin());
}

CString Membership::LiveCondition(const CString& member) {
  return L"EXISTS ( SELECT 1 FROM NORV_HOST_MEMBER live WHERE live.CN_G_ID = " + member +
         L" AND live.CN_T_EXPIRES >= " + kNow + L" )";
}

bool Membership::Beat(CString& reason) {
  CString statement;
  statement.Format(
      L"INSERT INTO NORV_HOST_MEMBER ( CN_G_ID, CN_S_HOST, CN_N_PID, CN_T_START, CN_T_BEAT, "
      L"CN_T_EXPIRES, CN_N_SENT ) VALUES ( '%s', %s, %d, %s, %s, %s + %lld * INTERVAL '1 second', "
      L"%ld ) ON CONFLICT ( CN_G_ID ) DO UPDATE SET CN_T_BEAT = excluded.CN_T_BEAT, "
      L"CN_T_EXPIRES = excluded.CN_T_EXPIRES, CN_N_SENT = excluded.CN_N_SENT",
      m_id, HostDatabase::TextValue(HostName()), static_cast<int>(getpid()), kNow, kNow, kNow,
      static_cast<long long>(m_lease.count()), m_sent.load());
  std::vector<CString> live;
  if (!m_database.Run(statement, &reason) ||
      !m_database.Run(CString(L"DELETE FROM NORV_HOST_MEMBER WHERE CN_T_EXPIRES < ") + kNow,
                      &reason) ||
      !m_database.QueryColumn(CString(L"SELECT CN_G_ID FROM NORV_HOST_MEMBER WHERE "
                                      L"CN_T_EXPIRES >= ") +
                                  kNow + L" ORDER BY CN_G_ID",
                              live, &reason)) {
    return false;
  }
  std::lock_guard<std::mutex> hold(m_mutex);
  if (live != m_live) {
    Log(L"daemons sharing the database: " + CString(std::to_wstring(live.size()).c_str()));
  }
  m_live = std::move(live);
  return true;
}

void Membership::Renew() {
  const std::chrono::milliseconds interval = BeatInterval(m_lease);
  std::unique_lock<std::mutex> hold(m_mutex);
  while (!m_wake.wait_for(hold, interval, [this] { return m_stopping; })) {
    hold.unlock();
    CString reason;
    if (!Beat(reason)) Log(L"cannot renew the lease: " + reason);
    hold.lock();
  }
}

bool Membership::ListLive(HostDatabase& database, std::vector<MemberRow>& members,
                          CString& reason) {
  CNorvRecordSet rows;
  if (!rows.Open(database.session(),
                 CString(L"SELECT CN_G_ID, CN_S_HOST, CN_N_PID, CN_T_START, CN_T_BEAT, CN_N_SENT "
                         L"FROM NORV_HOST_MEMBER WHERE CN_T_EXPIRES >= ") +
                     kNow + L" ORDER BY CN_T_START, CN_G_ID",
                 &reason)) {
    return false;
  }
  members.clear();
  while (rows.MoveNext() == 0) {
    MemberRow member;
    CString sent;
    rows.GetValue(1, member.id);
    rows.GetValue(2, member.host);
    rows.GetValue(3, member.pid);
    rows.GetValue(4, member.started);
    rows.GetValue(5, member.heartbeat);
    rows.GetValue(6, sent);
    member.sent = std::wcstol(sent, nullptr, 10);
    members.push_back(member);
  }
  return true;
}

}  // namespace norvhost
