#ifndef NORV_CORE_DB_INTERNAL_POSTGRESBACKEND_H_
#define NORV_CORE_DB_INTERNAL_POSTGRESBACKEND_H_

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/db/internal/NorvDBBackend.h"

struct pg_conn;
struct pg_result;

// Internal: the PostgreSQL database client (libpq). One connection, shared
// by every thread that uses the session; statements run one at a time.
class PostgresBackend : public CNorvDBBackend {
 public:
  // `connection` is the session's connection text: "postgresql://..." (a
  // libpq URI, used as is) or "postgresql:<conninfo>" (libpq key=value
  // pairs, or a bare database name). Null on failure with libpq's reason in
  // *errorText, any part of the password in it replaced by "***".
  static std::unique_ptr<CNorvDBBackend> Open(const CString& connection, CString* errorText);

  ~PostgresBackend() override;

  int Execute(const CString& statement, CString* errorText) override;
  std::unique_ptr<CNorvDBCursor> Query(const CString& query, CString* errorText) override;

 private:
  PostgresBackend(pg_conn* connection, std::vector<std::string> secretPieces)
      : m_connection(connection), m_secretPieces(std::move(secretPieces)) {}

  using ResultPtr = std::unique_ptr<pg_result, void (*)(pg_result*)>;

  // The result of one statement, or null with the reason in *errorText.
  ResultPtr Run(const CString& statement, CString* errorText);
  bool EnsureConnected(CString* errorText);
  // libpq's reason the connection failed, without any part of the password.
  void SetConnectionError(CString* errorText) const;

  pg_conn* m_connection;
  // What of the connection text may be password, for SetConnectionError.
  const std::vector<std::string> m_secretPieces;
  std::mutex m_lock;
};

#endif  // NORV_CORE_DB_INTERNAL_POSTGRESBACKEND_H_
