#include "core/db/internal/SqliteBackend.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <mutex>
#include <string_view>
#include <vector>

#include "core/db/internal/OracleDialect.h"
#include "core/db/internal/SqliteDialect.h"

namespace {

// How long a statement waits for another connection's write lock.
constexpr int kBusyTimeoutMs = 5000;

void SetError(CString* errorText, const CString& reason) {
  if (errorText != nullptr) *errorText = reason;
}

std::string_view ArgumentText(sqlite3_value* value) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  return std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(value)));
}

void ToDateFunction(sqlite3_context* context, int, sqlite3_value** args) {
  if (sqlite3_value_type(args[0]) == SQLITE_NULL) {
    sqlite3_result_null(context);
    return;
  }
  std::optional<std::string> text =
      sqlite_dialect::ToDate(ArgumentText(args[0]), ArgumentText(args[1]));
  if (!text) {
    sqlite3_result_null(context);
    return;
  }
  sqlite3_result_text(context, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
}

int DateTimeCollation(void*, int leftLength, const void* left, int rightLength,
                      const void* right) {
  return sqlite_dialect::CompareDateTimes(
      std::string_view(static_cast<const char*>(left), static_cast<size_t>(leftLength)),
      std::string_view(static_cast<const char*>(right), static_cast<size_t>(rightLength)));
}

}  // namespace

// The connection outlives the session while a record set still reads from it.
struct SqliteConnection {
  ~SqliteConnection() { sqlite3_close_v2(db); }

  CString LastError() const { return CString::FromUtf8(sqlite3_errmsg(db)); }

  sqlite3* db = nullptr;
  // Keeps a statement and the reading of its error text together.
  std::mutex lock;
};

namespace {

bool Configure(SqliteConnection& connection, CString* errorText) {
  sqlite3* db = connection.db;
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  if (sqlite3_create_function(db, "to_date", 2, flags, nullptr, ToDateFunction, nullptr,
                              nullptr) != SQLITE_OK ||
      sqlite3_create_collation(db, sqlite_dialect::kDateTimeCollation, SQLITE_UTF8, nullptr,
                               DateTimeCollation) != SQLITE_OK ||
      sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr,
                   nullptr) != SQLITE_OK) {
    SetError(errorText, connection.LastError());
    return false;
  }
  return true;
}

class SqliteCursor : public CNorvDBCursor {
 public:
  SqliteCursor(std::shared_ptr<SqliteConnection> connection, sqlite3_stmt* statement)
      : m_connection(std::move(connection)), m_statement(statement) {}
  ~SqliteCursor() override {
    std::lock_guard<std::mutex> hold(m_connection->lock);
    sqlite3_finalize(m_statement);
  }

  bool Next() override {
    std::lock_guard<std::mutex> hold(m_connection->lock);
    m_row.clear();
    // A finished statement stepped again would start over.
    if (m_finished || sqlite3_step(m_statement) != SQLITE_ROW) {
      m_finished = true;
      return false;
    }
    const int columns = sqlite3_column_count(m_statement);
    for (int i = 0; i < columns; ++i) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, i));
      const int length = sqlite3_column_bytes(m_statement, i);
      m_row.push_back(text == nullptr
                          ? CString()
                          : CString::FromUtf8(std::string_view(text, static_cast<size_t>(length))));
    }
    return true;
  }

  CString Value(int column) const override {
    if (column < 1 || column > static_cast<int>(m_row.size())) return CString();
    return m_row[static_cast<size_t>(column - 1)];
  }

 private:
  std::shared_ptr<SqliteConnection> m_connection;
  sqlite3_stmt* m_statement;
  std::vector<CString> m_row;
  bool m_finished = false;
};

// SQLite gives its -wal and -shm files the mode of the database file, so a
// file made private here keeps all three from other users, whatever the umask.
// Only a file that does not exist yet is opened: closing any descriptor of a
// database drops every POSIX lock this process's connections hold on it, and
// another process would then take itself for the last one and delete the WAL.
void CreatePrivateFile(const std::string& path) {
  if (path.empty() || path == ":memory:") return;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
}

}  // namespace

std::unique_ptr<CNorvDBBackend> SqliteBackend::Open(const std::string& path, CString* errorText) {
  CreatePrivateFile(path);
  auto connection = std::make_shared<SqliteConnection>();
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
  if (sqlite3_open_v2(path.c_str(), &connection->db, flags, nullptr) != SQLITE_OK) {
    CString reason;
    reason.Format(L"Cannot open SQLite database '%s': %s", CString::FromUtf8(path),
                  connection->LastError());
    SetError(errorText, reason);
    return nullptr;
  }
  if (!Configure(*connection, errorText)) return nullptr;
  return std::unique_ptr<CNorvDBBackend>(new SqliteBackend(std::move(connection)));
}

// Runs every statement of the text in turn, as a schema file needs.
int SqliteBackend::Execute(const CString& statement, CString* errorText) {
  const std::string sql = oracle_dialect::Translate(statement);
  std::lock_guard<std::mutex> hold(m_connection->lock);
  sqlite3* db = m_connection->db;
  const sqlite3_int64 changesBefore = sqlite3_total_changes64(db);
  const char* next = sql.c_str();
  while (*next != '\0') {
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(db, next, -1, &prepared, &next) != SQLITE_OK) {
      SetError(errorText, m_connection->LastError());
      return -1;
    }
    if (prepared == nullptr) continue;  // only blanks or a comment remained
    int step;
    while ((step = sqlite3_step(prepared)) == SQLITE_ROW) {
    }
    if (step != SQLITE_DONE) SetError(errorText, m_connection->LastError());
    sqlite3_finalize(prepared);
    if (step != SQLITE_DONE) return -1;
  }
  return static_cast<int>(sqlite3_total_changes64(db) - changesBefore);
}

std::unique_ptr<CNorvDBCursor> SqliteBackend::Query(const CString& query, CString* errorText) {
  const std::string sql = oracle_dialect::Translate(query);
  std::lock_guard<std::mutex> hold(m_connection->lock);
  sqlite3_stmt* prepared = nullptr;
  if (sqlite3_prepare_v2(m_connection->db, sql.c_str(), -1, &prepared, nullptr) != SQLITE_OK) {
    SetError(errorText, m_connection->LastError());
    return nullptr;
  }
  if (prepared == nullptr) {
    SetError(errorText, L"The query is empty");
    return nullptr;
  }
  return std::make_unique<SqliteCursor>(m_connection, prepared);
}
