#include "core/db/internal/PostgresBackend.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

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

void AddPieces(const std::string& secret, std::vector<std::string>& pieces) {
  if (secret.empty()) return;
  pieces.push_back(secret);
  size_t start = 0;
  for (size_t i = 0; i <= secret.size(); ++i) {
    if (i == secret.size() || std::strchr("@: \t'\"&/?", secret[i]) != nullptr) {
      if (i > start) pieces.push_back(secret.substr(start, i - start));
      start = i + 1;
    }
  }
}

// What may be part of a password in a connection text, read as loosely as
// libpq might misread it: libpq ends a URI's account at the first '@', so
// the rest of a password holding '@' becomes part of the host name, and a
// keyword text with an unquoted blank in its password leaves words behind
// that libpq quotes in its complaint.
std::vector<std::string> SecretPieces(const std::string& text) {
  std::vector<std::string> pieces;
  const size_t scheme = text.find("://");
  if (scheme != std::string::npos) {
    const size_t begin = scheme + 3;
    const size_t at = text.rfind('@');
    const size_t colon = text.find(':', begin);
    if (at != std::string::npos && at > begin && colon < at) {
      AddPieces(text.substr(colon + 1, at - colon - 1), pieces);
    }
  }
  for (size_t key = text.find("password="); key != std::string::npos;
       key = text.find("password=", key + 1)) {
    const size_t value = key + 9;
    size_t end = value;
    if (end < text.size() && text[end] == '\'') {
      end = text.find('\'', end + 1);
    } else {
      // Words up to the next key=value pair belong to the value.
      end = text.find('&', value);
      for (size_t blank = text.find(' ', value); blank < end; blank = text.find(' ', blank + 1)) {
        const size_t next = text.find_first_not_of(' ', blank);
        const size_t word = text.find_first_of(" =", next);
        if (next == std::string::npos || (word != std::string::npos && text[word] == '=')) {
          end = blank;
          break;
        }
      }
    }
    AddPieces(text.substr(value, end == std::string::npos ? std::string::npos : end - value),
              pieces);
  }
  return pieces;
}

// libpq's own complaint with every password piece of the text blanked out.
// Pieces shorter than three characters stay: blanking them would garble
// the rest of the message, and they give nothing away.
std::string Redact(std::string message, const std::vector<std::string>& pieces) {
  for (const std::string& piece : pieces) {
    if (piece.size() < 3) continue;
    for (size_t at = message.find(piece); at != std::string::npos;
         at = message.find(piece, at + 3)) {
      message.replace(at, piece.size(), "***");
    }
  }
  return message;
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

  std::string_view Text(int column) const override {
    if (m_row < 0 || m_row >= m_rows || column < 1 || column > PQnfields(m_result)) return {};
    return std::string_view(PQgetvalue(m_result, m_row, column - 1),
                            static_cast<size_t>(PQgetlength(m_result, m_row, column - 1)));
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
  std::unique_ptr<PostgresBackend> backend(new PostgresBackend(raw, SecretPieces(text)));
  // libpq would print the server's notices on the host's stderr.
  PQsetNoticeProcessor(
      raw, [](void*, const char*) {}, nullptr);
  if (PQstatus(raw) != CONNECTION_OK) {
    backend->SetConnectionError(errorText);
    return nullptr;
  }
  if (!ApplySessionSettings(raw, errorText)) return nullptr;
  return std::unique_ptr<CNorvDBBackend>(backend.release());
}

PostgresBackend::~PostgresBackend() { PQfinish(m_connection); }

void PostgresBackend::SetConnectionError(CString* errorText) const {
  SetError(errorText, Redact(PQerrorMessage(m_connection), m_secretPieces).c_str());
}

int PostgresBackend::Execute(const CString& statement, CString* errorText) {
  ResultPtr result = Run(statement, errorText);
  if (result == nullptr) return -1;
  const char* changed = PQcmdTuples(result.get());
  return changed[0] != '\0' ? std::atoi(changed) : 0;
}

std::unique_ptr<CNorvDBCursor> PostgresBackend::Query(const CString& query, CString* errorText) {
  ResultPtr result = Run(query, errorText);
  if (result == nullptr) return nullptr;
  if (PQresultStatus(result.get()) == PGRES_EMPTY_QUERY) {
    SetError(errorText, "The query is empty");
    return nullptr;
  }
  return std::make_unique<PostgresCursor>(result.release());
}

PostgresBackend::ResultPtr PostgresBackend::Run(const CString& statement, CString* errorText) {
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
    SetConnectionError(errorText);
    return false;
  }
  return ApplySessionSettings(m_connection, errorText);
}
