#include "host/daemon/DeliveryStore.h"

#include <cassert>
#include <cstdlib>

#include "core/base/CNorvBasePtr.h"
#include "core/db/CNorvRecordSet.h"
#include "host/daemon/Membership.h"
#include "message/CNorvRemindAMMsg.h"
#include "remind/internal/NorvCodes.h"

namespace norvhost {

bool DeliveryStore::FindWaiting(const CString& remindID, const CString& receiver, Waiting& waiting,
                                DeliveryClaim& claim, CString& reason) {
  CString query;
  query.Format(
      L"SELECT m.CN_G_ID, m.CN_T_REMIND, COALESCE(h.CN_N_ATTEMPTS, 0), d.CN_N_STATE "
      L"FROM NORV_REMIND_MSG_AM m "
      L"LEFT JOIN NORV_REMIND_DEF d ON d.CN_G_ID = m.CN_G_REMIND_ID "
      L"LEFT JOIN NORV_HOST_DELIVERY h ON h.CN_G_MSG_ID = m.CN_G_ID "
      L"WHERE m.CN_G_REMIND_ID = %s AND m.CN_S_RECEIVER = %s AND m.CN_N_STATUS = %d ",
      HostDatabase::TextValue(remindID), HostDatabase::TextValue(receiver), norvcode::kAMWaiting);
  if (!m_member.IsEmpty()) {
    // Another daemon's later message of the same remind must not go early.
    query.AppendFormat(
        L"AND m.CN_T_REMIND <= %s AND NOT EXISTS ( SELECT 1 FROM NORV_HOST_CLAIM c "
        L"WHERE c.CN_G_MSG_ID = m.CN_G_ID AND c.CN_G_MEMBER <> '%s' AND %s ) ",
        m_database.TimeValue(COleDateTime::GetCurrentTime()), m_member,
        Membership::LiveCondition(L"c.CN_G_MEMBER"));
  }
  query += L"ORDER BY m.CN_T_REMIND LIMIT 1";
  CNorvRecordSet rows;
  if (!rows.Open(m_database.session(), query, &reason)) return false;
  waiting = Waiting::kNone;
  if (rows.MoveNext() != 0) return true;
  CString id, time, attempts, state;
  rows.GetValue(1, id);
  rows.GetValue(2, time);
  rows.GetValue(3, attempts);
  rows.GetValue(4, state);
  if (!claim.messageID.FromString1(id)) return true;
  // A deleted remind leaves no definition row.
  if (state.IsEmpty()) {
    waiting = Waiting::kDeleted;
  } else {
    waiting = std::wcstol(state, nullptr, 10) == norvcode::kRemindActive ? Waiting::kActive
                                                                         : Waiting::kInactive;
  }
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
      static_cast<int>(state), next,
      lastReason.IsEmpty() ? CString(L"NULL") : HostDatabase::TextValue(lastReason),
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

CString DeliveryStore::ClaimStatement(const CGuid& messageID, const CString& member) {
  CString statement;
  statement.Format(
      L"INSERT INTO NORV_HOST_CLAIM ( CN_G_MSG_ID, CN_G_MEMBER ) VALUES ( '%s', '%s' ) "
      L"ON CONFLICT ( CN_G_MSG_ID ) DO UPDATE SET CN_G_MEMBER = excluded.CN_G_MEMBER "
      L"WHERE NORV_HOST_CLAIM.CN_G_MEMBER = excluded.CN_G_MEMBER OR NOT %s",
      messageID.GetString1(), member, Membership::LiveCondition(L"NORV_HOST_CLAIM.CN_G_MEMBER"));
  return statement;
}

bool DeliveryStore::TakeOver(std::vector<CNorvBasePtr<CNorvRemindAMMsg>>& taken, CString& reason) {
  assert(!m_member.IsEmpty());
  // One statement: two daemons taking over at once each get other messages,
  // as the row lock makes the second see the first as the live holder.
  CString statement;
  statement.Format(
      L"UPDATE NORV_HOST_CLAIM SET CN_G_MEMBER = '%s' FROM NORV_REMIND_MSG_AM m "
      L"WHERE m.CN_G_ID = NORV_HOST_CLAIM.CN_G_MSG_ID AND m.CN_N_STATUS = %d "
      L"AND NOT %s RETURNING m.CN_G_REMIND_ID, m.CN_G_ID, m.CN_T_REMIND, m.CN_S_CONTENT, "
      L"m.CN_S_CONTENT_TYPE, m.CN_S_RECEIVER, m.CN_S_RECEIVER_NAME",
      m_member, norvcode::kAMWaiting, Membership::LiveCondition(L"NORV_HOST_CLAIM.CN_G_MEMBER"));
  CNorvRecordSet rows;
  if (!rows.Open(m_database.session(), statement, &reason)) return false;
  while (rows.MoveNext() == 0) {
    CNorvBasePtr<CNorvRemindAMMsg> message(new CNorvRemindAMMsg);
    CString remindID, id, time;
    rows.GetValue(1, remindID);
    rows.GetValue(2, id);
    rows.GetValue(3, time);
    rows.GetValue(4, message->m_strContent);
    rows.GetValue(5, message->m_strContentType);
    rows.GetValue(6, message->m_strReceiver);
    rows.GetValue(7, message->m_strReceiverName);
    if (!message->m_RemindID.FromString1(remindID) || !message->m_ID.FromString1(id) ||
        !message->m_dtRemind.ParseDateTime(time)) {
      continue;
    }
    taken.push_back(message);
  }
  return true;
}

}  // namespace norvhost
