#ifndef NORV_CORE_DB_CNORVRECORDSET_H_
#define NORV_CORE_DB_CNORVRECORDSET_H_

#include <memory>
#include <string_view>

#include "core/base/CString.h"
#include "core/base/NorvExport.h"
#include "core/db/CSession.h"

class CNorvDBCursor;

// A forward-only result set.
class NORV_EXPORT CNorvRecordSet {
 public:
  CNorvRecordSet();
  ~CNorvRecordSet();
  CNorvRecordSet(const CNorvRecordSet&) = delete;
  CNorvRecordSet& operator=(const CNorvRecordSet&) = delete;

  // Runs the query; the set is then before its first row.
  bool Open(CSession& session, const CString& query, CString* errorText = nullptr);
  // 0 when a row is available, any other value at the end.
  int MoveNext();
  // The value of a 1-based column of the current row as text ("" for NULL).
  bool GetValue(int column, CString& value) const;
  // The same as UTF-8, without widening it; valid until the next MoveNext()
  // or Close().
  std::string_view GetText(int column) const;
  void Close();
  bool IsOpened() const;

 private:
  std::unique_ptr<CNorvDBCursor> m_cursor;
  bool m_onRow = false;
};

#endif  // NORV_CORE_DB_CNORVRECORDSET_H_
