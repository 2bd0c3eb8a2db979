#include <gtest/gtest.h>

#include <vector>

#include "NorvScratchDatabase.h"
#include "NorvTestDatabase.h"
#include "NorvTestSupport.h"
#include "core/CNorvDBFun.h"
#include "core/CSession.h"

namespace {

int RunStatement(CSession& session, const CString& statement, CString* error = nullptr) {
  return CNorvDBFun::RunSQL(session, statement, error, __FILE__, __LINE__);
}

const CString kToDateQuery = L"SELECT to_date( '2026-12-05 10:07:09', 'yyyy-mm-dd hh24:mi:ss' )";

// What only PostgreSQL does: the connection texts libpq reads, the server's
// strictness about dates, and a connection the server may drop.
class PostgresSessionTest : public testing::Test {
 protected:
  void SetUp() override {
    NORV_REQUIRE_POSTGRES();
    ASSERT_TRUE(database.Open(session));
  }

  void Exec(CSession& on, const CString& statement) {
    CString error;
    ASSERT_NE(RunStatement(on, statement, &error), -1) << statement.ToUtf8() << ": " << error.ToUtf8();
  }

  norvtest::ScratchDatabase database{norvtest::Backend::kPostgres};
  CSession session;
};

TEST_F(PostgresSessionTest, HostSettingsInAConninfoDoNotBreakTheDialect) {
  EXPECT_EQ(norvtest::QueryColumn(session, L"SELECT schemaname FROM pg_tables WHERE tablename = "
                                           L"'norv_remind_def'"),
            std::vector<CString>{L"public"});
  Exec(session, L"CREATE SCHEMA hostside; CREATE TABLE hostside.HOST_ONLY ( CN_S_NAME text )");
  const auto server = norvtest::QueryRows(
      session,
      L"SELECT host(inet_server_addr()), inet_server_port(), current_user, current_database()", 4);
  ASSERT_EQ(server.size(), 1u);
  CString conninfo;
  conninfo.Format(L"postgresql:host=%s port=%s user=%s dbname=%s client_encoding=LATIN1 "
                  L"options='-c search_path=hostside -c TimeZone=Europe/Berlin -c DateStyle=SQL,DMY'",
                  server[0][0], server[0][1], server[0][2], server[0][3]);
  CSession host;
  CString error;
  ASSERT_TRUE(host.Open(conninfo, &error)) << error.ToUtf8();

  // The host's own schema stays on the path, ahead of the dialect's.
  const CString name = L"\x63D0\x9192 caf\xE9";
  Exec(host, L"INSERT INTO HOST_ONLY VALUES ( '" + name + L"' )");
  EXPECT_EQ(norvtest::QueryColumn(host, L"SELECT CN_S_NAME FROM HOST_ONLY"), std::vector<CString>{name});
  EXPECT_EQ(norvtest::QueryColumn(host, L"SHOW search_path"),
            std::vector<CString>{L"hostside, norv, pg_catalog"});
  // ISO output and the time of day, even inside a daylight-saving gap.
  EXPECT_EQ(norvtest::QueryColumn(host, kToDateQuery), std::vector<CString>{L"2026-12-05 10:07:09"});
  EXPECT_EQ(norvtest::QueryColumn(
                host, L"SELECT to_date( '2026-03-29 02:30:00', 'yyyy-mm-dd hh24:mi:ss' )"),
            std::vector<CString>{L"2026-03-29 02:30:00"});
}

TEST_F(PostgresSessionTest, UnreadableDatesAreRefusedWithTheServersReason) {
  const struct {
    const wchar_t* value;
    const wchar_t* reason;
  } cases[] = {
      {L"to_date( 'soon', 'yyyy-mm-dd hh24:mi:ss' )", L"invalid value \"soon\" for \"yyyy\""},
      {L"to_date( '2026-02-30', 'yyyy-mm-dd' )", L"date/time field value out of range"},
      {L"'not a time'", L"invalid input syntax for type timestamp: \"not a time\""},
      {L"''", L"invalid input syntax for type timestamp: \"\""},
  };
  for (const auto& c : cases) {
    CString statement, error;
    statement.Format(L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID, CN_T_REMIND ) VALUES ( 'm', %s )", c.value);
    EXPECT_EQ(RunStatement(session, statement, &error), -1) << statement.ToUtf8();
    EXPECT_GE(error.Find(c.reason), 0) << error.ToUtf8();
  }
  EXPECT_EQ(norvtest::QueryColumn(session, L"SELECT COUNT(*) FROM NORV_REMIND_MSG_AM"),
            std::vector<CString>{L"0"});
}

TEST_F(PostgresSessionTest, ReconnectsAfterTheServerDropsTheConnection) {
  const std::vector<CString> pid = norvtest::QueryColumn(session, L"SELECT pg_backend_pid()");
  ASSERT_EQ(pid.size(), 1u);
  CSession admin;
  ASSERT_TRUE(database.Open(admin));
  EXPECT_EQ(norvtest::QueryColumn(admin, L"SELECT pg_terminate_backend(" + pid[0] + L", 10000)"),
            std::vector<CString>{L"t"});

  const CString insert = L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID ) VALUES ( 'after' )";
  CString error;
  EXPECT_EQ(RunStatement(session, insert, &error), -1);
  EXPECT_FALSE(error.IsEmpty());
  // Not retried: the statement that met the drop is lost, the next one runs
  // on a new connection with the dialect's settings.
  EXPECT_EQ(RunStatement(session, insert, &error), 1) << error.ToUtf8();
  EXPECT_NE(norvtest::QueryColumn(session, L"SELECT pg_backend_pid()"), pid);
  EXPECT_EQ(norvtest::QueryColumn(session, kToDateQuery), std::vector<CString>{L"2026-12-05 10:07:09"});
}

TEST_F(PostgresSessionTest, CopyThroughTheSessionIsRefusedAndTheSessionStaysUsable) {
  Exec(session, L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID ) VALUES ( 'a' ), ( 'b' )");
  for (const wchar_t* copy : {L"COPY NORV_REMIND_MSG_AM TO STDOUT", L"COPY NORV_REMIND_MSG_AM FROM STDIN"}) {
    CString error;
    EXPECT_EQ(RunStatement(session, copy, &error), -1) << CString(copy).ToUtf8();
    EXPECT_EQ(error, L"COPY from or to the client is not supported");
    EXPECT_EQ(norvtest::QueryColumn(session, L"SELECT COUNT(*) FROM NORV_REMIND_MSG_AM"),
              std::vector<CString>{L"2"});
  }
}

}  // namespace
