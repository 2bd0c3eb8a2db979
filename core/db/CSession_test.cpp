#include "core/db/CSession.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

#include "NorvScratchDatabase.h"
#include "NorvTestSupport.h"
#include "core/db/CNorvDBFun.h"
#include "core/db/CNorvRecordSet.h"

namespace {

using norvtest::Backend;
using norvtest::QueryColumn;
using Column = std::vector<CString>;

int RunStatement(CSession& session, const CString& statement, CString* error = nullptr) {
  return CNorvDBFun::RunSQL(session, statement, error, __FILE__, __LINE__);
}

void Exec(CSession& session, const CString& statement) {
  CString error;
  ASSERT_NE(RunStatement(session, statement, &error), -1)
      << statement.ToUtf8() << ": " << error.ToUtf8();
}

TEST(CSessionOpenTest, RefusesWhatItCannotServeWithAReason) {
  norvtest::TempDir dir;
  std::ofstream(dir.File("not-a-db")) << "plain text, long enough to have a header........";
  const std::pair<std::string, const wchar_t*> cases[] = {
      {"postgresql:dbname=remind colour=blue", L"invalid connection option \"colour\""},
      {"oracle://remind:a-secret@db/remind", L"Unknown database connection scheme 'oracle'"},
      // libpq ends the account at the first '@' and names the rest as host.
      {"postgresql://user:pa@ss-secret@127.0.0.1:1/remind", L"\"***@127.0.0.1\""},
      {"postgresql:dbname=remind password=top secret port=1", L"after \"***\""},
      {"postgresql://user@127.0.0.1:1/remind?password=query-secret", L"port 1 failed"},
      {"sqlite:" + dir.File("missing/remind.db"), L"unable to open database file"},
      {"sqlite:" + dir.File("not-a-db"), L"file is not a database"},
  };
  for (const auto& [connection, reason] : cases) {
    CSession session;
    CString error;
    EXPECT_FALSE(session.Open(CString::FromUtf8(connection), &error) || session.IsOpen())
        << connection;
    EXPECT_GE(error.Find(reason), 0) << error.ToUtf8();
    EXPECT_LT(error.Find(L"secret"), 0) << error.ToUtf8();
  }
  CSession session;
  ASSERT_TRUE(session.Open(L"sqlite::memory:"));
  session.Close();
  CString error;
  CNorvRecordSet records;
  EXPECT_FALSE(RunStatement(session, L"SELECT 1", &error) != -1 ||
               records.Open(session, L"SELECT 1") || records.IsOpened());
  EXPECT_EQ(error, L"The database session is not open");
}

// A session on a fresh database with the library's tables, on each backend.
class DatabaseTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    if (GetParam() == Backend::kPostgres) NORV_REQUIRE_POSTGRES();
    ASSERT_TRUE(database.Open(session));
  }

  void Exec(const CString& statement) { ::Exec(session, statement); }

  norvtest::ScratchDatabase database{GetParam()};
  CSession session;
};

INSTANTIATE_TEST_SUITE_P(Backends, DatabaseTest,
                         testing::Values(Backend::kSqlite, Backend::kPostgres),
                         norvtest::BackendName);

TEST_P(DatabaseTest, FailingStatementsSayWhyAndRecordSetsOutliveTheirSession) {
  const bool sqlite = GetParam() == Backend::kSqlite;
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID ) VALUES ( 'dup' )",
       sqlite ? L"UNIQUE constraint failed: NORV_REMIND_MSG_AM.CN_G_ID"
              : L"duplicate key value violates unique constraint \"norv_remind_msg_am_pkey\""},
      {L"DELETE NORV_REMIND_NOPE WHERE CN_G_ID = 'x'",
       sqlite ? L"no such table: NORV_REMIND_NOPE"
              : L"relation \"norv_remind_nope\" does not exist"},
  };
  Exec(cases[0].first);
  for (const auto& [statement, reason] : cases) {
    CString error;
    EXPECT_EQ(RunStatement(session, statement, &error), -1) << CString(statement).ToUtf8();
    EXPECT_GE(error.Find(reason), 0) << error.ToUtf8();
    EXPECT_EQ(RunStatement(session, statement, nullptr), -1);
  }
  CNorvRecordSet records;
  CString error;
  EXPECT_FALSE(records.Open(session, L"SELECT CN_G_ID FROM NORV_REMIND_NOPE", &error) ||
               records.IsOpened());
  EXPECT_GE(error.Find(cases[1].second), 0) << error.ToUtf8();
  EXPECT_EQ(QueryColumn(session, L"SELECT COUNT(*) FROM NORV_REMIND_MSG_AM"), Column{L"1"});

  // A record set gives each row, then the end, and outlives its session.
  // Quotes and backslashes survive FormatSQLValue on both backends.
  const CString name = L"O'Brien ''hi'' \\n C:\\dir\\ \x63D0\x9192 %s \\";
  EXPECT_EQ(CNorvDBFun::FormatSQLValue(L"it's \\'"), L"it''s \\''");
  Exec(
      L"INSERT INTO NORV_REMIND_STYLE ( CN_G_ID, CN_S_NAME, CN_N_ORDER, CN_C_DEFAULT ) VALUES ( "
      L"'s1', '" +
      CNorvDBFun::FormatSQLValue(name) + L"', 2, 'y' ), ( 's2', NULL, -7, NULL )");
  ASSERT_TRUE(records.Open(session,
                           L"SELECT\tCN_G_ID, CN_S_NAME, CN_N_ORDER, UPPER( CN_C_DEFAULT ) FROM\t"
                           L"NORV_REMIND_STYLE ORDER BY CN_N_ORDER",
                           &error))
      << error.ToUtf8();
  // A write between rows does not disturb the set, nor does closing the session.
  Exec(L"UPDATE NORV_REMIND_STYLE SET CN_S_CREATOR_ID = 'someone'");
  session.Close();
  CString seen, value = L"stale";
  records.GetValue(1, value);
  seen += value + L";";  // before the first row
  while (records.MoveNext() == 0) {
    for (int column = 0; column <= 5; ++column) {
      records.GetValue(column, value);
      seen += value + L"|";
    }
    seen += L";";
  }
  EXPECT_EQ(seen, L";|s2||-7|||;|s1|" + name + L"|2|Y||;");
  EXPECT_NE(records.MoveNext(), 0);
  records.Close();
  EXPECT_FALSE(records.IsOpened());
}

// Each thread with a session of its own, as the host's threads have; on
// SQLite a writer waits for another's lock rather than failing.
TEST_P(DatabaseTest, SessionsOnSeveralThreadsWriteTogether) {
  std::atomic<int> failures{0};
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&, t] {
      CSession own;
      if (!database.Open(own)) ++failures;
      for (int i = 0; i < 50; ++i) {
        CString statement;
        statement.Format(L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID ) VALUES ( 't%d-%d' )", t, i);
        if (RunStatement(own, statement) != 1) ++failures;
      }
    });
  }
  for (auto& writer : writers) writer.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(QueryColumn(session, L"SELECT COUNT(*) FROM NORV_REMIND_MSG_AM"), Column{L"200"});
}

// What only PostgreSQL reads: the settings of a libpq connection text.
TEST_P(DatabaseTest, HostSettingsInAConninfoDoNotBreakTheDialect) {
  if (GetParam() == Backend::kSqlite) GTEST_SKIP() << "a PostgreSQL connection text";
  Exec(L"CREATE SCHEMA hostside; CREATE TABLE hostside.HOST_ONLY ( CN_S_NAME text )");
  const auto server = norvtest::QueryRows(
      session,
      L"SELECT host(inet_server_addr()), inet_server_port(), current_user, current_database()", 4);
  ASSERT_EQ(server.size(), 1u);
  CString conninfo, error;
  conninfo.Format(
      L"postgresql:host=%s port=%s user=%s dbname=%s client_encoding=LATIN1 "
      L"options='-c search_path=hostside -c TimeZone=Europe/Berlin -c DateStyle=SQL,DMY'",
      server[0][0], server[0][1], server[0][2], server[0][3]);
  CSession host;
  ASSERT_TRUE(host.Open(conninfo, &error)) << error.ToUtf8();

  // The host's own schema stays first on the path; texts stay UTF-8.
  const CString name = L"\x63D0\x9192 caf\xE9";
  ::Exec(host, L"INSERT INTO HOST_ONLY VALUES ( '" + name + L"' )");
  EXPECT_EQ(QueryColumn(host, L"SELECT CN_S_NAME FROM HOST_ONLY"), Column{name});
  EXPECT_EQ(QueryColumn(host, L"SHOW search_path"), Column{L"hostside, norv, pg_catalog"});
  // ISO output and the time of day, even inside a daylight-saving gap.
  EXPECT_EQ(QueryColumn(host, L"SELECT to_date( '2026-12-05 10:07:09', 'yyyy-mm-dd hh24:mi:ss' )"),
            Column{L"2026-12-05 10:07:09"});
  EXPECT_EQ(QueryColumn(host, L"SELECT to_date( '2026-03-29 02:30:00', 'yyyy-mm-dd hh24:mi:ss' )"),
            Column{L"2026-03-29 02:30:00"});
}

}  // namespace
