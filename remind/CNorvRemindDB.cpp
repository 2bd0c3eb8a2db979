#include <cassert>

#include "core/base/CSingleLock.h"
#include "core/db/CNorvDBFun.h"
#include "core/db/CNorvRecordSet.h"
#include "core/db/internal/NorvSQLValue.h"
#include "remind/CNorvRemind.h"
#include "remind/internal/NorvCodes.h"
#include "remind/internal/RemindRows.h"

// The writers copy what they need under the remind's locks, so that a host
// thread changing the remind meanwhile cannot tear a text, and run their
// statements with none held.

namespace {

CString Escape(const CString& text) { return CNorvDBFun::FormatSQLValue(text); }

// Only a one-off remind has a remind time of its own. The caller holds
// the remind's m_cs.
CString RemindTimeValue(const CNorvRemind& remind, short dbType) {
  assert(remind.m_cs.IsHeldByCurrentThread());
  if (remind.m_nType != norvcode::kOneOff) return L"NULL";
  return norvsql::TimeValue(remind.m_dtRemind, dbType);
}

// A custom-style deadline is a date for kind 1; a periodic deadline keeps the
// time-of-day form. A custom-style deadline that is not a valid date is NULL,
// not its formatted text: '' or 'Invalid DateTime' fails on a timestamp
// column, and to_date( '', ... ) stores a date in year 1 BC. The caller holds
// the remind's m_cs.
CString DeadlineValue(const CNorvRemind& remind, short dbType) {
  assert(remind.m_cs.IsHeldByCurrentThread());
  if (remind.m_nType == norvcode::kCustomStyle) {
    return norvsql::DateValue(remind.m_dtInvalid, dbType, L"%Y-%m-%d %H:%M:%S");
  }
  if (remind.m_nType == norvcode::kPeriodic) return norvsql::TimeValue(remind.m_dtInvalid, dbType);
  return L"NULL";
}

// The remind's columns as SQL text, copied under its locks (m_cs, then
// m_csStyle) so that one row never mixes two versions of the remind.
struct RowValues {
  short state, type, sendFlag;
  CString id, from, remindTime, deadline, creatorID, creatorName, content, contentType, styleDef;
};

RowValues ValuesOf(CNorvRemind& remind, short dbType) {
  CSingleLock lock(&remind.m_cs, true);
  RowValues row{remind.m_nState,
                remind.m_nType,
                remind.m_nSendFlag,
                remind.m_ID.GetString1(),
                Escape(remind.m_strFrom),
                RemindTimeValue(remind, dbType),
                DeadlineValue(remind, dbType),
                Escape(remind.m_strCreatorID),
                Escape(remind.m_strCreatorName),
                Escape(remind.m_strContent),
                Escape(remind.m_strContentType),
                L""};
  CSingleLock styleLock(&remind.m_csStyle, true);
  row.styleDef = Escape(remind.m_strRemindStyleDef);
  return row;
}

// The columns DBLoadInfo selects, in its order.
constexpr norvrows::RemindDefColumns kInfoColumns{.state = 1,
                                                  .type = 2,
                                                  .sendFlag = 3,
                                                  .from = 4,
                                                  .remindTime = 5,
                                                  .invalidDate = 6,
                                                  .creatorID = 7,
                                                  .creatorName = 8,
                                                  .createTime = 9,
                                                  .content = 10,
                                                  .contentType = 11,
                                                  .styleDef = 12};

}  // namespace

int CNorvRemind::DBLoadData(CSession& session, CGuid id, CString& errorText) {
  CString reason;
  int found = DBLoadInfo(session, id, &reason);
  if (found == -1) {
    errorText.Format(L"装载提醒的基本信息失败，原因：%s", reason);
    return -1;
  }
  if (found == 0) return 0;

  if (!norvrows::CanFire(*this, norvrows::DeadlineRule::kCustomStyle, errorText)) return -1;
  if (!DBLoadReceiver(session, &reason)) {
    errorText.Format(L"装载提醒的接收者信息失败，原因：%s", reason);
    return -1;
  }
  if (m_nType == kPeriodic && !DBLoadRepeat(session, &reason)) {
    errorText.Format(L"装载提醒的重复配置信息失败，原因：%s", reason);
    return -1;
  }
  return 1;
}

int CNorvRemind::DBLoadInfo(CSession& session, CGuid id, CString* errorText) {
  CString query;
  query.Format(
      L"SELECT\tCN_N_STATE, CN_N_TYPE, CN_N_SEND_FLAG, CN_S_FROM, CN_T_REMIND, CN_D_INVALID, "
      L"CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_CONTENT, CN_S_CONTENT_TYPE, "
      L"CN_S_REMIND_STYLE_DEF FROM\tNORV_REMIND_DEF WHERE\tCN_G_ID = '%s'",
      id.GetString1());
  CNorvRecordSet records;
  if (!records.Open(session, query, errorText)) return -1;
  if (records.MoveNext() != 0) return 0;

  m_ID = id;
  norvrows::ReadRemindDef(records, kInfoColumns, *this);
  return 1;
}

bool CNorvRemind::DBLoadReceiver(CSession& session, CString* errorText) {
  m_lstReceiver.clear();
  CString query;
  query.Format(
      L"SELECT\tCN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, CN_S_RECEIVE_NAME FROM\tNORV_REMIND_RECEIVE "
      L"WHERE\tCN_G_REMIND_ID = '%s' ORDER BY CN_N_RECEIVE_TYPE, CN_S_RECEIVE_NAME",
      m_ID.GetString1());
  CNorvRecordSet records;
  if (!records.Open(session, query, errorText)) return false;
  while (records.MoveNext() == 0) m_lstReceiver.push_back(norvrows::ReadReceiver(records, 1));
  return true;
}

bool CNorvRemind::DBLoadRepeat(CSession& session, CString* errorText) {
  return m_Repeat.DBLoadData(session, m_ID, errorText);
}

bool CNorvRemind::DBInsert(CSession& session, short dbType, CString* errorText) {
  const RowValues row = ValuesOf(*this, dbType);
  if (!norvsql::RunFormat(
          session, errorText,
          L"INSERT INTO NORV_REMIND_DEF ( CN_G_ID, CN_N_STATE, CN_N_TYPE, CN_N_SEND_FLAG, "
          L"CN_S_FROM, "
          L"CN_T_REMIND, CN_D_INVALID, CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, "
          L"CN_S_CONTENT, "
          L"CN_S_CONTENT_TYPE, CN_S_REMIND_STYLE_DEF ) "
          L"VALUES ( '%s', %d, %d, %d, '%s', %s, %s, '%s', '%s', %s, '%s', '%s', '%s' )",
          row.id, row.state, row.type, row.sendFlag, row.from, row.remindTime, row.deadline,
          row.creatorID, row.creatorName, norvsql::NowValue(dbType), row.content, row.contentType,
          row.styleDef)) {
    return false;
  }
  if (row.type != kPeriodic) return true;
  return m_Repeat.DBInsert(session, dbType, m_ID, errorText);
}

bool CNorvRemind::DBUpdate(CSession& session, short dbType, short previousType,
                           CString* errorText) {
  const RowValues row = ValuesOf(*this, dbType);
  if (!norvsql::RunFormat(
          session, errorText,
          L"UPDATE NORV_REMIND_DEF SET CN_N_STATE = %d, CN_N_TYPE = %d, CN_N_SEND_FLAG = %d, "
          L"CN_T_REMIND = %s, CN_D_INVALID = %s, CN_S_CONTENT = '%s', CN_S_CONTENT_TYPE = '%s', "
          L"CN_S_REMIND_STYLE_DEF = '%s' WHERE CN_G_ID = '%s'",
          row.state, row.type, row.sendFlag, row.remindTime, row.deadline, row.content,
          row.contentType, row.styleDef, row.id)) {
    return false;
  }
  const short type = row.type;

  bool wasPeriodic = previousType == kPeriodic;
  bool isPeriodic = type == kPeriodic;
  if (wasPeriodic && isPeriodic) return m_Repeat.DBUpdate(session, dbType, m_ID, errorText);
  if (wasPeriodic) return CNorvRemindRepeat::DBDelete(session, m_ID, errorText);
  if (isPeriodic) return m_Repeat.DBInsert(session, dbType, m_ID, errorText);
  return true;
}

bool CNorvRemind::DBDelete(CSession& session, CGuid id, CString* errorText) {
  CString statement;
  statement.Format(L"DELETE NORV_REMIND_DEF WHERE CN_G_ID = '%s'", id.GetString1());
  return norvsql::Run(session, statement, errorText);
}

bool CNorvRemind::DBSetState(CSession& session, CGuid id, short state, CString* errorText) {
  CString statement;
  statement.Format(L"UPDATE NORV_REMIND_DEF SET CN_N_STATE = %d WHERE CN_G_ID = '%s'", state,
                   id.GetString1());
  return norvsql::Run(session, statement, errorText);
}

bool CNorvRemind::DBInsertReceiver(CSession& session, CString* errorText) {
  std::list<CNorvBasePtr<CEmItem>> receivers;
  {
    CSingleLock lock(&m_csReceiver, true);
    receivers = m_lstReceiver;
  }
  for (const CNorvBasePtr<CEmItem>& receiver : receivers) {
    CString statement;
    statement.Format(
        L"INSERT INTO NORV_REMIND_RECEIVE ( CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, "
        L"CN_S_RECEIVE_NAME ) VALUES ( '%s', %d, '%s', '%s' )",
        m_ID.GetString1(), receiver->m_nReceiveType, Escape(receiver->m_strReceiveID),
        Escape(receiver->m_strReceiveName));
    if (!norvsql::Run(session, statement, errorText)) return false;
  }
  return true;
}

bool CNorvRemind::DBDeleteReceiver(CSession& session, CGuid id, CString* errorText) {
  CString statement;
  statement.Format(L"DELETE NORV_REMIND_RECEIVE WHERE CN_G_REMIND_ID = '%s'", id.GetString1());
  return norvsql::Run(session, statement, errorText);
}

bool CNorvRemind::DBInsertMsg(CSession& session, short dbType, CStringArray& receivers,
                              CStringArray& names, COleDateTime remindTime, CString* errorText) {
  CString content;
  CString contentType;
  GetContent(content, contentType);

  // Every row is composed in one pass, so a '%' in any value stays an
  // ordinary character.
  CString remindID = m_ID.GetString1();
  CString time = norvsql::TimeValue(remindTime, dbType);
  content = Escape(content);
  contentType = Escape(contentType);
  for (int i = 0; i < receivers.GetSize(); ++i) {
    CGuid msgID;
    msgID.NewID();
    const CString& receiver = receivers.GetAt(i);
    const CString& name = names.GetAt(i);
    CString statement;
    statement.Format(
        L"INSERT INTO NORV_REMIND_MSG ( CN_G_ID, CN_G_REMIND_ID, CN_S_CONTENT, CN_S_CONTENT_TYPE, "
        L"CN_S_RECEIVER, CN_S_RECEIVER_NAME, CN_T_REMIND, CN_N_STATUS ) "
        L"VALUES ( '%s', '%s', '%s', '%s', '%s', '%s', %s, %d )",
        msgID.GetString1(), remindID, content, contentType, Escape(receiver), Escape(name), time,
        norvcode::kMsgNotRead);
    if (!norvsql::Run(session, statement, errorText)) return false;
  }
  return true;
}
