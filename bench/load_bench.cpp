// InitData at scale on SQLite and PostgreSQL: n periodic reminds with two
// receivers and one waiting instant message each, against the bare C API
// running the same queries into plain structs. Memory per remind is the
// heap the loaded manager holds, divided by n.
//
// NORV_BENCH_DATA names the folder for the SQLite files (default /tmp);
// NORV_TEST_PG the PostgreSQL cluster, in which one database per size is
// made and kept. Without NORV_TEST_PG the PostgreSQL cases are skipped.
#include <NorvRemindCore.h>
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <malloc.h>
#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// As the host passes it.
constexpr short kDatabaseKind = 1;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Rows made by the database itself from a series 1..n; times lie in the
// future so that loading expires nothing.
std::string FillStatements(const std::string& series, const std::string& id) {
  auto from = [&](const std::string& columns) { return " SELECT " + columns + " FROM " + series; };
  return "INSERT INTO NORV_REMIND_DEF (CN_G_ID, CN_N_STATE, CN_N_TYPE, CN_N_SEND_FLAG, CN_S_FROM, "
         "CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_CONTENT, CN_S_CONTENT_TYPE)" +
         from(id +
              ", 0, 1, 3, 'admin', 'admin', 'Admin', '2026-01-01 08:00:00', 'Stand-up ' || i, "
              "'Text/Text'") +
         ";\nINSERT INTO NORV_REMIND_RECEIVE (CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, "
         "CN_S_RECEIVE_NAME)" +
         from(id + ", 0, 'alice' || i || '@localhost', 'Alice ' || i") +
         ";\nINSERT INTO NORV_REMIND_RECEIVE (CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, "
         "CN_S_RECEIVE_NAME)" +
         from(id + ", 0, 'bob' || i || '@localhost', 'Bob ' || i") +
         ";\nINSERT INTO NORV_REMIND_REPEAT (CN_G_REMIND_ID, CN_S_REMIND_TIME, CN_D_START, "
         "CN_N_REGULAR_TYPE, "
         "CN_N_INTERVAL, CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_N_REPEAT_NUM, "
         "CN_N_REPEAT_COUNT)" +
         from(id + ", '09:30', '2026-01-01', 1, 1, 124, 0, 0, 0") +
         ";\nINSERT INTO NORV_REMIND_MSG_AM (CN_G_ID, CN_G_REMIND_ID, CN_T_REMIND, "
         "CN_S_CONTENT_TYPE, CN_S_CONTENT, "
         "CN_S_RECEIVER, CN_S_RECEIVER_NAME, CN_N_STATUS)" +
         from("replace(" + id + ", '-0000-0000-0000-', '-0000-0000-0001-'), " + id +
              ", '2099-01-01 09:30:00', 'Text/Text', 'Stand-up ' || i, 'alice' || i || "
              "'@localhost', 'Alice ' || i, 0") +
         ";\n";
}

// The same five queries InitData reads with, and their rows as plain structs.
const char* const kQueries[] = {
    "SELECT\tCN_G_ID, CN_S_NAME, CN_S_DEF, CN_N_ORDER, UPPER( CN_C_DEFAULT ), CN_S_CREATOR_ID, "
    "CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_MODIFIER_ID, CN_S_MODIFIER_NAME, CN_T_MODIFY "
    "FROM\tNORV_REMIND_STYLE "
    "ORDER BY CN_N_ORDER, CN_S_NAME",
    "SELECT\tCN_G_ID, CN_N_TYPE, CN_S_FROM, CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, "
    "CN_T_REMIND, "
    "CN_D_INVALID, CN_N_SEND_FLAG, CN_S_CONTENT, CN_S_CONTENT_TYPE, CN_S_REMIND_STYLE_DEF "
    "FROM\tNORV_REMIND_DEF "
    "WHERE\tCN_N_STATE = 0 ORDER BY CN_G_ID",
    "SELECT\tCN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, CN_S_RECEIVE_NAME "
    "FROM\tNORV_REMIND_RECEIVE "
    "WHERE\tCN_G_REMIND_ID IN (Select CN_G_ID From NORV_REMIND_DEF Where CN_N_STATE = 0) ORDER BY "
    "CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_NAME",
    "SELECT\tCN_G_REMIND_ID, CN_S_REMIND_TIME, CN_D_START, CN_D_END, CN_N_REGULAR_TYPE, "
    "CN_N_INTERVAL, "
    "CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_N_REPEAT_NUM, CN_N_REPEAT_COUNT "
    "FROM\tNORV_REMIND_REPEAT "
    "WHERE\tCN_G_REMIND_ID IN (Select CN_G_ID From NORV_REMIND_DEF Where CN_N_TYPE = 1 And "
    "CN_N_STATE = 0) "
    "ORDER BY CN_G_REMIND_ID",
    "SELECT\tCN_G_REMIND_ID, CN_G_ID, CN_T_REMIND, CN_S_CONTENT, CN_S_CONTENT_TYPE, CN_S_RECEIVER, "
    "CN_S_RECEIVER_NAME FROM\tNORV_REMIND_MSG_AM WHERE\tCN_N_STATUS = 0 ORDER BY CN_T_REMIND",
};

struct PlainRow {
  std::vector<std::string> columns;
};
using PlainTable = std::vector<PlainRow>;

size_t HeapInUse() { return mallinfo2().uordblks; }

void ReportMemory(benchmark::State& state, size_t before, size_t after) {
  state.counters["bytes_per_remind"] =
      static_cast<double>(after - before) / static_cast<double>(state.range(0));
}

// Times InitData into a new manager per iteration; the manager's heap is
// what it holds once loaded. A first, untimed load fills the session's page
// cache: a slow run times a single iteration, whose heap would otherwise
// count the cache as the manager's. The heap is trimmed after each untimed
// free, so that merging the freed chunks is not charged to the next load
// (a starting process has none to merge).
void MeasureInitData(benchmark::State& state, const std::string& connection) {
  CSession session;
  if (!session.Open(CString::FromUtf8(connection))) state.SkipWithError("cannot open");
  {
    CNorvRemindMgr warmUp;
    CString errorText;
    warmUp.InitData(session, kDatabaseKind, errorText);
  }
  malloc_trim(0);
  size_t before = 0;
  size_t after = 0;
  for (auto _ : state) {
    before = HeapInUse();
    auto* manager = new CNorvRemindMgr;
    CString errorText;
    if (!manager->InitData(session, kDatabaseKind, errorText))
      state.SkipWithError("InitData failed");
    after = HeapInUse();
    state.PauseTiming();
    delete manager;
    malloc_trim(0);
    state.ResumeTiming();
  }
  ReportMemory(state, before, after);
}

// The same for the bare side: `readTable(query, table)` runs one query.
template <class ReadTable>
void MeasurePlain(benchmark::State& state, ReadTable readTable) {
  {
    PlainTable warmUp;
    for (const char* query : kQueries) readTable(query, warmUp);
  }
  malloc_trim(0);
  size_t before = 0;
  size_t after = 0;
  for (auto _ : state) {
    before = HeapInUse();
    auto* tables = new std::vector<PlainTable>;
    for (const char* query : kQueries) readTable(query, tables->emplace_back());
    after = HeapInUse();
    state.PauseTiming();
    delete tables;
    malloc_trim(0);
    state.ResumeTiming();
  }
  ReportMemory(state, before, after);
}

// --- SQLite -------------------------------------------------------------------

int CompareTexts(void*, int leftLength, const void* left, int rightLength, const void* right) {
  const int common = std::min(leftLength, rightLength);
  const int order = std::memcmp(left, right, static_cast<size_t>(common));
  return order != 0 ? order : leftLength - rightLength;
}

// Every stored time has the same form here, so plain text order is time order.
void RegisterCollation(sqlite3* db) {
  sqlite3_create_collation_v2(db, "NORV_DATETIME", SQLITE_UTF8, nullptr, CompareTexts, nullptr);
}

std::string SqliteFile(int64_t n) {
  const char* folder = std::getenv("NORV_BENCH_DATA");
  const std::string path =
      std::string(folder ? folder : "/tmp") + "/norv-bench-load-" + std::to_string(n) + ".db";
  if (std::filesystem::exists(path)) return path;
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  RegisterCollation(db);
  const std::string series =
      "(WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < " +
      std::to_string(n) + ") SELECT i FROM s)";
  const std::string id = "printf('%08X-0000-0000-0000-%012X', i, i)";
  const std::string script = ReadFile(NORV_SOURCE_DIR "/schema/sqlite.sql") + "BEGIN;\n" +
                             FillStatements(series, id) + "COMMIT;\n";
  char* error = nullptr;
  if (sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "filling %s: %s\n", path.c_str(), error);
    std::exit(1);
  }
  sqlite3_close(db);
  return path;
}

void BM_InitDataSqlite(benchmark::State& state) {
  MeasureInitData(state, "sqlite:" + SqliteFile(state.range(0)));
}

void BM_BareSqlite(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(SqliteFile(state.range(0)).c_str(), &db);
  RegisterCollation(db);
  MeasurePlain(state, [db](const char* query, PlainTable& table) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, query, -1, &statement, nullptr);
    const int columns = sqlite3_column_count(statement);
    while (sqlite3_step(statement) == SQLITE_ROW) {
      PlainRow& row = table.emplace_back();
      row.columns.reserve(columns);
      for (int c = 0; c < columns; ++c) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
        row.columns.emplace_back(text ? text : "");
      }
    }
    sqlite3_finalize(statement);
  });
  sqlite3_close(db);
}

// --- PostgreSQL ---------------------------------------------------------------

// The cluster's address with the database name replaced.
std::string WithDatabase(const std::string& cluster, const std::string& database) {
  return cluster.substr(0, cluster.rfind('/') + 1) + database;
}

bool Exec(PGconn* connection, const std::string& sql) {
  PGresult* result = PQexec(connection, sql.c_str());
  const bool ok =
      PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
  if (!ok) std::fprintf(stderr, "%s\n", PQerrorMessage(connection));
  PQclear(result);
  return ok;
}

// The address of a database of n reminds, made on first use; empty without
// a cluster.
std::string PostgresDatabase(int64_t n) {
  const char* cluster = std::getenv("NORV_TEST_PG");
  if (cluster == nullptr || *cluster == '\0') return std::string();
  const std::string name = "norv_bench_load_" + std::to_string(n);
  PGconn* admin = PQconnectdb(cluster);
  PGresult* found =
      PQexec(admin, ("SELECT 1 FROM pg_database WHERE datname = '" + name + "'").c_str());
  const bool exists = PQntuples(found) == 1;
  PQclear(found);
  if (!exists) Exec(admin, "CREATE DATABASE " + name);
  PQfinish(admin);
  const std::string address = WithDatabase(cluster, name);
  if (exists) return address;
  PGconn* db = PQconnectdb(address.c_str());
  const std::string series = "generate_series(1, " + std::to_string(n) + ") AS s(i)";
  const std::string id =
      "upper(lpad(to_hex(i), 8, '0') || '-0000-0000-0000-' || lpad(to_hex(i), 12, '0'))";
  if (!Exec(db, ReadFile(NORV_SOURCE_DIR "/schema/postgresql.sql")) ||
      !Exec(db, "BEGIN;\n" + FillStatements(series, id) + "COMMIT;\nANALYZE;")) {
    std::exit(1);
  }
  PQfinish(db);
  return address;
}

void BM_InitDataPostgres(benchmark::State& state) {
  const std::string address = PostgresDatabase(state.range(0));
  if (address.empty()) {
    state.SkipWithError("NORV_TEST_PG is not set");
    return;
  }
  MeasureInitData(state, address);
}

void BM_BareLibpq(benchmark::State& state) {
  const std::string address = PostgresDatabase(state.range(0));
  if (address.empty()) {
    state.SkipWithError("NORV_TEST_PG is not set");
    return;
  }
  PGconn* db = PQconnectdb(address.c_str());
  MeasurePlain(state, [db](const char* query, PlainTable& table) {
    PGresult* result = PQexec(db, query);
    const int rows = PQntuples(result);
    const int columns = PQnfields(result);
    table.reserve(rows);
    for (int r = 0; r < rows; ++r) {
      PlainRow& row = table.emplace_back();
      row.columns.reserve(columns);
      for (int c = 0; c < columns; ++c) row.columns.emplace_back(PQgetvalue(result, r, c));
    }
    PQclear(result);
  });
  PQfinish(db);
}

}  // namespace

BENCHMARK(BM_InitDataSqlite)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BareSqlite)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_InitDataPostgres)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BareLibpq)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
