#include "core/db/internal/PostgresBackend.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "core/db/internal/OracleDialect.h"

namespace {

// ISO dates print in the form the date reader expects, and backslashes stay
// literal for FormatSQLValue. norv.to_date wins over pg_catalog's because
// pg_catalog, listed explicitly, comes after it; the host's own path stays
// in front, so tables are still created where the host expects them.
constexpr char kSessionSettings[] =
    "SET DateStyle = ISO, YMD; "
    "SET standard_conforming_strings = on; "
    "SELECT pg_catalog.set_config('search_path', pg_catalog.concat_ws(', ', "
    "NULLIF(pg_catalog.current_setting('search_path'), ''), 'norv', 'pg_catalog'), false)";

void SetError(CString* errorText, const char* message) {
  if (errorText == nullptr) return;
  *errorText = CString::FromUtf8(message != nullptr ? message : "");
  errorText->Trim();
}

// What libpq takes as its dbname parameter: a URI, a conninfo or a name.
std::string LibpqConnectionText(const CString& connection) {
  const std::string text = connection.ToUtf8();
  constexpr std::string_view kPrefix = "postgresql:";
  if (text.starts_with("postgresql://") || !text.starts_with(kPrefix)) return text;
  return text.substr(kPrefix.size());
}

// Anything but an error; an empty statement counts as done.
bool Succeeded(const PGresult* result) {
  const ExecStatusType status = PQresultStatus(result);
  return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY;
}

// A COPY from or to the client would leave the connection waiting for data
// nobody sends; end it so the session stays usable.
void AbandonCopy(PGconn* connection, ExecStatusType status) {
  if (status == PGRES_COPY_IN) PQputCopyEnd(connection, "COPY is not supported");
  if (status == PGRES_COPY_OUT) {
    char* row = nullptr;
    while (PQgetCopyData(connection, &row, 0) > 0) PQfreemem(row);
  }
  while (PGresult* rest = PQgetResult(connection)) PQclear(rest);
}

bool ApplySessionSettings(PGconn* connection, CString* errorText) {
  PGresult* result = PQexec(connection, kSessionSettings);
  const bool done = result != nullptr && Succeeded(result);
  if (!done) {
    SetError(errorText,
             result != nullptr ? PQresultErrorMessage(result) : PQerrorMessage(connection));
  }
  PQclear(result);
  return done;
}

class PostgresCursor : public CNorvDBCursor {
 public:
  explicit PostgresCursor(PGresult* result) : m_result(result), m_rows(PQntuples(result)) {}
  ~PostgresCursor() override { PQclear(m_result); }
  PostgresCursor(const PostgresCursor&) = delete;
  PostgresCursor& operator=(const PostgresCursor&) = delete;

  bool Next() override {
    if (m_row < m_rows) ++m_row;
    return m_row < m_rows;
  }

  CString Value(int column) const override {
    if (m_row < 0 || m_row >= m_rows || column < 1 || column > PQnfields(m_result)) {
      return CString();
    }
    return CString::FromUtf8(std::string_view(PQgetvalue(m_result, m_row, column - 1),
                                              PQgetlength(m_result, m_row, column - 1)));
  }

 private:
  PGresult* m_result;
  const int m_rows;
  int m_row = -1;
};

}  // namespace

std::unique_ptr<CNorvDBBackend> PostgresBackend::Open(const CString& connection,
                                                      CString* errorText) {
  const std::string text = LibpqConnectionText(connection);
  // Later parameters override those inside the connection text, so the
  // session speaks UTF-8 whatever the text asks for.
  const char* const keywords[] = {"dbname", "client_encoding", nullptr};
  const char* const values[] = {text.c_str(), "UTF8", nullptr};
  PGconn* raw = PQconnectdbParams(keywords, values, /*expand_dbname=*/1);
  if (raw == nullptr) {
    SetError(errorText, "out of memory opening a PostgreSQL connection");
    return nullptr;
  }
  std::unique_ptr<CNorvDBBackend> backend(new PostgresBackend(raw));
  // libpq would print the server's notices on the host's stderr.
  PQsetNoticeProcessor(raw, [](void*, const char*) {}, nullptr);
  if (PQstatus(raw) != CONNECTION_OK) {
    SetError(errorText, PQerrorMessage(raw));
    return nullptr;
  }
  if (!ApplySessionSettings(raw, errorText)) return nullptr;
  return backend;
}

PostgresBackend::~PostgresBackend() { PQfinish(m_connection); }

int PostgresBackend::Execute(const CString& statement, CString* errorText) {
  ResultPtr result = Run(statement, errorText);
  if (result == nullptr) return -1;
  const char* changed = PQcmdTuples(result.get());
  return changed[0] != '\0' ? std::atoi(changed) : 0;
}

std::unique_ptr<CNorvDBCursor> PostgresBackend::Query(const CString& query,
                                                      CString* errorText) {
  ResultPtr result = Run(query, errorText);
  if (result == nullptr) return nullptr;
  if (PQresultStatus(result.get()) == PGRES_EMPTY_QUERY) {
    SetError(errorText, "The query is empty");
    return nullptr;
  }
  return std::make_unique<PostgresCursor>(result.release());
}

PostgresBackend::ResultPtr PostgresBackend::Run(const CString& statement,
                                                CString* errorText) {
  const std::string text = oracle_dialect::Translate(statement);
  std::lock_guard<std::mutex> hold(m_lock);
  if (!EnsureConnected(errorText)) return ResultPtr(nullptr, PQclear);
  ResultPtr result(PQexec(m_connection, text.c_str()), PQclear);
  if (result == nullptr) {
    SetError(errorText, PQerrorMessage(m_connection));
    return result;
  }
  if (Succeeded(result.get())) return result;
  const ExecStatusType status = PQresultStatus(result.get());
  if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT) {
    AbandonCopy(m_connection, status);
    SetError(errorText, "COPY from or to the client is not supported");
  } else {
    SetError(errorText, PQresultErrorMessage(result.get()));
  }
  return ResultPtr(nullptr, PQclear);
}

// A connection the server dropped (restart, idle timeout) is reopened before
// the next statement; the statement that met the drop is not retried.
bool PostgresBackend::EnsureConnected(CString* errorText) {
  if (PQstatus(m_connection) == CONNECTION_OK) return true;
  PQreset(m_connection);
  if (PQstatus(m_connection) != CONNECTION_OK) {
    SetError(errorText, PQerrorMessage(m_connection));
    return false;
  }
  return ApplySessionSettings(m_connection, errorText);
}

