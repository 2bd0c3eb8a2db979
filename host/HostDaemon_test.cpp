// The daemon (run) end to end: a real SQLite file, the file outbox, real
// threads and signals. Each remind is delivered once, at its time, across
// restarts and stops.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <set>

#include "NorvScratchDatabase.h"
#include "core/db/internal/NorvSQLValue.h"
#include "host/HostTestRun.h"

namespace {

using hosttest::BackgroundHost;
using hosttest::CountOf;
using hosttest::FileLines;
using hosttest::JsonField;
using hosttest::LocalTime;
using hosttest::OneOffDefinition;
using hosttest::Rows;
using hosttest::RunUntilIdle;
using std::chrono::seconds;

class HostDaemonTest : public hosttest::HostTest {
 protected:
  // "receiver body" of every line of the outbox.
  std::multiset<std::string> Delivered() {
    std::multiset<std::string> delivered;
    for (const std::string& line : FileLines(m_host.Outbox())) {
      delivered.insert(JsonField(line, "Receiver") + " " + JsonField(line, "Body"));
    }
    return delivered;
  }
};

TEST_F(HostDaemonTest, OneOffRemindsAreDeliveredOncePerReceiverIfLateThenExpired) {
  const std::string time = LocalTime(3);
  m_host.Add(OneOffDefinition(time, "Tea is ready", {"alice", "bob"}));
  // Its time came while no daemon ran; within the hour it still goes.
  m_host.Add(OneOffDefinition(LocalTime(-120), "Missed", {"dave"}));
  const std::string first = RunUntilIdle(m_host);
  EXPECT_NE(first.find("planned " + time), std::string::npos);
  // What is planned at start is logged after the line that says so.
  EXPECT_LT(first.find("started on"), first.find("planned")) << first;
  for (const std::string& line : FileLines(m_host.Outbox())) {
    EXPECT_TRUE(JsonField(line, "Body") != "Tea is ready" || JsonField(line, "Time") >= time);
  }
  EXPECT_EQ(Delivered(),
            (std::multiset<std::string>{"alice Tea is ready", "bob Tea is ready", "dave Missed"}));
  EXPECT_EQ(m_host.Query("SELECT CN_N_STATUS, CN_T_SEND IS NOT NULL FROM NORV_REMIND_MSG_AM", 2),
            (Rows{"1|1", "1|1", "1|1"}));
  EXPECT_EQ(m_host.Query("SELECT CN_S_RECEIVER FROM NORV_REMIND_MSG ORDER BY 1"),
            (Rows{"alice", "bob", "dave"}));

  // Under systemd the journal stamps the lines, so they carry no time of their own.
  m_host.Set("JOURNAL_STREAM", "8:12345");
  const std::string again = RunUntilIdle(m_host);
  EXPECT_EQ(again.rfind("started on ", 0), 0u) << again;
  EXPECT_EQ(CountOf(again, "sent to"), 0u);
  EXPECT_EQ(Delivered().size(), 3u);
  EXPECT_EQ(m_host.Query("SELECT CN_N_STATE FROM NORV_REMIND_DEF"), (Rows{"1", "1"}));
}

TEST_F(HostDaemonTest, PeriodicFiringIsCountedOnceAndTheRemindRunsOut) {
  if (LocalTime(-120, "%d") != LocalTime(0, "%d")) GTEST_SKIP() << "just after midnight";
  // Daily, two minutes ago (within the hour, so still sent), at most once.
  m_host.Add("<Remind Type='1'><Content>Water the plants</Content><Repeat RemindTime='" +
             LocalTime(-120, "%H:%M") +
             "' RegularType='0' RegularValue='0' Interval='1' "
             "RegularRange='1' Num='1' DTStart='" +
             LocalTime(0, "%Y-%m-%d") +
             "' />"
             "<ReceiverList><Receiver ID='erin' /><Receiver ID='finn' /></ReceiverList></Remind>");
  const std::string runs = RunUntilIdle(m_host) + RunUntilIdle(m_host);
  EXPECT_EQ(Delivered(),
            (std::multiset<std::string>{"erin Water the plants", "finn Water the plants"}));
  // At its limit the remind is made inactive (in the first run or the next).
  EXPECT_EQ(CountOf(runs, "has run out; now inactive"), 1u) << runs;
  EXPECT_EQ(m_host.Query("SELECT CN_N_REPEAT_COUNT FROM NORV_REMIND_REPEAT"), Rows{"1"});
  EXPECT_EQ(m_host.Query("SELECT CN_N_STATE FROM NORV_REMIND_DEF"), Rows{"1"});
}

TEST_F(HostDaemonTest, RunningDaemonRefusesASecondPicksUpNewRemindsAndWithdrawsOldOnes) {
  BackgroundHost daemon(m_host, {"run", "--poll", "1"});
  ASSERT_TRUE(daemon.WaitForOutput("started on", seconds(30))) << daemon.Output();
  EXPECT_EQ(m_host.Run({"run"}).err,
            "norvremind: another norvremind run is using " + m_host.DatabaseConnection() + "\n");
  const std::string later = m_host.Add(OneOffDefinition(LocalTime(600), "Later", {"gina"}));
  m_host.Add(OneOffDefinition(LocalTime(2), "Right now", {"hank"}));
  ASSERT_TRUE(daemon.WaitForOutput("sent to hank", seconds(30))) << daemon.Output();
  ASSERT_TRUE(daemon.WaitForOutput("for gina", seconds(30))) << daemon.Output();
  ASSERT_EQ(m_host.Run({"state", later, "1"}).exitCode, 0);
  ASSERT_TRUE(daemon.WaitForOutput("withdrew", seconds(30))) << daemon.Output();
  daemon.Signal(SIGINT);
  EXPECT_EQ(daemon.WaitForExit(seconds(30)), 0);
  EXPECT_NE(daemon.Output().find("stopping on SIGINT"), std::string::npos) << daemon.Output();
  EXPECT_EQ(Delivered(), std::multiset<std::string>{"hank Right now"});
  for (const auto& entry : std::filesystem::directory_iterator(m_host.DataFolder())) {
    EXPECT_EQ(entry.path().filename().string().find("run-"), std::string::npos) << entry.path();
  }
  // The withdrawn message stays on record as expired, never to be loaded.
  EXPECT_EQ(m_host.Query("SELECT CN_S_RECEIVER, CN_N_STATUS FROM NORV_REMIND_MSG_AM ORDER BY 1", 2),
            (Rows{"gina|3", "hank|1"}));
}

TEST_F(HostDaemonTest, NextDayIsPlannedAheadOfMidnight) {
  m_host.Add("<Remind Type='1'><Content>Stand-up</Content><Repeat RemindTime='" +
             LocalTime(3600, "%H:%M") +
             "' RegularType='0' RegularValue='0' Interval='1' "
             "RegularRange='1' Num='5' DTStart='" +
             LocalTime(0, "%Y-%m-%d") +
             "' />"
             "<ReceiverList><Receiver ID='ivan' /></ReceiverList></Remind>");
  // A window of a day reaches tomorrow whatever the time now.
  BackgroundHost daemon(m_host, {"run", "--poll", "1", "--look-ahead", "86400"});
  EXPECT_TRUE(daemon.WaitForOutput("planned " + LocalTime(86400, "%Y-%m-%d"), seconds(30)))
      << daemon.Output();
  daemon.Signal(SIGTERM);
  EXPECT_EQ(daemon.WaitForExit(seconds(30)), 0);
}

TEST_F(HostDaemonTest, SigtermWhilePlanningLeavesEveryFiringWholeAndTheRestartDeliversAll) {
  const int reminds = 40;
  const std::string folder = m_dir.File("many");
  std::filesystem::create_directories(folder);
  const std::string time = LocalTime(4);
  std::multiset<std::string> expected;
  for (int i = 0; i < reminds; ++i) {
    const std::string content = "Batch " + std::to_string(i);
    hosttest::WriteFile(folder + "/" + std::to_string(i) + ".xml",
                        OneOffDefinition(time, content, {"r1", "r2", "r3"}));
    for (const char* receiver : {"r1 ", "r2 ", "r3 "}) expected.insert(receiver + content);
  }
  ASSERT_EQ(m_host.Run({"import", folder}).exitCode, 0);
  {
    BackgroundHost daemon(m_host, {"run"});
    ASSERT_TRUE(daemon.WaitForOutput("planned", seconds(30))) << daemon.Output();
    daemon.Signal(SIGTERM);
    EXPECT_EQ(daemon.WaitForExit(seconds(30)), 0);
    const std::string output = daemon.Output();
    EXPECT_EQ(output.rfind("  stopped\n"), output.size() - 10) << output;
    EXPECT_NE(output.find("stopping on SIGTERM"), std::string::npos) << output;
  }
  // Every remind has all three inbox rows and messages, or none.
  for (const std::string& row : m_host.Query(
           "SELECT (SELECT COUNT(*) FROM NORV_REMIND_MSG m WHERE m.CN_G_REMIND_ID = d.CN_G_ID), "
           "(SELECT COUNT(*) FROM NORV_REMIND_MSG_AM a WHERE a.CN_G_REMIND_ID = d.CN_G_ID) "
           "FROM NORV_REMIND_DEF d",
           2)) {
    EXPECT_TRUE(row == "0|0" || row == "3|3") << row;
  }
  RunUntilIdle(m_host);
  EXPECT_EQ(Delivered(), expected);
  EXPECT_EQ(m_host.Query("SELECT COUNT(*) FROM NORV_REMIND_MSG_AM WHERE CN_N_STATUS = 1"),
            Rows{std::to_string(reminds * 3)});
}

// A database from before the host's own tables gets them, once; its rows stay.
TEST_F(HostDaemonTest, DatabaseFromBeforeTheHostTablesGetsThemOnce) {
  norvtest::ScratchDatabase scratch(norvtest::Backend::kPostgres);
  std::vector<std::string> databases{m_host.DatabaseConnection()};
  if (CSession session; !norvtest::PostgresConnection().empty() && scratch.Open(session))
    databases.push_back(scratch.connection().ToUtf8());
  for (const std::string& database : databases) {
    hosttest::HostEnvironment host(m_host.home());
    host.Set("NORVREMIND_DB", database);
    host.Add(OneOffDefinition(LocalTime(600), "Kept", {"kim"}));
    CSession session;
    ASSERT_TRUE(session.Open(CString::FromUtf8(database)));
    for (const wchar_t* table : {L"DELIVERY", L"MEMBER", L"CLAIM", L"FIRING"})
      ASSERT_TRUE(norvsql::Run(session, CString(L"DROP TABLE NORV_HOST_") + table, nullptr));
    const hosttest::RunResult first = host.Run({"list"});
    EXPECT_NE(first.out.find("Kept"), std::string::npos) << first.err;
    EXPECT_EQ(CountOf(first.err + host.Run({"list"}).err, "added the host's own tables to "), 1u);
  }
}

}  // namespace
