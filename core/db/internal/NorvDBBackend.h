#ifndef NORV_CORE_DB_INTERNAL_NORVDBBACKEND_H_
#define NORV_CORE_DB_INTERNAL_NORVDBBACKEND_H_

#include <memory>
#include <string_view>

#include "core/base/CString.h"

// Internal: one database client behind CSession. Each backend translates the
// library's Oracle-style statements into its own dialect.
class CNorvDBCursor {
 public:
  virtual ~CNorvDBCursor() = default;
  // True when a row is available; false at the end or on an error.
  virtual bool Next() = 0;
  // A 1-based column of the current row as UTF-8; "" for NULL or a bad
  // index. Valid until the next Next() or the cursor's end: callers that
  // want no wide text pay for none.
  virtual std::string_view Text(int column) const = 0;
};

class CNorvDBBackend {
 public:
  virtual ~CNorvDBBackend() = default;
  // -1 on failure with the database's reason in *errorText, otherwise the
  // number of rows changed.
  virtual int Execute(const CString& statement, CString* errorText) = 0;
  // Null on failure with the reason in *errorText.
  virtual std::unique_ptr<CNorvDBCursor> Query(const CString& query, CString* errorText) = 0;
};

#endif  // NORV_CORE_DB_INTERNAL_NORVDBBACKEND_H_
