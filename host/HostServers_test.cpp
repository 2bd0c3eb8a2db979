// The host against the servers of a deployment: PostgreSQL for the reminds
// and an XMPP server for delivery (tests/postgres, tests/prosody).
#include <gtest/gtest.h>

#include "NorvScratchDatabase.h"
#include "NorvTestXmpp.h"
#include "core/db/CNorvDBFun.h"
#include "core/db/CSession.h"
#include "host/HostTestRun.h"

namespace {

using hosttest::LocalTime;
using hosttest::OneOffDefinition;
using hosttest::Rows;
using hosttest::RunResult;

class HostServersTest : public hosttest::HostTest {
 protected:
  // The sending account of the test server, with `password`.
  static std::string XmppAddress(const norvtest::XmppTestServer& server,
                                 const std::string& password) {
    return "xmpp://" + server.sender + ":" + password + "@" + server.host + ":" +
           std::to_string(server.port) + "?ca=" + server.caFile;
  }
};

TEST_F(HostServersTest, PostgresDatabaseIsInitialisedFilledAndServed) {
  NORV_REQUIRE_POSTGRES();
  norvtest::ScratchDatabase scratch(norvtest::Backend::kPostgres);
  CSession session;
  ASSERT_TRUE(scratch.Open(session));
  // Start from an empty database, as an administrator would.
  const CString drop =
      L"DROP TABLE NORV_REMIND_DEF, NORV_REMIND_RECEIVE, NORV_REMIND_REPEAT, NORV_REMIND_MSG, "
      L"NORV_REMIND_MSG_AM, NORV_REMIND_STYLE; DROP SCHEMA norv CASCADE";
  ASSERT_NE(CNorvDBFun::RunSQL(session, drop, nullptr, __FILE__, __LINE__), -1);
  m_host.Set("NORVREMIND_DB", scratch.connection().ToUtf8());
  // Late enough that no imported example fires the same day, whenever the
  // suite runs.
  m_host.Set("NORVREMIND_NOW", "2026-12-07 20:00:00");

  const RunResult missing = m_host.Run({"list"});
  EXPECT_EQ(missing.exitCode, 3);
  EXPECT_NE(missing.err.find(" has no NorvRemindCore tables; create them with: norvremind init"),
            std::string::npos);
  EXPECT_EQ(m_host.Run({"init"}).out.rfind("created the tables in postgresql", 0), 0u);
  ASSERT_EQ(m_host.Run({"import", NORV_EXAMPLES_DIR}).exitCode, 0);
  const std::string id =
      m_host.Add(OneOffDefinition("2026-12-07 20:00:02", "Served by Postgres", {"ivy"}));
  EXPECT_NE(m_host.Run({"due", "--date", "2026-12-31", "--json"})
                .out.find("\"Time\": \"2026-12-31 17:00:00\""),
            std::string::npos);

  hosttest::RunUntilIdle(m_host);
  const Rows lines = hosttest::FileLines(m_host.Outbox());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(hosttest::JsonField(lines[0], "Body"), "Served by Postgres");
  EXPECT_EQ(m_host.Query("SELECT CN_N_STATUS FROM NORV_REMIND_MSG_AM"), Rows{"1"});
  ASSERT_EQ(m_host.Run({"delete", id}).exitCode, 0);
  EXPECT_EQ(m_host.Query("SELECT COUNT(*) FROM NORV_REMIND_MSG_AM"), Rows{"0"});
}

TEST_F(HostServersTest, DaemonDeliversThroughTheXmppServerOnceItsLoginIsAccepted) {
  NORV_REQUIRE_XMPP();
  const norvtest::XmppTestServer server = norvtest::XmppServer();
  const std::string added =
      m_host.Add(OneOffDefinition(LocalTime(2), "Over XMPP", {server.receiver}));
  const std::string id = "{" + added + "}";
  const RunResult refused =
      m_host.Run({"run", "--until-idle", "--im", XmppAddress(server, "not-the-password")});
  EXPECT_EQ(refused.exitCode, 3);
  EXPECT_NE(refused.err.find("refused the account"), std::string::npos) << refused.err;
  EXPECT_EQ(m_host.Query("SELECT COUNT(*) FROM NORV_REMIND_MSG_AM WHERE CN_N_STATUS <> 0"),
            Rows{"0"});

  norvtest::XmppReceiver receiver(server.host, server.port, server.receiver + "@" + server.host,
                                  server.receiverPassword, id);
  ASSERT_TRUE(receiver.WaitOnline(std::chrono::seconds(10)));
  hosttest::RunUntilIdle(m_host, {"--im", XmppAddress(server, server.senderPassword)});
  const auto messages = receiver.WaitForMessages(1, std::chrono::seconds(10));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].body, "Over XMPP");
  EXPECT_EQ(messages[0].extType, "MsgAddIn?RemindMsg");
  EXPECT_EQ(messages[0].attribs,
            (std::vector<std::pair<std::string, std::string>>{{"RemindID", id}}));
  EXPECT_EQ(m_host.Query("SELECT CN_N_STATUS FROM NORV_REMIND_MSG_AM"), Rows{"1"});
}

}  // namespace
