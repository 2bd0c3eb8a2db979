// add, import, list, show, state and delete through the real program, with
// the stored rows checked in the database it wrote.
#include <gtest/gtest.h>

#include <filesystem>

#include "NorvTestDatabase.h"
#include "NorvTestSupport.h"
#include "core/CSession.h"
#include "host/HostTestRun.h"

namespace {

using hosttest::HostEnvironment;
using hosttest::ReadFile;
using hosttest::RunResult;
using hosttest::WriteFile;

std::string Example(const std::string& name) {
  return std::string(NORV_EXAMPLES_DIR) + "/" + name;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

class HostRemindsTest : public testing::Test {
 protected:
  // Rows of a table, counted in the database the program wrote.
  size_t CountRows(const std::string& table, const std::string& where = "") {
    CSession session;
    EXPECT_TRUE(session.Open(CString::FromUtf8(m_host.DatabaseConnection())));
    const std::string query = "SELECT COUNT(*) FROM " + table + (where.empty() ? "" : " WHERE " + where);
    const std::vector<CString> count = norvtest::QueryColumn(session, CString::FromUtf8(query));
    return count.empty() ? 0 : static_cast<size_t>(count.front().ToInt());
  }

  norvtest::TempDir m_dir;
  HostEnvironment m_host{m_dir.path()};
};

TEST_F(HostRemindsTest, AddedRemindIsListedShownAndDeletedWithEverythingItOwns) {
  const RunResult added = m_host.Run({"add", Example("workdays.xml"), "--creator-id", "u42",
                                      "--creator-name", "Una"});
  ASSERT_EQ(added.exitCode, 0) << added.err;
  const std::string id = Trimmed(added.out);
  ASSERT_EQ(id.size(), 36u) << added.out;

  const RunResult list = m_host.Run({"list"});
  EXPECT_EQ(list.exitCode, 0) << list.err;
  std::string shortID = id.substr(0, 8);
  for (char& ch : shortID) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  EXPECT_NE(list.out.find(shortID), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("working days at 09:30"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("Alice, Bob"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("每日站会"), std::string::npos) << list.out;

  const RunResult xml = m_host.Run({"show", shortID});
  EXPECT_EQ(xml.exitCode, 0) << xml.err;
  EXPECT_EQ(xml.out.rfind("<Remind ID='{" + id + "}' State='0' Type='1' SendFlag='1'", 0), 0u)
      << xml.out;
  EXPECT_NE(xml.out.find("<Repeat RemindTime='09:30' RegularType='0' Interval='1' "
                         "RagularValue='1' RegularRange='0' DTStart='2026-01-01' />"),
            std::string::npos)
      << xml.out;
  const RunResult json = m_host.Run({"show", "{" + id + "}", "--json"});
  EXPECT_EQ(json.exitCode, 0) << json.err;
  EXPECT_NE(json.out.find("\"ReceiverList\": [ { \"Type\": \"0\", \"ID\": \"alice\", \"Name\": "
                          "\"Alice\" }, { \"Type\": \"0\", \"ID\": \"bob\", \"Name\": \"Bob\" } ]"),
            std::string::npos)
      << json.out;
  EXPECT_EQ(CountRows("NORV_REMIND_DEF", "CN_S_CREATOR_ID = 'u42' AND CN_S_CREATOR_NAME = 'Una'"),
            1u);
  EXPECT_EQ(CountRows("NORV_REMIND_RECEIVE"), 2u);
  EXPECT_EQ(CountRows("NORV_REMIND_REPEAT"), 1u);

  const RunResult deleted = m_host.Run({"delete", id});
  EXPECT_EQ(deleted.exitCode, 0) << deleted.err;
  for (const char* table : {"NORV_REMIND_DEF", "NORV_REMIND_RECEIVE", "NORV_REMIND_REPEAT"}) {
    EXPECT_EQ(CountRows(table), 0u) << table;
  }
  const RunResult gone = m_host.Run({"show", id});
  EXPECT_EQ(gone.exitCode, 1);
  EXPECT_NE(gone.err.find("no remind with the identifier"), std::string::npos) << gone.err;
  EXPECT_EQ(m_host.Run({"list"}).out, "no reminds\n");
}

TEST_F(HostRemindsTest, AddReadsStandardInputAndRefusesBadDefinitionsWithTheLibrarysText) {
  const RunResult piped = m_host.Run({"add"}, ReadFile(Example("daily.xml")));
  EXPECT_EQ(piped.exitCode, 0) << piped.err;

  const RunResult noContent =
      m_host.Run({"add", "-"}, "<Remind Type='0' RemindTime='2030-01-01 09:00:00' />");
  EXPECT_EQ(noContent.exitCode, 1);
  EXPECT_EQ(noContent.err, "norvremind: standard input: 未指定提醒的内容\n");

  const RunResult notXml = m_host.Run({"add"}, "<Remind Type='0'");
  EXPECT_EQ(notXml.exitCode, 1);
  EXPECT_NE(notXml.err.find("not well-formed XML"), std::string::npos) << notXml.err;

  // The parser accepts any style text; the loader would refuse these items
  // later, so add refuses them now and leaves no row behind.
  const RunResult badItems = m_host.Run(
      {"add"}, "<Remind Type='2' InvalidDate='2030-01-10'><Content>c</Content>"
               "<RemindStyleDef>&lt;Def&gt;&lt;Item Day='1' /&gt;&lt;/Def&gt;</RemindStyleDef>"
               "<ReceiverList><Receiver ID='a' /></ReceiverList></Remind>");
  EXPECT_EQ(badItems.exitCode, 1);
  EXPECT_EQ(badItems.err,
            "norvremind: standard input: 解析提醒自定义样式信息时失败，原因：未指定提醒时间 Time\n");
  EXPECT_EQ(CountRows("NORV_REMIND_DEF"), 1u);
  EXPECT_EQ(CountRows("NORV_REMIND_RECEIVE"), 1u);

  const RunResult past = m_host.Run({"add"}, hosttest::OneOffDefinition("2020-01-01 08:00:00",
                                                                        "late", {"a"}));
  EXPECT_EQ(past.exitCode, 0) << past.err;
  EXPECT_NE(past.err.find("warning: the remind time 2020-01-01 08:00:00 has passed"),
            std::string::npos)
      << past.err;
}

TEST_F(HostRemindsTest, ImportStoresTheGoodDefinitionsAndReportsEachBadOne) {
  const std::string folder = m_dir.File("definitions");
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(Example("daily.xml"), folder + "/1-daily.xml");
  std::filesystem::copy_file(Example("custom-style.xml"), folder + "/2-custom.xml");
  WriteFile(folder + "/3-broken.xml", "<Remind Type='1'><Content>x</Content>");
  WriteFile(folder + "/4-no-content.xml", "<Remind Type='0' RemindTime='2030-01-01 08:00' />");
  WriteFile(folder + "/5-no-start.xml",
            "<Remind Type='1'><Content>x</Content><Repeat RemindTime='08:00' /></Remind>");
  WriteFile(folder + "/notes.txt", "not a definition");

  const RunResult result = m_host.Run({"import", folder});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "imported 2 of 5 definitions from " + folder + "; 3 failed\n");
  EXPECT_NE(result.err.find(folder + "/3-broken.xml: the definition is not well-formed XML"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find(folder + "/4-no-content.xml: 未指定提醒的内容"), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find(folder + "/5-no-start.xml: 周期类型的提醒，重复定义格式不正确，原因："
                                     "未指定开始日期 DTStart"),
            std::string::npos)
      << result.err;
  // Standard error is not a terminal here: no progress bar in it.
  EXPECT_EQ(result.err.find('['), std::string::npos) << result.err;
  EXPECT_EQ(CountRows("NORV_REMIND_DEF"), 2u);

  const std::string good = m_dir.File("good");
  std::filesystem::create_directories(good);
  std::filesystem::copy_file(Example("weekly.xml"), good + "/weekly.xml");
  const RunResult clean = m_host.Run({"import", good});
  EXPECT_EQ(clean.exitCode, 0) << clean.err;
  EXPECT_EQ(CountRows("NORV_REMIND_DEF"), 3u);
}

TEST_F(HostRemindsTest, ListRendersTheLibrarysShortFormsAndHidesInactiveReminds) {
  const std::string oneOff = Trimmed(m_host.Run({"add", Example("one-off.xml")}).out);
  const std::string custom = Trimmed(m_host.Run({"add", Example("custom-style.xml")}).out);

  const RunResult xml = m_host.Run({"list", "--xml"});
  EXPECT_EQ(xml.exitCode, 0) << xml.err;
  EXPECT_NE(xml.out.find("<Remind ID='{" + oneOff + "}' State='0' Type='0' SendFlag='1' "
                         "RemindTime='2027-01-15 09:00:00' From='calendar' />"),
            std::string::npos)
      << xml.out;
  EXPECT_EQ(xml.out.rfind("<Body>", 0), 0u);

  const RunResult state = m_host.Run({"state", custom, "1"});
  EXPECT_EQ(state.exitCode, 0) << state.err;
  EXPECT_EQ(CountRows("NORV_REMIND_DEF", "CN_N_STATE = 1"), 1u);
  const RunResult json = m_host.Run({"list", "--json"});
  EXPECT_EQ(json.out, "[ { \"ID\": \"{" + oneOff + "}\", \"State\": \"0\", \"Type\": \"0\", "
                      "\"SendFlag\": \"1\", \"RemindTime\": \"2027-01-15 09:00:00\", \"From\": "
                      "\"calendar\" } ]\n");
  const RunResult all = m_host.Run({"list", "--all"});
  EXPECT_NE(all.out.find("inactive"), std::string::npos) << all.out;
  EXPECT_NE(all.out.find("before 2027-04-30: 14d 09:00, 3d 09:00, 0d 08:00"), std::string::npos)
      << all.out;
}

}  // namespace
