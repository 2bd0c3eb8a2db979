// The daemon (run) end to end: a real SQLite file, the file outbox, real
// threads and signals. Each remind is delivered once, at its time, across
// restarts and stops.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <set>

#include "NorvTestDatabase.h"
#include "NorvTestSupport.h"
#include "core/CSession.h"
#include "host/HostTestRun.h"

namespace {

using hosttest::BackgroundHost;
using hosttest::CountOf;
using hosttest::FileLines;
using hosttest::HostEnvironment;
using hosttest::JsonField;
using hosttest::LocalTime;
using hosttest::OneOffDefinition;
using hosttest::RunResult;
using std::chrono::seconds;

std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

class HostDaemonTest : public testing::Test {
 protected:
  std::string Add(const std::string& definition) {
    const RunResult added = m_host.Run({"add"}, definition);
    EXPECT_EQ(added.exitCode, 0) << added.err;
    return Trimmed(added.out);
  }

  // Runs the daemon until every planned message is sent.
  RunResult RunUntilIdle() {
    BackgroundHost daemon(m_host, {"run", "--until-idle", "--poll", "1"});
    const int code = daemon.WaitForExit(seconds(90));
    EXPECT_EQ(code, 0) << daemon.Output();
    return RunResult{code, daemon.Output(), ""};
  }

  std::vector<std::vector<CString>> Rows(const std::string& query, int columns) {
    CSession session;
    EXPECT_TRUE(session.Open(CString::FromUtf8(m_host.DatabaseConnection())));
    return norvtest::QueryRows(session, CString::FromUtf8(query), columns);
  }

  // The first value of a query, as a number.
  size_t Number(const std::string& query) {
    const auto rows = Rows(query, 1);
    return rows.empty() ? 0 : static_cast<size_t>(rows[0][0].ToInt());
  }

  norvtest::TempDir m_dir;
  HostEnvironment m_host{m_dir.path()};
};

TEST_F(HostDaemonTest, OneOffRemindIsDeliveredAtItsTimeOncePerReceiver) {
  const std::string time = LocalTime(3);
  const std::string id = Add(OneOffDefinition(time, "Tea is ready", {"alice", "bob"}));

  const RunResult first = RunUntilIdle();
  EXPECT_NE(first.out.find("planned " + time), std::string::npos) << first.out;
  const std::vector<std::string> lines = FileLines(m_host.Outbox());
  ASSERT_EQ(lines.size(), 2u);
  std::set<std::string> receivers;
  for (const std::string& line : lines) {
    EXPECT_EQ(JsonField(line, "Body"), "Tea is ready") << line;
    EXPECT_EQ(JsonField(line, "RemindID"), "{" + id + "}") << line;
    // Never before its time (the line's own time is when it was written).
    EXPECT_GE(JsonField(line, "Time"), time) << line;
    receivers.insert(JsonField(line, "Receiver"));
  }
  EXPECT_EQ(receivers, (std::set<std::string>{"alice", "bob"}));
  EXPECT_EQ(Number("SELECT COUNT(*) FROM NORV_REMIND_MSG_AM WHERE CN_N_STATUS = 1 AND "
                  "CN_T_SEND IS NOT NULL"),
            2u);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM NORV_REMIND_MSG WHERE CN_N_STATUS = 0"), 2u);

  // A second run finds nothing left to send and sends nothing again.
  const RunResult second = RunUntilIdle();
  EXPECT_EQ(CountOf(second.out, "sent to"), 0u) << second.out;
  EXPECT_EQ(FileLines(m_host.Outbox()).size(), 2u);
}

TEST_F(HostDaemonTest, RestartBeforeTheRemindTimeNeitherLosesNorRepeatsIt) {
  // Far enough ahead for the first daemon to start and stop on a busy machine.
  const std::string time = LocalTime(15);
  Add(OneOffDefinition(time, "Stand up and stretch", {"carol"}));
  {
    BackgroundHost daemon(m_host, {"run"});
    ASSERT_TRUE(daemon.WaitForOutput("planned " + time, seconds(30))) << daemon.Output();
    daemon.Signal(SIGTERM);
    EXPECT_EQ(daemon.WaitForExit(seconds(30)), 0) << daemon.Output();
    EXPECT_NE(daemon.Output().find("stopping on SIGTERM"), std::string::npos);
  }
  EXPECT_EQ(Number("SELECT COUNT(*) FROM NORV_REMIND_MSG_AM"), 1u);

  const RunResult restarted = RunUntilIdle();
  EXPECT_NE(restarted.out.find("1 message waiting"), std::string::npos) << restarted.out;
  EXPECT_EQ(CountOf(restarted.out, "  planned "), 0u) << restarted.out;
  ASSERT_EQ(FileLines(m_host.Outbox()).size(), 1u);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM NORV_REMIND_MSG_AM WHERE CN_N_STATUS = 1"), 1u);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM NORV_REMIND_MSG"), 1u);

  RunUntilIdle();
  EXPECT_EQ(FileLines(m_host.Outbox()).size(), 1u);
}

TEST_F(HostDaemonTest, OneOffRemindWhoseTimeCameWhileNoDaemonRanIsStillDelivered) {
  Add(OneOffDefinition(LocalTime(-120), "Missed while down", {"dave"}));
  const RunResult run = RunUntilIdle();
  const std::vector<std::string> lines = FileLines(m_host.Outbox());
  ASSERT_EQ(lines.size(), 1u) << run.out;
  EXPECT_NE(lines[0].find("Missed while down"), std::string::npos);
  // Delivered, and then expired like every one-off remind whose time passed.
  EXPECT_EQ(Number("SELECT COUNT(*) FROM NORV_REMIND_DEF WHERE CN_N_STATE = 1"), 1u);
}

TEST_F(HostDaemonTest, PeriodicFiringIsCountedOnceAndTheRemindRunsOut) {
  // A daily remind two minutes ago: within the hour, so it is still sent.
  const std::string clock = LocalTime(-120, "%H:%M");
  if (LocalTime(-120, "%Y-%m-%d") != LocalTime(0, "%Y-%m-%d")) {
    GTEST_SKIP() << "two minutes ago was yesterday";
  }
  const std::string id = Add(
      "<Remind Type='1'><Content>Water the plants</Content><Repeat RemindTime='" + clock +
      "' RegularType='0' RegularValue='0' Interval='1' RegularRange='1' Num='1' DTStart='" +
      LocalTime(0, "%Y-%m-%d") + "' /><ReceiverList><Receiver ID='erin' /><Receiver ID='finn' />"
      "</ReceiverList></Remind>");

  const RunResult first = RunUntilIdle();
  EXPECT_EQ(FileLines(m_host.Outbox()).size(), 2u);
  const auto counted =
      Rows("SELECT CN_N_REPEAT_COUNT FROM NORV_REMIND_REPEAT WHERE CN_G_REMIND_ID = '" + id + "'", 1);
  ASSERT_EQ(counted.size(), 1u);
  EXPECT_EQ(counted[0][0], L"1");

  // At its limit the remind is made inactive (in this run or the next), and
  // the next start finds the firing planned already: nothing goes out twice.
  const RunResult second = RunUntilIdle();
  EXPECT_EQ(CountOf(first.out + second.out, "has run out; now inactive"), 1u)
      << first.out << second.out;
  EXPECT_EQ(FileLines(m_host.Outbox()).size(), 2u);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM NORV_REMIND_MSG"), 2u);
  EXPECT_EQ(Number("SELECT CN_N_REPEAT_COUNT FROM NORV_REMIND_REPEAT"), 1u);
  EXPECT_EQ(Number("SELECT CN_N_STATE FROM NORV_REMIND_DEF"), 1u);
}

TEST_F(HostDaemonTest, RunningDaemonPicksUpNewRemindsAndWithdrawsDeactivatedOnes) {
  BackgroundHost daemon(m_host, {"run", "--poll", "1"});
  ASSERT_TRUE(daemon.WaitForOutput("started on", seconds(30))) << daemon.Output();

  const std::string later = Add(OneOffDefinition(LocalTime(600), "Later", {"gina"}));
  Add(OneOffDefinition(LocalTime(2), "Right now", {"hank"}));
  ASSERT_TRUE(daemon.WaitForOutput("sent to hank", seconds(30))) << daemon.Output();
  ASSERT_TRUE(daemon.WaitForOutput("planned", seconds(30), 2)) << daemon.Output();

  ASSERT_EQ(m_host.Run({"state", later, "1"}).exitCode, 0);
  ASSERT_TRUE(daemon.WaitForOutput("withdrew", seconds(30))) << daemon.Output();
  daemon.Signal(SIGINT);
  EXPECT_EQ(daemon.WaitForExit(seconds(30)), 0) << daemon.Output();
  EXPECT_NE(daemon.Output().find("stopping on SIGINT"), std::string::npos);

  const std::vector<std::string> lines = FileLines(m_host.Outbox());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("Right now"), std::string::npos);
  // The withdrawn message stays on record as expired, never to be loaded.
  EXPECT_EQ(Number("SELECT COUNT(*) FROM NORV_REMIND_MSG_AM WHERE CN_N_STATUS = 3"), 1u);
}

TEST_F(HostDaemonTest, SigtermWhilePlanningLeavesEveryFiringWholeAndTheRestartDeliversAll) {
  const int reminds = 40;
  const std::string folder = m_dir.File("many");
  std::filesystem::create_directories(folder);
  const std::string time = LocalTime(4);
  for (int i = 0; i < reminds; ++i) {
    hosttest::WriteFile(folder + "/" + std::to_string(i) + ".xml",
                        OneOffDefinition(time, "Batch " + std::to_string(i), {"r1", "r2", "r3"}));
  }
  ASSERT_EQ(m_host.Run({"import", folder}).exitCode, 0);
  {
    BackgroundHost daemon(m_host, {"run"});
    ASSERT_TRUE(daemon.WaitForOutput("planned", seconds(30))) << daemon.Output();
    daemon.Signal(SIGTERM);
    EXPECT_EQ(daemon.WaitForExit(seconds(30)), 0) << daemon.Output();
    EXPECT_EQ(Trimmed(daemon.Output()).substr(Trimmed(daemon.Output()).size() - 7), "stopped");
  }
  // Every remind has all three inbox rows and messages, or none.
  const auto perRemind = Rows(
      "SELECT d.CN_G_ID, (SELECT COUNT(*) FROM NORV_REMIND_MSG m WHERE m.CN_G_REMIND_ID = "
      "d.CN_G_ID), (SELECT COUNT(*) FROM NORV_REMIND_MSG_AM a WHERE a.CN_G_REMIND_ID = d.CN_G_ID) "
      "FROM NORV_REMIND_DEF d",
      3);
  ASSERT_EQ(perRemind.size(), static_cast<size_t>(reminds));
  for (const auto& row : perRemind) {
    EXPECT_TRUE(row[1] == L"0" || row[1] == L"3") << row[0].ToUtf8() << " " << row[1].ToUtf8();
    EXPECT_EQ(row[1], row[2]) << row[0].ToUtf8();
  }

  RunUntilIdle();
  const std::vector<std::string> lines = FileLines(m_host.Outbox());
  EXPECT_EQ(lines.size(), static_cast<size_t>(reminds * 3));
  std::set<std::string> deliveries;
  for (const std::string& line : lines) {
    deliveries.insert(JsonField(line, "Receiver") + " " + JsonField(line, "Body"));
  }
  EXPECT_EQ(deliveries.size(), static_cast<size_t>(reminds * 3));
  EXPECT_EQ(Number("SELECT COUNT(*) FROM NORV_REMIND_MSG_AM WHERE CN_N_STATUS = 1"),
            static_cast<size_t>(reminds * 3));
}

TEST_F(HostDaemonTest, ExitAfterEndsTheDaemonCleanly) {
  BackgroundHost daemon(m_host, {"run", "--exit-after", "1"});
  EXPECT_EQ(daemon.WaitForExit(seconds(30)), 0) << daemon.Output();
  EXPECT_NE(daemon.Output().find("exit time reached"), std::string::npos) << daemon.Output();
}

}  // namespace
