#ifndef NORV_CORE_DB_INTERNAL_NORVDBBACKEND_H_
#define NORV_CORE_DB_INTERNAL_NORVDBBACKEND_H_

#include <memory>

#include "core/base/CString.h"

// Internal: one database client behind CSession. Each backend translates the
// library's Oracle-style statements into its own dialect.
class CNorvDBCursor {
 public:
  virtual ~CNorvDBCursor() = default;
  // True when a row is available; false at the end or on an error.
  virtual bool Next() = 0;
  // Sets `value` to a 1-based column of the current row; "" for NULL or a
  // bad index. Into the caller's string, so that a reused one keeps its room.
  virtual void ReadValue(int column, CString& value) const = 0;
  // The same read as CString::ToInt reads the text; a backend that holds
  // the number itself skips making the text.
  virtual int ReadInt(int column) const {
    thread_local CString text;
    ReadValue(column, text);
    return text.ToInt();
  }
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
