#ifndef NORV_CORE_DB_INTERNAL_SQLITEBACKEND_H_
#define NORV_CORE_DB_INTERNAL_SQLITEBACKEND_H_

#include <memory>
#include <string>

#include "core/db/internal/NorvDBBackend.h"

struct SqliteConnection;

// Internal: the SQLite database client. One connection, shared by every
// thread that uses the session; statements run one at a time.
class SqliteBackend : public CNorvDBBackend {
 public:
  // Null on failure with the reason in *errorText. ":memory:" opens a
  // private in-memory database.
  static std::unique_ptr<CNorvDBBackend> Open(const std::string& path, CString* errorText);

  int Execute(const CString& statement, CString* errorText) override;
  std::unique_ptr<CNorvDBCursor> Query(const CString& query, CString* errorText) override;

 private:
  explicit SqliteBackend(std::shared_ptr<SqliteConnection> connection)
      : m_connection(std::move(connection)) {}

  std::shared_ptr<SqliteConnection> m_connection;
};

#endif  // NORV_CORE_DB_INTERNAL_SQLITEBACKEND_H_
