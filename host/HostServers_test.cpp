// The host against the servers of a deployment: PostgreSQL for the reminds
// and an XMPP server for delivery (tests/postgres, tests/prosody).
#include <gtest/gtest.h>

#include "NorvScratchDatabase.h"
#include "NorvTestDatabase.h"
#include "NorvTestSupport.h"
#include "NorvTestXmpp.h"
#include "core/CNorvDBFun.h"
#include "core/CSession.h"
#include "host/HostTestRun.h"

namespace {

using hosttest::BackgroundHost;
using hosttest::HostEnvironment;
using hosttest::LocalTime;
using hosttest::OneOffDefinition;
using hosttest::RunResult;
using std::chrono::seconds;

std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

class HostServersTest : public testing::Test {
 protected:
  int RunUntilIdle(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"run", "--until-idle", "--poll", "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    BackgroundHost daemon(m_host, args);
    const int code = daemon.WaitForExit(seconds(90));
    EXPECT_EQ(code, 0) << daemon.Output();
    return code;
  }

  norvtest::TempDir m_dir;
  HostEnvironment m_host{m_dir.path()};
};

TEST_F(HostServersTest, PostgresDatabaseIsInitialisedFilledAndServed) {
  NORV_REQUIRE_POSTGRES();
  norvtest::ScratchDatabase scratch(norvtest::Backend::kPostgres);
  CSession session;
  ASSERT_TRUE(scratch.Open(session));
  // Start from an empty database, as an administrator would.
  CString reason;
  ASSERT_NE(CNorvDBFun::RunSQL(session,
                               L"DROP TABLE NORV_REMIND_DEF, NORV_REMIND_RECEIVE, NORV_REMIND_REPEAT, "
                               L"NORV_REMIND_MSG, NORV_REMIND_MSG_AM, NORV_REMIND_STYLE; "
                               L"DROP SCHEMA norv CASCADE",
                               &reason, __FILE__, __LINE__),
            -1)
      << reason.ToUtf8();
  m_host.Set("NORVREMIND_DB", scratch.connection().ToUtf8());

  const RunResult missing = m_host.Run({"list"});
  EXPECT_EQ(missing.exitCode, 3);
  EXPECT_NE(missing.err.find("create them with: norvremind init"), std::string::npos)
      << missing.err;
  const RunResult init = m_host.Run({"init"});
  ASSERT_EQ(init.exitCode, 0) << init.err;
  EXPECT_EQ(init.out.rfind("created the tables in postgresql", 0), 0u) << init.out;

  ASSERT_EQ(m_host.Run({"import", NORV_EXAMPLES_DIR}).exitCode, 0);
  const std::string time = LocalTime(3);
  const RunResult added = m_host.Run({"add"}, OneOffDefinition(time, "Served by PostgreSQL", {"ivy"}));
  ASSERT_EQ(added.exitCode, 0) << added.err;
  const RunResult due = m_host.Run({"due", "--date", "2026-12-31", "--json"});
  EXPECT_NE(due.out.find("\"Time\": \"2026-12-31 17:00:00\""), std::string::npos) << due.out;

  RunUntilIdle();
  const std::vector<std::string> lines = hosttest::FileLines(m_host.Outbox());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(hosttest::JsonField(lines[0], "Body"), "Served by PostgreSQL");
  EXPECT_EQ(norvtest::QueryColumn(session, L"SELECT CN_N_STATUS FROM NORV_REMIND_MSG_AM"),
            std::vector<CString>{L"1"});

  ASSERT_EQ(m_host.Run({"delete", Trimmed(added.out)}).exitCode, 0);
  EXPECT_EQ(norvtest::QueryColumn(session, L"SELECT COUNT(*) FROM NORV_REMIND_MSG_AM"),
            std::vector<CString>{L"0"});
}

TEST_F(HostServersTest, DaemonDeliversThroughTheXmppServer) {
  NORV_REQUIRE_XMPP();
  const norvtest::XmppTestServer server = norvtest::XmppServer();
  const RunResult added = m_host.Run(
      {"add"}, OneOffDefinition(LocalTime(2), "Over XMPP", {server.receiver}));
  ASSERT_EQ(added.exitCode, 0) << added.err;
  const std::string remindID = "{" + Trimmed(added.out) + "}";
  norvtest::XmppReceiver receiver(server.host, server.port, server.receiver + "@" + server.host,
                                  server.receiverPassword, remindID);
  ASSERT_TRUE(receiver.WaitOnline(seconds(10)));
  RunUntilIdle({"--im", "xmpp://" + server.sender + ":" + server.senderPassword + "@" +
                            server.host + ":" + std::to_string(server.port)});

  const auto messages = receiver.WaitForMessages(1, seconds(10));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].body, "Over XMPP");
  EXPECT_EQ(messages[0].extType, "MsgAddIn?RemindMsg");
  ASSERT_EQ(messages[0].attribs.size(), 1u);
  EXPECT_EQ(messages[0].attribs[0],
            std::make_pair(std::string("RemindID"), remindID));

  CSession session;
  ASSERT_TRUE(session.Open(CString::FromUtf8(m_host.DatabaseConnection())));
  EXPECT_EQ(norvtest::QueryColumn(session, L"SELECT CN_N_STATUS FROM NORV_REMIND_MSG_AM"),
            std::vector<CString>{L"1"});
}

TEST_F(HostServersTest, RefusedSendsAreRecordedAsFailedAndLogged) {
  NORV_REQUIRE_XMPP();
  const norvtest::XmppTestServer server = norvtest::XmppServer();
  ASSERT_EQ(m_host.Run({"add"}, OneOffDefinition(LocalTime(2), "Wrong password", {"x"})).exitCode,
            0);
  RunUntilIdle({"--im", "xmpp://" + server.sender + ":not-the-password@" + server.host + ":" +
                            std::to_string(server.port)});
  CSession session;
  ASSERT_TRUE(session.Open(CString::FromUtf8(m_host.DatabaseConnection())));
  const auto rows = norvtest::QueryRows(
      session, L"SELECT CN_N_STATUS, CN_S_ERRINFO FROM NORV_REMIND_MSG_AM", 2);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], L"2");
  EXPECT_FALSE(rows[0][1].IsEmpty());
  // The manager's own send-error log goes to the data folder.
  EXPECT_FALSE(hosttest::FileLines(m_host.DataFolder() + "/Remind_SendAMMsgErr_" +
                                   LocalTime(0, "%Y%m%d") + ".log")
                   .empty());
}

}  // namespace
