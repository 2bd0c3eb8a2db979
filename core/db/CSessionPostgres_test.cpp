#include <gtest/gtest.h>

#include <vector>

#include "NorvScratchDatabase.h"
#include "NorvTestDatabase.h"
#include "NorvTestSupport.h"
#include "core/db/CNorvDBFun.h"
#include "core/db/CSession.h"

namespace {

using norvtest::QueryColumn;
using Column = std::vector<CString>;

int RunStatement(CSession& session, const CString& statement, CString* error = nullptr) {
  return CNorvDBFun::RunSQL(session, statement, error, __FILE__, __LINE__);
}

const CString kToDateQuery = L"SELECT to_date( '2026-12-05 10:07:09', 'yyyy-mm-dd hh24:mi:ss' )";

// What only PostgreSQL does: the connection texts libpq reads and a
// connection the server may drop.
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
  Exec(session, L"CREATE SCHEMA hostside; CREATE TABLE hostside.HOST_ONLY ( CN_S_NAME text )");
  const auto server = norvtest::QueryRows(
      session, L"SELECT host(inet_server_addr()), inet_server_port(), current_user, current_database()", 4);
  ASSERT_EQ(server.size(), 1u);
  CString conninfo, error;
  conninfo.Format(L"postgresql:host=%s port=%s user=%s dbname=%s client_encoding=LATIN1 "
                  L"options='-c search_path=hostside -c TimeZone=Europe/Berlin -c DateStyle=SQL,DMY'",
                  server[0][0], server[0][1], server[0][2], server[0][3]);
  CSession host;
  ASSERT_TRUE(host.Open(conninfo, &error)) << error.ToUtf8();

  // The host's own schema stays first on the path; texts stay UTF-8.
  const CString name = L"\x63D0\x9192 caf\xE9";
  Exec(host, L"INSERT INTO HOST_ONLY VALUES ( '" + name + L"' )");
  EXPECT_EQ(QueryColumn(host, L"SELECT CN_S_NAME FROM HOST_ONLY"), Column{name});
  EXPECT_EQ(QueryColumn(host, L"SHOW search_path"), Column{L"hostside, norv, pg_catalog"});
  // ISO output and the time of day, even inside a daylight-saving gap.
  EXPECT_EQ(QueryColumn(host, kToDateQuery), Column{L"2026-12-05 10:07:09"});
  EXPECT_EQ(QueryColumn(host, L"SELECT to_date( '2026-03-29 02:30:00', 'yyyy-mm-dd hh24:mi:ss' )"),
            Column{L"2026-03-29 02:30:00"});
}

TEST_F(PostgresSessionTest, ReconnectsAfterTheServerDropsTheConnectionWithoutRetrying) {
  const Column pid = QueryColumn(session, L"SELECT pg_backend_pid()");
  ASSERT_EQ(pid.size(), 1u);
  CSession admin;
  ASSERT_TRUE(database.Open(admin));
  EXPECT_EQ(QueryColumn(admin, L"SELECT pg_terminate_backend(" + pid[0] + L", 10000)"), Column{L"t"});

  const CString insert = L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID ) VALUES ( 'after' )";
  CString error;
  EXPECT_EQ(RunStatement(session, insert, &error), -1);
  EXPECT_FALSE(error.IsEmpty());
  EXPECT_EQ(RunStatement(session, insert, &error), 1) << error.ToUtf8();
  EXPECT_EQ(QueryColumn(session, L"SELECT COUNT(*) FROM NORV_REMIND_MSG_AM"), Column{L"1"});
  EXPECT_EQ(QueryColumn(session, kToDateQuery), Column{L"2026-12-05 10:07:09"});
}

}  // namespace
