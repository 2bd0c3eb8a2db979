#include "host/store/DeliveryHistory.h"

#include <cassert>
#include <cstdlib>

#include "core/base/COleDateTimeSpan.h"
#include "core/db/CNorvRecordSet.h"
#include "host/store/DeliveryState.h"
#include "remind/internal/NorvCodes.h"

namespace norvhost {

namespace {

// The columns both queries classify a message by, first in each row.
constexpr wchar_t kStatusColumns[] =
    L"m.CN_N_STATUS, h.CN_N_STATE, d.CN_N_STATE, "
    L"CASE WHEN m.CN_T_REMIND < %s THEN 1 ELSE 0 END";
constexpr int kStatusColumnCount = 4;
constexpr wchar_t kJoins[] =
    L" FROM NORV_REMIND_MSG_AM m "
    L"LEFT JOIN NORV_REMIND_DEF d ON d.CN_G_ID = m.CN_G_REMIND_ID "
    L"LEFT JOIN NORV_HOST_DELIVERY h ON h.CN_G_MSG_ID = m.CN_G_ID";

CString Column(const CNorvRecordSet& rows, int column) {
  CString value;
  rows.GetValue(column, value);
  return value;
}

long Number(const CString& text) { return std::wcstol(text, nullptr, 10); }

COleDateTime TimeOf(const CString& text) {
  COleDateTime time;
  if (!text.IsEmpty()) time.ParseDateTime(text);
  return time;
}

// The library expires waiting messages this late when the daemon starts.
COleDateTime LateCutOff() { return COleDateTime::GetCurrentTime() - COleDateTimeSpan(0, 1, 0, 0); }

CString StatusColumns(HostDatabase& database) {
  CString columns;
  columns.Format(kStatusColumns, database.TimeValue(LateCutOff()));
  return columns;
}

CString Where(HostDatabase& database, const DeliveryFilter& filter) {
  CString where = L" WHERE 1 = 1";
  if (!filter.remindID.IsEmpty())
    where += L" AND m.CN_G_REMIND_ID = " + HostDatabase::TextValue(filter.remindID);
  if (!filter.receiver.IsEmpty())
    where += L" AND m.CN_S_RECEIVER = " + HostDatabase::TextValue(filter.receiver);
  if (filter.from.GetStatus() == COleDateTime::valid) {
    where += L" AND m.CN_T_REMIND >= " + database.TimeValue(filter.from);
  }
  if (filter.to.GetStatus() == COleDateTime::valid) {
    where += L" AND m.CN_T_REMIND < " + database.TimeValue(filter.to);
  }
  return where;
}

// The status from the first kStatusColumnCount columns of a row.
DeliveryStatus Classify(const CNorvRecordSet& rows) {
  switch (Number(Column(rows, 1))) {
    case norvcode::kAMSent:
      return DeliveryStatus::kSent;
    case norvcode::kAMFailed:
      return DeliveryStatus::kFailed;
    case norvcode::kAMWaiting:
      break;
    default:
      return DeliveryStatus::kExpired;
  }
  const CString remindState = Column(rows, 3);
  if (remindState.IsEmpty() || Number(remindState) != norvcode::kRemindActive) {
    return DeliveryStatus::kExpired;
  }
  const CString delivery = Column(rows, 2);
  if (delivery.IsEmpty()) {
    return Number(Column(rows, 4)) == 1 ? DeliveryStatus::kExpired : DeliveryStatus::kWaiting;
  }
  return Number(delivery) == static_cast<int>(DeliveryState::kRetrying)
             ? DeliveryStatus::kRetrying
             : DeliveryStatus::kBeingSent;
}

DeliveryEntry ReadEntry(const CNorvRecordSet& rows) {
  int column = kStatusColumnCount;
  DeliveryEntry entry;
  entry.status = Classify(rows);
  entry.messageID = Column(rows, ++column);
  entry.remindID = Column(rows, ++column);
  entry.remindTime = TimeOf(Column(rows, ++column));
  entry.receiver = Column(rows, ++column);
  entry.receiverName = Column(rows, ++column);
  entry.content = Column(rows, ++column);
  entry.attempts = static_cast<int>(Number(Column(rows, ++column)));
  const COleDateTime sent = TimeOf(Column(rows, ++column));
  const COleDateTime next = TimeOf(Column(rows, ++column));
  const CString hostReason = Column(rows, ++column);
  const CString libraryReason = Column(rows, ++column);
  if (entry.status == DeliveryStatus::kSent) entry.sentTime = sent;
  if (entry.status == DeliveryStatus::kRetrying) entry.nextAttempt = next;
  if (entry.status == DeliveryStatus::kRetrying || entry.status == DeliveryStatus::kFailed) {
    entry.reason = hostReason.IsEmpty() ? libraryReason : hostReason;
  }
  return entry;
}

}  // namespace

const wchar_t* DeliveryStatusName(DeliveryStatus status) {
  static const wchar_t* const kNames[kDeliveryStatuses] = {L"waiting",  L"being sent", L"sent",
                                                           L"retrying", L"failed",     L"expired"};
  const int index = static_cast<int>(status);
  assert(index >= 0 && index < kDeliveryStatuses);
  return kNames[index];
}

bool ReadDeliveries(HostDatabase& database, const DeliveryFilter& filter,
                    std::vector<DeliveryEntry>& entries, CString& reason) {
  entries.clear();
  const CString query =
      L"SELECT " + StatusColumns(database) +
      L", m.CN_G_ID, m.CN_G_REMIND_ID, m.CN_T_REMIND, m.CN_S_RECEIVER, m.CN_S_RECEIVER_NAME, "
      L"m.CN_S_CONTENT, COALESCE(h.CN_N_ATTEMPTS, 0), m.CN_T_SEND, h.CN_T_NEXT, h.CN_S_REASON, "
      L"m.CN_S_ERRINFO" +
      kJoins + Where(database, filter) + L" ORDER BY m.CN_T_REMIND, m.CN_S_RECEIVER, m.CN_G_ID";
  CNorvRecordSet rows;
  if (!rows.Open(database.session(), query, &reason)) return false;
  while (rows.MoveNext() == 0) entries.push_back(ReadEntry(rows));
  return true;
}

bool CountDeliveries(HostDatabase& database, const DeliveryFilter& filter,
                     std::map<CString, DeliveryCounts>& perRemind, CString& reason) {
  perRemind.clear();
  const CString query = L"SELECT " + StatusColumns(database) + L", m.CN_G_REMIND_ID, COUNT(*)" +
                        kJoins + Where(database, filter) + L" GROUP BY 1, 2, 3, 4, 5";
  CNorvRecordSet rows;
  if (!rows.Open(database.session(), query, &reason)) return false;
  while (rows.MoveNext() == 0) {
    DeliveryCounts& counts = perRemind[Column(rows, kStatusColumnCount + 1)];
    counts[static_cast<int>(Classify(rows))] += Number(Column(rows, kStatusColumnCount + 2));
  }
  return true;
}

}  // namespace norvhost
