#include "host/daemon/DeliveryStore.h"

#include <cstdlib>

#include "core/base/CNorvBasePtr.h"
#include "core/db/CNorvDBFun.h"
#include "core/db/CNorvRecordSet.h"
#include "message/CNorvRemindAMMsg.h"

namespace norvhost {

namespace {

// The library's values: a waiting instant message, an active remind.
constexpr int kMessageWaiting = 0;
constexpr int kRemindActive = 0;

CString Quoted(const CString& text) { return L"'" + CNorvDBFun::FormatSQLValue(text) + L"'"; }

}  // namespace

bool DeliveryStore::FindWaiting(const CString& remindID, const CString& receiver, bool& found,
                                bool& remindActive, DeliveryClaim& claim, CString& reason) {
  CString query;
  query.Format(
      L"SELECT m.CN_G_ID, m.CN_T_REMIND, COALESCE(h.CN_N_ATTEMPTS, 0), d.CN_N_STATE "
      L"FROM NORV_REMIND_MSG_AM m "
      L"LEFT JOIN NORV_REMIND_DEF d ON d.CN_G_ID = m.CN_G_REMIND_ID "
      L"LEFT JOIN NORV_HOST_DELIVERY h ON h.CN_G_MSG_ID = m.CN_G_ID "
      L"WHERE m.CN_G_REMIND_ID = %s AND m.CN_S_RECEIVER = %s AND m.CN_N_STATUS = %d "
      L"ORDER BY m.CN_T_REMIND LIMIT 1",
      Quoted(remindID), Quoted(receiver), kMessageWaiting);
  CNorvRecordSet rows;
  if (!rows.Open(m_database.session(), query, &reason)) return false;
  found = rows.MoveNext() == 0;
  if (!found) return true;
  CString id, time, attempts, state;
  rows.GetValue(1, id);
  rows.GetValue(2, time);
  rows.GetValue(3, attempts);
  rows.GetValue(4, state);
  // A deleted remind leaves no definition row.
  found = claim.messageID.FromString1(id) && !state.IsEmpty();
  remindActive = std::wcstol(state, nullptr, 10) == kRemindActive;
  claim.remindTime.ParseDateTime(time);
  claim.attempts = static_cast<int>(std::wcstol(attempts, nullptr, 10)) + 1;
  return true;
}

bool DeliveryStore::MarkSending(DeliveryClaim& claim, CString& reason) {
  CString statement;
  statement.Format(
      L"INSERT INTO NORV_HOST_DELIVERY ( CN_G_MSG_ID, CN_N_STATE, CN_N_ATTEMPTS ) "
      L"VALUES ( '%s', %d, %d ) ON CONFLICT ( CN_G_MSG_ID ) DO UPDATE SET "
      L"CN_N_STATE = excluded.CN_N_STATE, CN_N_ATTEMPTS = excluded.CN_N_ATTEMPTS",
      claim.messageID.GetString1(), static_cast<int>(DeliveryState::kSending), claim.attempts);
  return m_database.Run(statement, &reason);
}

bool DeliveryStore::SetState(const CGuid& messageID, DeliveryState state, const CString& next,
                             const CString& lastReason, CString* reason) {
  CString statement;
  statement.Format(
      L"UPDATE NORV_HOST_DELIVERY SET CN_N_STATE = %d, CN_T_NEXT = %s, CN_S_REASON = %s "
      L"WHERE CN_G_MSG_ID = '%s'",
      static_cast<int>(state), next, lastReason.IsEmpty() ? CString(L"NULL") : Quoted(lastReason),
      messageID.GetString1());
  return m_database.Run(statement, reason);
}

bool DeliveryStore::MarkSent(const CGuid& messageID, CString* reason) {
  CNorvBasePtr<CNorvRemindAMMsg> message(new CNorvRemindAMMsg);
  message->m_ID = messageID;
  return message->DBSetSuccess(m_database.session(), m_database.kind(), reason) &&
         SetState(messageID, DeliveryState::kSent, L"NULL", L"", reason);
}

bool DeliveryStore::MarkRetrying(const CGuid& messageID, const COleDateTime& next,
                                 const CString& lastReason, CString* reason) {
  return SetState(messageID, DeliveryState::kRetrying, m_database.TimeValue(next), lastReason,
                  reason);
}

bool DeliveryStore::MarkFailed(const CGuid& messageID, const CString& lastReason, CString* reason) {
  CNorvBasePtr<CNorvRemindAMMsg> message(new CNorvRemindAMMsg);
  message->m_ID = messageID;
  return message->DBSetFail(m_database.session(), m_database.kind(), lastReason, reason) &&
         SetState(messageID, DeliveryState::kFailed, L"NULL", lastReason, reason);
}

}  // namespace norvhost
