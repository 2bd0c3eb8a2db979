#include "core/CSession.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "NorvScratchDatabase.h"
#include "NorvTestDatabase.h"
#include "NorvTestSupport.h"
#include "core/CNorvDBFun.h"
#include "core/CNorvRecordSet.h"
#include "core/COleDateTime.h"

namespace {

CString SqliteConnection(const std::string& file) { return CString::FromUtf8("sqlite:" + file); }

int RunStatement(CSession& session, const CString& statement, CString* error = nullptr) {
  return CNorvDBFun::RunSQL(session, statement, error, __FILE__, __LINE__);
}

TEST(CSessionOpenTest, RejectsConnectionsItCannotServe) {
  norvtest::TempDir dir;
  std::ofstream(dir.File("not-a-db")) << "plain text, long enough to have a header........";
  const struct {
    CString connection;
    const wchar_t* reason;
  } cases[] = {
      {L"postgresql://user@127.0.0.1:1/remind", L"port 1 failed"},
      {L"postgresql:host=127.0.0.1 port=1 dbname=remind", L"port 1 failed"},
      {L"postgresql:dbname=remind colour=blue", L"invalid connection option \"colour\""},
      {L"oracle:remind", L"Unknown database connection text"},
      {L"", L"Unknown database connection text"},
      {L"sqlite:", L"names no database file"},
      {SqliteConnection(dir.File("missing/remind.db")), L"unable to open database file"},
      {SqliteConnection(dir.File("not-a-db")), L"file is not a database"},
  };
  for (const auto& c : cases) {
    CSession session;
    CString error;
    EXPECT_FALSE(session.Open(c.connection, &error)) << c.connection.ToUtf8();
    EXPECT_FALSE(session.IsOpen());
    EXPECT_GE(error.Find(c.reason), 0) << error.ToUtf8();
  }
}

TEST(CSessionOpenTest, ClosedSessionRefusesStatements) {
  CSession session;
  CString error;
  EXPECT_EQ(RunStatement(session, L"SELECT 1", &error), -1);
  EXPECT_EQ(error, L"The database session is not open");
  CNorvRecordSet records;
  error.Empty();
  EXPECT_FALSE(records.Open(session, L"SELECT 1", &error));
  EXPECT_EQ(error, L"The database session is not open");
  EXPECT_FALSE(records.IsOpened());

  ASSERT_TRUE(session.Open(L"sqlite::memory:"));
  session.Close();
  EXPECT_FALSE(session.IsOpen());
  EXPECT_EQ(RunStatement(session, L"SELECT 1"), -1);
}

TEST(CSessionOpenTest, MemoryDatabaseTakesTheSchema) {
  CSession session;
  CString error;
  ASSERT_TRUE(session.Open(L"sqlite::memory:", &error)) << error.ToUtf8();
  ASSERT_TRUE(norvtest::ApplySchema(session, "schema/sqlite.sql"));
  EXPECT_EQ(norvtest::QueryColumn(session, L"SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'"),
            std::vector<CString>{L"6"});
}

using norvtest::Backend;

// The reasons each database gives for the failures the suite provokes.
struct FailureReasons {
  const wchar_t* duplicateKey;
  const wchar_t* missingTable;
  const wchar_t* missingColumn;
  const wchar_t* syntax;
};

const FailureReasons& ReasonsOf(Backend backend) {
  static const FailureReasons sqlite = {L"UNIQUE constraint failed: NORV_REMIND_MSG_AM.CN_G_ID",
                                        L"no such table: NORV_REMIND_NOPE", L"no such column: CN_X",
                                        L"syntax error"};
  static const FailureReasons postgres = {
      L"duplicate key value violates unique constraint \"norv_remind_msg_am_pkey\"",
      L"relation \"norv_remind_nope\" does not exist",
      L"column \"cn_x\" of relation \"norv_remind_def\" does not exist",
      L"syntax error at or near \"SELEKT\""};
  return backend == Backend::kSqlite ? sqlite : postgres;
}

// A session on a fresh database with the library's tables, on each backend.
class DatabaseTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    if (GetParam() == Backend::kPostgres) NORV_REQUIRE_POSTGRES();
    ASSERT_TRUE(database.Open(session));
  }

  void Exec(const CString& statement) {
    CString error;
    ASSERT_NE(RunStatement(session, statement, &error), -1) << statement.ToUtf8() << ": " << error.ToUtf8();
  }

  // A remind row with only the columns the date tests look at.
  void InsertRemind(const wchar_t* id, int type, const wchar_t* remind, const wchar_t* invalid) {
    CString statement;
    statement.Format(L"INSERT INTO NORV_REMIND_DEF ( CN_G_ID, CN_N_STATE, CN_N_TYPE, CN_T_REMIND, "
                     L"CN_D_INVALID ) VALUES ( '%s', 0, %d, %s, %s )",
                     id, type, remind, invalid);
    Exec(statement);
  }

  void InsertMessage(const wchar_t* id, const wchar_t* remind) {
    CString statement;
    statement.Format(L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID, CN_G_REMIND_ID, CN_T_REMIND, "
                     L"CN_N_STATUS ) VALUES ( '%s', 'r', %s, 0 )",
                     id, remind);
    Exec(statement);
  }

  norvtest::ScratchDatabase database{GetParam()};
  CSession session;
};

INSTANTIATE_TEST_SUITE_P(Backends, DatabaseTest, testing::Values(Backend::kSqlite, Backend::kPostgres),
                         norvtest::BackendName);

TEST_P(DatabaseTest, DatesOfBothKindsReadBackAsTheSameValue) {
  InsertRemind(L"k1", 0, L"to_date( '2026-12-05 10:07:09', 'yyyy-mm-dd hh24:mi:ss' )",
               L"to_date( '2026-12-05', 'yyyy-mm-dd' )");
  InsertRemind(L"k0", 0, L"'2026-12-05 10:07:09'", L"'2026-12-05'");
  InsertRemind(L"k0full", 0, L"'2026-12-05 10:07:09'", L"'2026-12-05 00:00:00'");

  const COleDateTime remind(2026, 12, 5, 10, 7, 9);
  const COleDateTime invalid(2026, 12, 5, 0, 0, 0);
  auto rows = norvtest::QueryRows(session, L"SELECT\tCN_T_REMIND, CN_D_INVALID FROM\tNORV_REMIND_DEF", 2);
  ASSERT_EQ(rows.size(), 3u);
  for (const auto& row : rows) {
    COleDateTime readRemind, readInvalid;
    EXPECT_TRUE(readRemind.ParseDateTime(row[0])) << row[0].ToUtf8();
    EXPECT_TRUE(readInvalid.ParseDateTime(row[1], VAR_DATEVALUEONLY)) << row[1].ToUtf8();
    EXPECT_EQ(readRemind, remind) << row[0].ToUtf8();
    EXPECT_EQ(readInvalid, invalid) << row[1].ToUtf8();
  }

  // A periodic deadline is a date column written with its time of day.
  InsertRemind(L"periodic", 1, L"NULL", L"to_date( '2026-12-07 18:30:05', 'yyyy-mm-dd hh24:mi:ss' )");
  rows = norvtest::QueryRows(
      session, L"SELECT\tCN_T_REMIND, CN_D_INVALID FROM\tNORV_REMIND_DEF WHERE\tCN_G_ID = 'periodic'", 2);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], L"");
  COleDateTime deadline;
  EXPECT_TRUE(deadline.ParseDateTime(rows[0][1])) << rows[0][1].ToUtf8();
  EXPECT_EQ(deadline, COleDateTime(2026, 12, 7, 18, 30, 5)) << rows[0][1].ToUtf8();
}

// The expiry statement the manager runs at start, with each kind's literals.
TEST_P(DatabaseTest, TimeAndDateComparisonsAreChronologicalForBothKinds) {
  // One-off reminds (type 0) around now = 2026-12-05 10:00:00.
  InsertRemind(L"once-before-k1", 0, L"to_date( '2026-12-05 09:59:59', 'yyyy-mm-dd hh24:mi:ss' )", L"NULL");
  InsertRemind(L"once-after-k1", 0, L"to_date( '2026-12-05 10:00:01', 'yyyy-mm-dd hh24:mi:ss' )", L"NULL");
  InsertRemind(L"once-equal-k0", 0, L"'2026-12-05 10:00:00'", L"NULL");
  InsertRemind(L"once-after-k0", 0, L"'2026-12-06 00:00:00'", L"NULL");
  InsertRemind(L"once-before-k0", 0, L"'2026-12-04'", L"NULL");
  InsertRemind(L"once-hour9-k0", 0, L"'2026-12-05 9:30:00'", L"NULL");
  // Periodic reminds (type 1) around today = 2026-12-05: expired on the day.
  InsertRemind(L"per-today-k1", 1, L"NULL", L"to_date( '2026-12-05 00:00:00', 'yyyy-mm-dd hh24:mi:ss' )");
  InsertRemind(L"per-tomorrow-k1", 1, L"NULL", L"to_date( '2026-12-06', 'yyyy-mm-dd' )");
  InsertRemind(L"per-today-k0", 1, L"NULL", L"'2026-12-05 00:00:00'");
  InsertRemind(L"per-yesterday-k0", 1, L"NULL", L"'2026-12-04'");
  InsertRemind(L"per-tomorrow-k0", 1, L"NULL", L"'2026-12-06 00:00:00'");
  InsertRemind(L"per-none", 1, L"NULL", L"NULL");
  // Custom-style reminds (type 2): the deadline day itself still counts.
  InsertRemind(L"cus-yesterday-k1", 2, L"NULL", L"to_date( '2026-12-04', 'yyyy-mm-dd' )");
  InsertRemind(L"cus-today-k1", 2, L"NULL", L"to_date( '2026-12-05', 'yyyy-mm-dd' )");
  InsertRemind(L"cus-yesterday-k0", 2, L"NULL", L"'2026-12-04 00:00:00'");
  InsertRemind(L"cus-today-k0", 2, L"NULL", L"'2026-12-05 00:00:00'");

  const std::vector<CString> expired = {L"cus-yesterday-k0", L"cus-yesterday-k1", L"once-before-k0",
                                        L"once-before-k1",   L"once-equal-k0",    L"once-hour9-k0",
                                        L"per-today-k0",     L"per-today-k1",     L"per-yesterday-k0"};
  const struct {
    const wchar_t* now;
    const wchar_t* today;
  } kinds[] = {
      {L"to_date( '2026-12-05 10:00:00', 'yyyy-mm-dd hh24:mi:ss' )", L"to_date( '2026-12-05', 'yyyy-mm-dd' )"},
      {L"'2026-12-05 10:00:00'", L"'2026-12-05'"},
  };
  for (const auto& kind : kinds) {
    Exec(L"UPDATE NORV_REMIND_DEF SET CN_N_STATE = 0");
    CString statement;
    statement.Format(L"UPDATE\tNORV_REMIND_DEF SET CN_N_STATE = %d WHERE\t( (CN_T_REMIND <= %s AND "
                     L"CN_N_TYPE = %d) OR (CN_D_INVALID <= %s AND CN_N_TYPE = %d) OR (CN_D_INVALID < %s "
                     L"AND CN_N_TYPE = %d) ) AND\tCN_N_STATE = %d",
                     1, kind.now, 0, kind.today, 1, kind.today, 2, 0);
    CString error;
    EXPECT_EQ(RunStatement(session, statement, &error), static_cast<int>(expired.size())) << error.ToUtf8();
    EXPECT_EQ(norvtest::QueryColumn(session, L"SELECT\tCN_G_ID FROM\tNORV_REMIND_DEF WHERE\tCN_N_STATE = 1 "
                                             L"ORDER BY CN_G_ID"),
              expired)
        << kind.now;
  }
}

TEST_P(DatabaseTest, TimeColumnsSortChronologicallyAcrossKinds) {
  InsertMessage(L"m5", L"'2026-12-05 10:00:00'");
  InsertMessage(L"m3", L"'2026-12-05'");
  InsertMessage(L"m6", L"to_date( '2026-12-05 23:59:59', 'yyyy-mm-dd hh24:mi:ss' )");
  InsertMessage(L"m4", L"'2026-12-05 9:30:00'");
  InsertMessage(L"m2", L"to_date( '2025-01-31', 'yyyy-mm-dd' )");
  InsertMessage(L"m1", L"'2024-12-31 23:59:59'");
  EXPECT_EQ(norvtest::QueryColumn(session, L"SELECT\tCN_G_ID FROM\tNORV_REMIND_MSG_AM WHERE\tCN_N_STATUS "
                                           L"= 0 ORDER BY CN_T_REMIND"),
            (std::vector<CString>{L"m1", L"m2", L"m3", L"m4", L"m5", L"m6"}));
  // The same order holds where the index on the column answers the range.
  EXPECT_EQ(norvtest::QueryColumn(session, L"SELECT CN_G_ID FROM NORV_REMIND_MSG_AM WHERE CN_T_REMIND "
                                           L"<= '2026-12-05 09:30:00' ORDER BY CN_T_REMIND"),
            (std::vector<CString>{L"m1", L"m2", L"m3", L"m4"}));
  // The cut-off delete of old instant messages.
  EXPECT_EQ(RunStatement(session, L"DELETE NORV_REMIND_MSG_AM WHERE CN_T_REMIND <= to_date( "
                                  L"'2026-12-05 09:30:00', 'yyyy-mm-dd hh24:mi:ss' )"),
            4);
  EXPECT_EQ(norvtest::QueryColumn(session, L"SELECT CN_G_ID FROM NORV_REMIND_MSG_AM ORDER BY CN_T_REMIND"),
            (std::vector<CString>{L"m5", L"m6"}));
}

TEST_P(DatabaseTest, DeleteWithoutFromRunsWhileTheLogKeepsTheComposedText) {
  std::vector<CString> log;
  session.SetStatementLog([&log](const CString& statement) { log.push_back(statement); });
  for (const wchar_t* id : {L"a", L"b", L"c", L"d"}) InsertMessage(id, L"NULL");
  log.clear();

  const CString deleteOne = L"DELETE\tNORV_REMIND_MSG_AM WHERE\tCN_G_ID = 'a'";
  const CString deleteList = L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_ID IN ( 'b', 'c', 'x' )";
  EXPECT_EQ(RunStatement(session, deleteOne), 1);
  EXPECT_EQ(RunStatement(session, deleteList), 2);
  EXPECT_EQ(RunStatement(session, L"delete from NORV_REMIND_MSG_AM where CN_G_ID = 'none'"), 0);
  const CString query = L"SELECT\tCN_G_ID FROM\tNORV_REMIND_MSG_AM";
  EXPECT_EQ(norvtest::QueryColumn(session, query), std::vector<CString>{L"d"});
  EXPECT_EQ(log, (std::vector<CString>{deleteOne, deleteList,
                                       L"delete from NORV_REMIND_MSG_AM where CN_G_ID = 'none'", query}));
}

TEST_P(DatabaseTest, FailingStatementsReportTheDatabasesOwnReason) {
  InsertMessage(L"dup", L"NULL");
  const FailureReasons& reasons = ReasonsOf(GetParam());
  const struct {
    const wchar_t* statement;
    const wchar_t* reason;
  } cases[] = {
      {L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID ) VALUES ( 'dup' )", reasons.duplicateKey},
      {L"DELETE NORV_REMIND_NOPE WHERE CN_G_ID = 'x'", reasons.missingTable},
      {L"UPDATE NORV_REMIND_DEF SET CN_X = 1", reasons.missingColumn},
      {L"SELEKT 1", reasons.syntax},
  };
  for (const auto& c : cases) {
    CString error;
    EXPECT_EQ(RunStatement(session, c.statement, &error), -1) << CString(c.statement).ToUtf8();
    EXPECT_GE(error.Find(c.reason), 0) << error.ToUtf8();
    EXPECT_EQ(RunStatement(session, c.statement, nullptr), -1);
  }
  EXPECT_EQ(norvtest::QueryColumn(session, L"SELECT COUNT(*) FROM NORV_REMIND_MSG_AM"),
            std::vector<CString>{L"1"});
}

TEST_P(DatabaseTest, QuotedTextsAndBackslashesRoundTrip) {
  EXPECT_EQ(CNorvDBFun::FormatSQLValue(L"it's \\'"), L"it''s \\''");
  const CString content = L"O'Brien said ''hi'' \\n C:\\dir\\ \x63D0\x9192 %s %d \\";
  CString statement;
  statement.Format(L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID, CN_S_CONTENT ) VALUES ( 'q', '%s' )",
                   CNorvDBFun::FormatSQLValue(content));
  Exec(statement);
  EXPECT_EQ(norvtest::QueryColumn(session, L"SELECT CN_S_CONTENT FROM NORV_REMIND_MSG_AM"),
            std::vector<CString>{content});
}

TEST_P(DatabaseTest, ThreadsShareOneSession) {
  const int threads = 4, rows = 100;
  std::atomic<int> failures{0};
  std::vector<std::thread> writers;
  for (int t = 0; t < threads; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < rows; ++i) {
        CString statement, error;
        statement.Format(L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID ) VALUES ( 't%d-%d' )", t, i);
        if (RunStatement(session, statement, &error) != 1) ++failures;
        CNorvRecordSet records;
        if (!records.Open(session, L"SELECT COUNT(*) FROM NORV_REMIND_MSG_AM", &error) ||
            records.MoveNext() != 0) {
          ++failures;
        }
      }
    });
  }
  for (auto& writer : writers) writer.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(norvtest::QueryColumn(session, L"SELECT COUNT(*) FROM NORV_REMIND_MSG_AM"),
            std::vector<CString>{L"400"});
}

// What only SQLite does: text it cannot read as a date stays readable as
// text, and one writer waits for another's lock.
class SqliteFileTest : public DatabaseTest {};

INSTANTIATE_TEST_SUITE_P(Sqlite, SqliteFileTest, testing::Values(Backend::kSqlite), norvtest::BackendName);

TEST_P(SqliteFileTest, UnreadableTimesAreKeptAndSortAfterReadableOnes) {
  InsertRemind(L"bad", 0, L"to_date( 'soon', 'yyyy-mm-dd hh24:mi:ss' )", L"NULL");
  // An unreadable to_date text is stored as NULL, read back as "".
  EXPECT_EQ(norvtest::QueryRows(session, L"SELECT CN_T_REMIND, CN_D_INVALID FROM NORV_REMIND_DEF", 2),
            (std::vector<std::vector<CString>>{{L"", L""}}));

  InsertMessage(L"m3", L"'not a time'");
  InsertMessage(L"m2", L"'2026-12-05 10:00:00'");
  InsertMessage(L"m1", L"NULL");
  EXPECT_EQ(norvtest::QueryColumn(session, L"SELECT CN_G_ID FROM NORV_REMIND_MSG_AM ORDER BY CN_T_REMIND"),
            (std::vector<CString>{L"m1", L"m2", L"m3"}));
}

TEST_P(SqliteFileTest, SecondSessionWaitsForAnotherWritersLock) {
  CSession other;
  ASSERT_TRUE(other.Open(database.connection()));
  ASSERT_NE(RunStatement(session, L"BEGIN IMMEDIATE"), -1);
  Exec(L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID ) VALUES ( 'first' )");

  std::atomic<int> result{0};
  CString error;
  std::thread writer([&] {
    result = RunStatement(other, L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID ) VALUES ( 'second' )", &error);
  });
  // Give the writer time to run into the lock; it must wait, not fail.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Exec(L"COMMIT");
  writer.join();
  EXPECT_EQ(result, 1) << error.ToUtf8();
  EXPECT_EQ(norvtest::QueryColumn(session, L"SELECT CN_G_ID FROM NORV_REMIND_MSG_AM ORDER BY CN_G_ID"),
            (std::vector<CString>{L"first", L"second"}));
}

}  // namespace
