// due: which of the example reminds fire on chosen days, and when.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/HostTestRun.h"

namespace {

using Firings = std::vector<std::string>;

class HostDueTest : public hosttest::HostTest {
 protected:
  void SetUp() override { ASSERT_EQ(m_host.Run({"import", NORV_EXAMPLES_DIR}).exitCode, 0); }

  std::string Id(const std::string& content) {
    return m_host.Query("SELECT CN_G_ID FROM NORV_REMIND_DEF WHERE CN_S_CONTENT = '" + content +
                        "'")[0];
  }

  // "HH:MM:SS content" of every firing on the day, from the JSON form,
  // checked to come in time order and then sorted (equal times may come in
  // either order).
  Firings Due(const std::string& day) {
    const std::string json = m_host.Run({"due", "--date", day, "--json"}).out;
    Firings firings;
    for (size_t at = json.find("{ \"Time"); at != std::string::npos;
         at = json.find("{ \"Time", at + 1)) {
      const std::string firing = json.substr(at);
      firings.push_back(hosttest::JsonField(firing, "Time").substr(11) + " " +
                        hosttest::JsonField(firing, "Content"));
    }
    EXPECT_TRUE(std::is_sorted(firings.begin(), firings.end(),
                               [](auto& a, auto& b) { return a.substr(0, 8) < b.substr(0, 8); }));
    std::sort(firings.begin(), firings.end());
    return firings;
  }
};

TEST_F(HostDueTest, EachRemindTypeFiresOnItsDaysInRangesAndNextButNotWhenInactive) {
  const std::string water = "08:00:00 Drink a glass of water";
  const std::string standUp = "09:30:00 每日站会 / Daily stand-up in room 4";
  const std::string gym = "18:00:00 Gym at 18:30";
  const struct {
    std::string day;
    Firings expected;
  } days[] = {
      {"2026-12-05", {water}},  // a Saturday
      {"2026-12-31", {water, standUp, "17:00:00 Submit the timesheet"}},
      {"2027-01-15", {water, "09:00:00 Dentist at 09:30, Harbour Street 12", standUp, gym}},
      {"2027-04-27", {water, "09:00:00 Tax return due on 30 April", standUp}},
      // The custom style's deadline day is its last.
      {"2027-04-30",
       {water, "08:00:00 Tax return due on 30 April", standUp, "17:00:00 Submit the timesheet",
        gym}},
      // The monthly remind ran out with 2027.
      {"2028-01-31", {water, standUp, gym}},
  };
  for (const auto& day : days) EXPECT_EQ(Due(day.day), day.expected) << day.day;

  // A range joins its days; next lists the coming firings.
  const std::string first = m_host.Run({"due", "--date", "2027-04-30", "--json"}).out;
  const std::string joined = first.substr(0, first.size() - 3) + ", " +
                             m_host.Run({"due", "--date", "2027-05-01", "--json"}).out.substr(2);
  EXPECT_EQ(m_host.Run({"due", "--from", "2027-04-30", "--to", "2027-05-01", "--json"}).out,
            joined);
  const std::string table = m_host.Run({"due", "--from", "2027-04-30", "--days", "2"}).out;
  EXPECT_EQ(table.rfind("due from 2027-04-30 to 2027-05-01:\n", 0), 0u) << table;
  EXPECT_EQ(hosttest::CountOf(table, "\n2027-05-01 08:00:00  "), 1u) << table;
  EXPECT_EQ(hosttest::CountOf(table, "  Alice, Bob  "), 2u) << table;  // sorted by name

  m_host.Set("NORVREMIND_NOW", "2027-04-29 12:00:00");
  const struct {
    std::string content, count, expected;
  } cases[] = {
      {"Drink a glass of water", "3", "2027-04-30 08:00\n2027-05-01 08:00\n2027-05-02 08:00\n"},
      // The deadline day's item is the last.
      {"Tax return due on 30 April", "5", "2027-04-30 08:00\n"},
      {"Submit the timesheet", "2", "2027-04-30 17:00\n2027-05-31 17:00\n"},
      {"Dentist at 09:30, Harbour Street 12", "5", ""},
  };
  for (const auto& expected : cases) {
    EXPECT_EQ(m_host.Run({"next", Id(expected.content), expected.count}).out, expected.expected)
        << expected.content;
  }
  // Limited to 24 firings, none used yet.
  EXPECT_EQ(hosttest::CountOf(m_host.Run({"next", Id("Gym at 18:30"), "1000"}).out, "\n"), 24u);

  // The table shows the day; an inactive remind is not due.
  const std::string day = "2026-12-05", id = Id("Drink a glass of water");
  std::string shortID = id.substr(0, 8);
  for (char& ch : shortID) ch = static_cast<char>(std::tolower(ch));
  EXPECT_EQ(m_host.Run({"due", "--date", day}).out,
            "due on 2026-12-05:\n"
            "TIME      ID        TYPE      RECEIVERS  CONTENT\n"
            "--------  --------  --------  ---------  ----------------------\n"
            "08:00:00  " +
                shortID + "  periodic  Alice      Drink a glass of water\n");

  ASSERT_EQ(m_host.Run({"state", id, "1"}).exitCode, 0);
  EXPECT_EQ(m_host.Run({"due", "--date", day}).out, "nothing is due on 2026-12-05\n");
  EXPECT_EQ(m_host.Run({"due", "--date", day, "--json"}).out, "[]\n");
}

}  // namespace
