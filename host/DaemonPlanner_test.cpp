// The planner against a real SQLite file: batches of firings, each firing
// whole, nothing planned twice, a bad firing costing only itself.
#include "host/daemon/DaemonPlanner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/HostTestRun.h"
#include "host/cli/HostCommands.h"

namespace {

using hosttest::Rows;

constexpr int kReminds = 7;
// Each remind's inbox and instant rows as "inbox/instant".
constexpr const char* kPerRemind =
    "SELECT (SELECT COUNT(*) FROM NORV_REMIND_MSG m WHERE m.CN_G_REMIND_ID = d.CN_G_ID) || '/' || "
    "(SELECT COUNT(*) FROM NORV_REMIND_MSG_AM a WHERE a.CN_G_REMIND_ID = d.CN_G_ID) "
    "FROM NORV_REMIND_DEF d ORDER BY d.CN_S_CONTENT";

class DaemonPlannerTest : public hosttest::HostTest {
 protected:
  // Plans the day of the reminds with a fresh planner, as a restarted
  // daemon would; the number of messages handed to the manager.
  size_t Plan(size_t batch, int stopAfterChecks) {
    norvhost::DatabaseSettings settings;
    settings.connection = m_host.DatabaseConnection();
    settings.sqlitePath = m_host.DataFolder() + "/norvremind.db";
    settings.isDefault = false;
    norvhost::HostDatabase database(settings);
    CString reason;
    EXPECT_EQ(database.Open(reason), norvhost::OpenResult::kOpened) << reason.ToUtf8();
    CNorvRemindMgr manager;
    std::vector<CNorvBasePtr<CNorvRemind>> reminds;
    EXPECT_EQ(norvhost::LoadReminds(database, true, reminds), 0);
    for (auto& remind : reminds) manager.AddRemind(remind);
    norvhost::SendLedger ledger;
    norvhost::DaemonPlanner planner(database, manager, ledger, batch);
    int checks = 0;
    planner.PlanDay(m_day, [&] { return ++checks > stopAfterChecks; });
    EXPECT_EQ(manager.RemindAMMsgList.size(), ledger.Pending());
    return ledger.Pending();
  }

  COleDateTime m_day;
};

TEST_F(DaemonPlannerTest, BatchesStoreWholeFiringsOnceAndABadFiringCostsOnlyItself) {
  const struct {
    size_t batch;
    int stopAfterChecks;  // a remind or a firing is one check
    bool refuseCarol;
    size_t firstRun;  // messages the first run hands over
    const char* carolRows;
  } cases[] = {
      {3, 1000, false, 14, "2/2"},
      {kReminds, 1000, false, 14, "2/2"},
      // Stopped after four firings were taken: the batch of three and the
      // fourth are stored, the restart plans the other three.
      {3, kReminds + 4, false, 8, "2/2"},
      {1, kReminds + 4, false, 8, "2/2"},
      // The database refuses one receiver's inbox row: its whole firing is
      // left out, the rest of its batch still goes.
      {3, 1000, true, 12, "0/0"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(testing::Message() << test.batch << " " << test.stopAfterChecks);
    norvtest::TempDir dir;
    m_host = hosttest::HostEnvironment(dir.path());
    const std::string time = hosttest::LocalTime(7200);
    m_day.ParseDateTime(CString::FromUtf8(time.substr(0, 10)), VAR_DATEVALUEONLY);
    std::filesystem::create_directories(dir.File("defs"));
    for (int i = 0; i < kReminds; ++i) {
      const std::string name = std::to_string(i);
      hosttest::WriteFile(
          dir.File("defs/" + name + ".xml"),
          hosttest::OneOffDefinition(time, "r" + name, {i == 3 ? "carol" : "x" + name, "y"}));
    }
    ASSERT_EQ(m_host.Run({"import", dir.File("defs")}).exitCode, 0);
    if (test.refuseCarol) {
      m_host.Query(
          "CREATE TRIGGER refuse BEFORE INSERT ON NORV_REMIND_MSG WHEN NEW.CN_S_RECEIVER "
          "= 'carol' BEGIN SELECT RAISE(ABORT, 'refused'); END");
    }
    EXPECT_EQ(Plan(test.batch, test.stopAfterChecks), test.firstRun);
    for (const std::string& rows : m_host.Query(kPerRemind)) {
      EXPECT_TRUE(rows == "0/0" || rows == "2/2") << rows;
    }
    const size_t rest = test.refuseCarol ? 0 : 2 * kReminds - test.firstRun;
    EXPECT_EQ(Plan(test.batch, 1000), rest);
    EXPECT_EQ(m_host.Query(kPerRemind)[3], test.carolRows);
    EXPECT_EQ(m_host.Query("SELECT COUNT(*) FROM NORV_REMIND_MSG_AM"),
              Rows{std::to_string(test.refuseCarol ? 12 : 14)});
  }
}

}  // namespace
