#ifndef NORV_CORE_DB_INTERNAL_NORVSQLVALUE_H_
#define NORV_CORE_DB_INTERNAL_NORVSQLVALUE_H_

#include "core/base/COleDateTime.h"
#include "core/base/CString.h"
#include "core/db/CNorvDBFun.h"
#include "core/db/CSession.h"

// Internal: the pieces every area's statements share.
namespace norvsql {

// A point in time as a statement value. Database kind 1 takes the
// Oracle-style to_date form, any other kind the text in quotes; a time that
// is not set is NULL, never an empty quoted text. A stored time text may
// come from outside, so it is escaped like every text.
inline CString TimeValue(const CString& rawText, short dbType) {
  if (rawText.IsEmpty()) return L"NULL";
  const CString text = CNorvDBFun::FormatSQLValue(rawText);
  CString value;
  if (dbType == 1) {
    value.Format(L"to_date( '%s', 'yyyy-mm-dd hh24:mi:ss' )", text);
  } else {
    value.Format(L"'%s'", text);
  }
  return value;
}

inline CString TimeValue(const COleDateTime& time, short dbType) {
  if (time.GetStatus() != COleDateTime::valid) return L"NULL";
  return TimeValue(time.Format(L"%Y-%m-%d %H:%M:%S"), dbType);
}

// A date as a statement value: to_date( 'YYYY-MM-DD', 'yyyy-mm-dd' ) for
// kind 1; any other kind the date in quotes, written with `otherKindFormat`
// since some statements want the full date-and-time text there. A date that
// is not set is NULL: its empty or "Invalid DateTime" text would break the
// statement on a date column.
inline CString DateValue(const COleDateTime& date, short dbType, const wchar_t* otherKindFormat) {
  if (date.GetStatus() != COleDateTime::valid) return L"NULL";
  CString value;
  if (dbType == 1) {
    value.Format(L"to_date( '%s', 'yyyy-mm-dd' )", date.Format(L"%Y-%m-%d"));
  } else {
    value.Format(L"'%s'", date.Format(otherKindFormat));
  }
  return value;
}

inline CString NowValue(short dbType) { return TimeValue(COleDateTime::GetCurrentTime(), dbType); }

// Runs one statement; false with the database's reason in *errorText.
inline bool Run(CSession& session, const CString& statement, CString* errorText) {
  return CNorvDBFun::RunSQL(session, statement, errorText, CNorvDBFun::kSourceFile,
                            CNorvDBFun::kSourceLine) != -1;
}

// One statement's text, formatted as CString::Format does.
template <typename... Args>
CString Formatted(const wchar_t* format, const Args&... args) {
  CString statement;
  statement.Format(format, args...);
  return statement;
}

// Formats one statement and runs it as Run does.
template <typename... Args>
bool RunFormat(CSession& session, CString* errorText, const wchar_t* format, const Args&... args) {
  return Run(session, Formatted(format, args...), errorText);
}

}  // namespace norvsql

#endif  // NORV_CORE_DB_INTERNAL_NORVSQLVALUE_H_
