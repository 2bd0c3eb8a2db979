// due: which of the example reminds fire on chosen days, and when.
#include <gtest/gtest.h>

#include <algorithm>

#include "NorvTestSupport.h"
#include "host/HostTestRun.h"

namespace {

using hosttest::HostEnvironment;
using hosttest::RunResult;

class HostDueTest : public testing::Test {
 protected:
  void SetUp() override {
    const RunResult imported = m_host.Run({"import", NORV_EXAMPLES_DIR});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
  }

  // "HH:MM:SS content" of every firing on the day, from the JSON form.
  std::vector<std::string> Firings(const std::string& day) {
    const RunResult due = m_host.Run({"due", "--date", day, "--json"});
    EXPECT_EQ(due.exitCode, 0) << due.err;
    std::vector<std::string> firings;
    for (size_t at = due.out.find("\"Time\": \""); at != std::string::npos;
         at = due.out.find("\"Time\": \"", at + 1)) {
      const std::string time = due.out.substr(at + 20, 8);
      const size_t content = due.out.find("\"Content\": \"", at) + 12;
      firings.push_back(time + " " + due.out.substr(content, due.out.find('"', content) - content));
    }
    return firings;
  }

  norvtest::TempDir m_dir;
  HostEnvironment m_host{m_dir.path()};
};

TEST_F(HostDueTest, EachRemindTypeFiresOnItsDaysInTimeOrder) {
  // Thursday, the last day of the month.
  EXPECT_EQ(Firings("2026-12-31"),
            (std::vector<std::string>{"08:00:00 Drink a glass of water",
                                      "09:30:00 每日站会 / Daily stand-up in room 4",
                                      "17:00:00 Submit the timesheet"}));
  // Saturday: only the daily one.
  EXPECT_EQ(Firings("2026-12-05"), (std::vector<std::string>{"08:00:00 Drink a glass of water"}));
  // Friday the 15th: the one-off remind and the weekly one join.
  EXPECT_EQ(Firings("2027-01-15"),
            (std::vector<std::string>{"08:00:00 Drink a glass of water",
                                      "09:00:00 Dentist at 09:30, Harbour Street 12",
                                      "09:30:00 每日站会 / Daily stand-up in room 4",
                                      "18:00:00 Gym at 18:30"}));
}

TEST_F(HostDueTest, CustomStyleCountsBackFromItsDeadlineAndFiresOnTheDeadlineDay) {
  const std::vector<std::string> threeBefore = Firings("2027-04-27");
  EXPECT_NE(std::find(threeBefore.begin(), threeBefore.end(), "09:00:00 Tax return due on 30 April"),
            threeBefore.end());
  const std::vector<std::string> deadline = Firings("2027-04-30");
  EXPECT_NE(std::find(deadline.begin(), deadline.end(), "08:00:00 Tax return due on 30 April"),
            deadline.end());
  const std::vector<std::string> after = Firings("2027-05-01");
  for (const std::string& firing : after) EXPECT_EQ(firing.find("Tax return"), std::string::npos);
  // The monthly remind's deadline (2027-12-31) has run out a month later.
  const std::vector<std::string> later = Firings("2028-01-31");
  for (const std::string& firing : later) EXPECT_EQ(firing.find("timesheet"), std::string::npos);
}

TEST_F(HostDueTest, TableNamesTheDayAndSkipsInactiveReminds) {
  const RunResult table = m_host.Run({"due", "--date", "2026-12-05"});
  EXPECT_EQ(table.exitCode, 0) << table.err;
  EXPECT_EQ(table.out.rfind("due on 2026-12-05:\nTIME", 0), 0u) << table.out;
  EXPECT_NE(table.out.find("08:00:00"), std::string::npos);

  const RunResult list = m_host.Run({"list", "--json"});
  const size_t daily = list.out.find("\"ID\": \"{");
  ASSERT_NE(daily, std::string::npos);
  for (size_t at = daily; at != std::string::npos; at = list.out.find("\"ID\": \"{", at + 1)) {
    ASSERT_EQ(m_host.Run({"state", list.out.substr(at + 8, 36), "1"}).exitCode, 0);
  }
  const RunResult none = m_host.Run({"due", "--date", "2026-12-05"});
  EXPECT_EQ(none.out, "nothing is due on 2026-12-05\n");
  EXPECT_EQ(m_host.Run({"due", "--date", "2026-12-05", "--json"}).out, "[]\n");
}

}  // namespace
