#include "core/db/internal/SqliteBackend.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/db/internal/OracleDialect.h"
#include "core/db/internal/SqliteDialect.h"

namespace {

// How long a statement waits for another connection's write lock.
constexpr int kBusyTimeoutMs = 5000;

constexpr const char* kSettings = "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;";

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

int DateTimeCollation(void*, int leftLength, const void* left, int rightLength, const void* right) {
  return sqlite_dialect::CompareDateTimes(
      std::string_view(static_cast<const char*>(left), static_cast<size_t>(leftLength)),
      std::string_view(static_cast<const char*>(right), static_cast<size_t>(rightLength)));
}

using sqlite_dialect::LiftedStatement;

// Statements compiled once per connection, by their text with the values
// lifted out: the library writes its values into the text, and compiling
// cost more than running. A statement in use is out of the cache, so two
// cursors never share one. Used under the connection's lock.
class StatementCache {
 public:
  StatementCache() = default;
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;
  ~StatementCache() { Clear(); }

  // The compiled statement for `text`, unbound; null when SQLite cannot
  // compile it (the caller then runs the original text for its error).
  sqlite3_stmt* Take(sqlite3* db, const std::string& text) {
    const auto found = m_statements.find(text);
    if (found != m_statements.end()) {
      sqlite3_stmt* statement = found->second;
      m_statements.erase(found);
      return statement;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db, text.c_str(), static_cast<int>(text.size()),
                           SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) {
      sqlite3_finalize(statement);
      return nullptr;
    }
    return statement;
  }

  // Finalizes every statement kept.
  void Clear() {
    for (const auto& entry : m_statements) sqlite3_finalize(entry.second);
    m_statements.clear();
  }

  // Resets `statement` and keeps it for the next use of `text`.
  void Give(std::string text, sqlite3_stmt* statement) {
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    if (m_statements.size() >= kCapacity) Clear();
    const auto [at, added] = m_statements.emplace(std::move(text), statement);
    if (!added) sqlite3_finalize(statement);
  }

 private:
  // More shapes than the library and host use; a bound, not a working set.
  static constexpr size_t kCapacity = 256;

  std::unordered_map<std::string, sqlite3_stmt*> m_statements;
};

// `values` must outlive the statement's run.
void Bind(sqlite3_stmt* statement, const std::vector<LiftedStatement::Value>& values) {
  for (size_t i = 0; i < values.size(); ++i) {
    const int place = static_cast<int>(i + 1);
    if (values[i].isInteger) {
      sqlite3_bind_int64(statement, place, values[i].integer);
    } else {
      sqlite3_bind_text(statement, place, values[i].text.data(),
                        static_cast<int>(values[i].text.size()), SQLITE_STATIC);
    }
  }
}

}  // namespace

// The connection outlives the session while a record set still reads from it.
struct SqliteConnection {
  ~SqliteConnection() {
    cache.Clear();  // statements go before their connection
    sqlite3_close_v2(db);
  }

  CString LastError() const { return CString::FromUtf8(sqlite3_errmsg(db)); }

  sqlite3* db = nullptr;
  StatementCache cache;
  // Keeps a statement and the reading of its error text together, and
  // guards the cache.
  std::mutex lock;
};

namespace {

bool Configure(SqliteConnection& connection, CString* errorText) {
  sqlite3* db = connection.db;
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  if (sqlite3_create_function(db, "to_date", 2, flags, nullptr, ToDateFunction, nullptr, nullptr) !=
          SQLITE_OK ||
      sqlite3_create_collation(db, sqlite_dialect::kDateTimeCollation, SQLITE_UTF8, nullptr,
                               DateTimeCollation) != SQLITE_OK ||
      sqlite3_exec(db, kSettings, nullptr, nullptr, nullptr) != SQLITE_OK) {
    SetError(errorText, connection.LastError());
    return false;
  }
  return true;
}

class SqliteCursor : public CNorvDBCursor {
 public:
  // A statement from the cache comes bound to its `lifted` values, already
  // stepped once (`firstStep`), and goes back when the cursor ends.
  SqliteCursor(std::shared_ptr<SqliteConnection> connection, sqlite3_stmt* statement,
               std::optional<LiftedStatement> lifted = std::nullopt, int firstStep = kNotStepped)
      : m_connection(std::move(connection)),
        m_statement(statement),
        m_lifted(std::move(lifted)),
        m_pendingStep(firstStep) {}
  ~SqliteCursor() override {
    std::lock_guard<std::mutex> hold(m_connection->lock);
    if (m_lifted) {
      m_connection->cache.Give(std::move(m_lifted->text), m_statement);
    } else {
      sqlite3_finalize(m_statement);
    }
  }

  bool Next() override {
    std::lock_guard<std::mutex> hold(m_connection->lock);
    // A finished statement stepped again would start over.
    m_onRow = !m_finished && NextStep() == SQLITE_ROW;
    m_finished = !m_onRow;
    return m_onRow;
  }

  // Straight from the statement's row, valid until the next step: only the
  // columns asked for are read. The connection is opened serialized, so
  // reading needs no lock of ours.
  std::string_view Text(int column) const override {
    if (!m_onRow || column < 1 || column > sqlite3_column_count(m_statement)) return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column - 1));
    if (text == nullptr) return {};
    return std::string_view(text,
                            static_cast<size_t>(sqlite3_column_bytes(m_statement, column - 1)));
  }

  int ReadInt(int column) const override {
    if (m_onRow && column >= 1 && column <= sqlite3_column_count(m_statement) &&
        sqlite3_column_type(m_statement, column - 1) == SQLITE_INTEGER) {
      // Cut to the low 32 bits, as the text's reading would be.
      return static_cast<int>(static_cast<uint32_t>(sqlite3_column_int64(m_statement, column - 1)));
    }
    return CNorvDBCursor::ReadInt(column);
  }

 private:
  static constexpr int kNotStepped = -1;

  int NextStep() {
    if (m_pendingStep == kNotStepped) return sqlite3_step(m_statement);
    return std::exchange(m_pendingStep, kNotStepped);
  }

  std::shared_ptr<SqliteConnection> m_connection;
  sqlite3_stmt* m_statement;
  std::optional<LiftedStatement> m_lifted;
  int m_pendingStep;
  bool m_onRow = false;
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

namespace {

// Runs every statement of the text in turn, as a schema file needs.
bool RunEach(SqliteConnection& connection, const std::string& sql, CString* errorText) {
  const char* next = sql.c_str();
  while (*next != '\0') {
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(connection.db, next, -1, &prepared, &next) != SQLITE_OK) {
      SetError(errorText, connection.LastError());
      return false;
    }
    if (prepared == nullptr) continue;  // only blanks or a comment remained
    int step;
    while ((step = sqlite3_step(prepared)) == SQLITE_ROW) {
    }
    if (step != SQLITE_DONE) SetError(errorText, connection.LastError());
    sqlite3_finalize(prepared);
    if (step != SQLITE_DONE) return false;
  }
  return true;
}

// A cached statement compiled against a schema that has changed since
// fails to recompile when run; the original text then runs the old way, so
// its error reads as it always did (a failed statement changed nothing).
bool IsStale(int step) { return step == SQLITE_ERROR || step == SQLITE_SCHEMA; }

enum class CachedRun { kDone, kFailed, kStale };

CachedRun RunCached(SqliteConnection& connection, LiftedStatement& lifted, sqlite3_stmt* statement,
                    CString* errorText) {
  Bind(statement, lifted.values);
  int step;
  while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
  }
  if (IsStale(step)) {
    sqlite3_finalize(statement);
    return CachedRun::kStale;
  }
  if (step != SQLITE_DONE) SetError(errorText, connection.LastError());
  connection.cache.Give(std::move(lifted.text), statement);
  return step == SQLITE_DONE ? CachedRun::kDone : CachedRun::kFailed;
}

}  // namespace

int SqliteBackend::Execute(const CString& statement, CString* errorText) {
  const std::string sql = oracle_dialect::Translate(statement);
  std::optional<LiftedStatement> lifted = sqlite_dialect::LiftLiterals(sql);
  std::lock_guard<std::mutex> hold(m_connection->lock);
  SqliteConnection& connection = *m_connection;
  const sqlite3_int64 changesBefore = sqlite3_total_changes64(connection.db);
  sqlite3_stmt* cached = lifted ? connection.cache.Take(connection.db, lifted->text) : nullptr;
  CachedRun run = CachedRun::kStale;
  if (cached != nullptr) run = RunCached(connection, *lifted, cached, errorText);
  if (run == CachedRun::kFailed) return -1;
  if (run == CachedRun::kStale && !RunEach(connection, sql, errorText)) return -1;
  return static_cast<int>(sqlite3_total_changes64(connection.db) - changesBefore);
}

std::unique_ptr<CNorvDBCursor> SqliteBackend::Query(const CString& query, CString* errorText) {
  const std::string sql = oracle_dialect::Translate(query);
  std::optional<LiftedStatement> lifted = sqlite_dialect::LiftLiterals(sql);
  std::lock_guard<std::mutex> hold(m_connection->lock);
  sqlite3_stmt* cached =
      lifted ? m_connection->cache.Take(m_connection->db, lifted->text) : nullptr;
  if (cached != nullptr) {
    // Stepped here so that a stale statement is found while the original
    // text can still report its error.
    Bind(cached, lifted->values);
    const int firstStep = sqlite3_step(cached);
    if (!IsStale(firstStep)) {
      return std::make_unique<SqliteCursor>(m_connection, cached, std::move(lifted), firstStep);
    }
    sqlite3_finalize(cached);
  }
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
