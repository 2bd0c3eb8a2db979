#include "core/base/CSingleLock.h"
#include "core/db/CNorvDBFun.h"
#include "core/db/CNorvRecordSet.h"
#include "core/db/internal/NorvSQLValue.h"
#include "remind/internal/RemindRows.h"
#include "repeat/CNorvRemindRepeat.h"

namespace {

// Any kind but 1 writes rule dates as full date-and-time texts.
constexpr const wchar_t* kQuotedDate = L"%Y-%m-%d %H:%M:%S";

// The rule's fields as the statements write them, read together under the
// rule's lock so that none is held while a statement runs.
struct RowValues {
  CString remindTime;
  int type, interval, value, range;
  CString start, end;
  int num, count;
};

RowValues ValuesOf(const CNorvRemindRepeat& rule, short dbType) {
  CSingleLock lock(&rule.m_cs, true);
  return {CNorvDBFun::FormatSQLValue(rule.m_strRemindTime),
          rule.m_nRegularType,
          rule.m_nInterval,
          rule.m_nRegularValue,
          rule.m_nRegularRange,
          norvsql::DateValue(rule.m_dtStart, dbType, kQuotedDate),
          norvsql::DateValue(rule.m_dtEnd, dbType, kQuotedDate),
          rule.m_nNum,
          rule.m_nCount};
}

}  // namespace

bool CNorvRemindRepeat::DBInsert(CSession& session, short dbType, CGuid remindID,
                                 CString* errorText) const {
  const RowValues row = ValuesOf(*this, dbType);
  return norvsql::RunFormat(
      session, errorText,
      L"INSERT INTO NORV_REMIND_REPEAT ( CN_G_REMIND_ID, CN_S_REMIND_TIME, CN_N_REGULAR_TYPE, "
      L"CN_N_INTERVAL, CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_D_START, CN_D_END, "
      L"CN_N_REPEAT_NUM, CN_N_REPEAT_COUNT ) VALUES ('%s', '%s', %d, %d, %d, %d, %s, %s, %d, %d "
      L")",
      remindID.GetString1(), row.remindTime, row.type, row.interval, row.value, row.range,
      row.start, row.end, row.num, row.count);
}

bool CNorvRemindRepeat::DBUpdate(CSession& session, short dbType, CGuid remindID,
                                 CString* errorText) const {
  const RowValues row = ValuesOf(*this, dbType);
  return norvsql::RunFormat(
      session, errorText,
      L"UPDATE NORV_REMIND_REPEAT SET CN_S_REMIND_TIME = '%s', CN_N_REGULAR_TYPE = %d, "
      L"CN_N_INTERVAL = %d, CN_N_REGULAR_VALUE = %d, CN_N_REPEAT_RANGE = %d, CN_D_START = %s, "
      L"CN_D_END = %s, CN_N_REPEAT_NUM = %d WHERE CN_G_REMIND_ID = '%s'",
      row.remindTime, row.type, row.interval, row.value, row.range, row.start, row.end, row.num,
      remindID.GetString1());
}

bool CNorvRemindRepeat::DBDelete(CSession& session, CGuid remindID, CString* errorText) {
  return norvsql::RunFormat(session, errorText,
                            L"DELETE NORV_REMIND_REPEAT WHERE CN_G_REMIND_ID = '%s'",
                            remindID.GetString1());
}

bool CNorvRemindRepeat::DBSetRepeatCount(CSession& session, CGuid remindID, int count,
                                         CString* errorText) {
  return norvsql::RunFormat(
      session, errorText,
      L"UPDATE NORV_REMIND_REPEAT SET CN_N_REPEAT_COUNT = %d WHERE CN_G_REMIND_ID = '%s'", count,
      remindID.GetString1());
}

bool CNorvRemindRepeat::DBLoadData(CSession& session, CGuid remindID, CString* errorText) {
  CString query;
  query.Format(
      L"SELECT\tCN_S_REMIND_TIME, CN_D_START, CN_D_END, CN_N_REGULAR_TYPE, CN_N_INTERVAL, "
      L"CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_N_REPEAT_NUM, CN_N_REPEAT_COUNT "
      L"FROM\tNORV_REMIND_REPEAT WHERE\tCN_G_REMIND_ID = '%s'",
      remindID.GetString1());
  CNorvRecordSet records;
  if (!records.Open(session, query, errorText)) return false;
  if (records.MoveNext() != 0) return true;

  norvrows::ReadRepeat(records, 1, *this);
  return true;
}
