// add, import, list, show, state and delete through the real program, with
// the stored rows checked in the database it wrote.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "host/HostTestRun.h"

namespace {

using hosttest::Example;
using hosttest::Rows;
using hosttest::RunResult;

using HostRemindsTest = hosttest::HostTest;

const char kHostile[] = "o'neil'); DROP TABLE NORV_REMIND_DEF; --";

TEST_F(HostRemindsTest, RemindIsListedShownDeactivatedAndDeletedWithEverythingItOwns) {
  const std::string id =
      m_host.Run({"add", Example("workdays.xml"), "--creator-id", kHostile}).out.substr(0, 36);
  std::string shortID = id.substr(0, 8);
  for (char& ch : shortID) ch = static_cast<char>(std::tolower(ch));
  const std::string row = "periodic  working days at 09:30  Alice, Bob  每日站会 / Daily stand-up";
  EXPECT_NE(m_host.Run({"list"}).out.find("\n" + shortID + "  " + row), std::string::npos);
  EXPECT_EQ(
      m_host.Run({"show", shortID})
          .out.rfind("<Remind ID='{" + id + "}' State='0' Type='1' SendFlag='1' From='team'>", 0),
      0u);
  EXPECT_EQ(m_host.Run({"show", "{" + id + "}", "--json"}).out.rfind("{ \"ID\": \"{" + id, 0), 0u);
  EXPECT_EQ(m_host.Query("SELECT CN_S_CREATOR_ID, CN_S_CREATOR_NAME FROM NORV_REMIND_DEF", 2),
            Rows{std::string(kHostile) + "|" + kHostile});

  EXPECT_EQ(m_host.Run({"state", shortID, "1"}).out, "remind " + id + " is now inactive\n");
  EXPECT_EQ(m_host.Run({"list"}).out, "no reminds\n");
  EXPECT_NE(m_host.Run({"list", "--all"}).out.find(shortID + "  inactive  " + row),
            std::string::npos);

  EXPECT_EQ(m_host.Run({"delete", id}).out, "remind " + id + " deleted\n");
  EXPECT_EQ(m_host.Query("SELECT (SELECT COUNT(*) FROM NORV_REMIND_DEF) + (SELECT COUNT(*) FROM "
                         "NORV_REMIND_RECEIVE) + (SELECT COUNT(*) FROM NORV_REMIND_REPEAT)"),
            Rows{"0"});
}

TEST_F(HostRemindsTest, AddRefusesBadDefinitionsWithTheLibrarysTextAndWarnsOfPastTimes) {
  const std::string nul = hosttest::OneOffDefinition("2030-01-01 09:00:00", "a&#0;b", {"a"});
  const struct {
    std::string definition;
    std::string error;
    std::vector<std::string> options;
  } cases[] = {
      {"<Remind Type='0'", "standard input: the definition is not well-formed XML", {}},
      {nul, "standard input: the definition is not well-formed XML", {}},
      {"<?xml version='1.0' encoding='EBCDIC-US'?>" + nul,
       "cannot read standard input: the declared encoding 'ebcdic-us' is not supported; use "
       "UTF-8 or ISO-8859-1",
       {}},
      {nul,
       "cannot read standard input: larger than 20 bytes (see --max-size)",
       {"--max-size", "20"}},
      // The parser takes any style text, but the loader would refuse these
      // items, so add refuses them now.
      {"<Remind Type='2' InvalidDate='2030-01-10'><Content>c</Content><RemindStyleDef>&lt;Def&gt;"
       "&lt;Item Day='1' /&gt;&lt;/Def&gt;</RemindStyleDef><ReceiverList><Receiver ID='a' />"
       "</ReceiverList></Remind>",
       "standard input: 解析提醒自定义样式信息时失败，原因：未指定提醒时间 Time",
       {}},
  };
  for (const auto& bad : cases) {
    std::vector<std::string> args = {"add", "-"};
    args.insert(args.end(), bad.options.begin(), bad.options.end());
    const RunResult result = m_host.Run(args, bad.definition);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "norvremind: " + bad.error + "\n");
  }
  EXPECT_EQ(m_host.Query("SELECT COUNT(*) FROM NORV_REMIND_DEF"), Rows{"0"});

  const RunResult past =
      m_host.Run({"add"}, hosttest::OneOffDefinition("2020-01-01 08:00:00", "late", {"a"}));
  EXPECT_EQ(past.exitCode, 0);
  EXPECT_EQ(past.err,
            "norvremind: warning: the remind time 2020-01-01 08:00:00 has passed; the "
            "daemon will expire this remind instead of sending it\n");
}

TEST_F(HostRemindsTest, ImportStoresTheGoodDefinitionsAndReportsEachBadOne) {
  const std::string folder = m_dir.File("definitions");
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(Example("daily.xml"), folder + "/1-daily.xml");
  std::filesystem::copy_file(Example("custom-style.xml"), folder + "/2-custom.xml");
  hosttest::WriteFile(folder + "/3-broken.xml", "<Remind Type='1'><Content>x</Content>");
  hosttest::WriteFile(folder + "/4-no-start.xml",
                      "<Remind Type='1'><Content>x</Content><Repeat RemindTime='8:00' /></Remind>");
  hosttest::WriteFile(folder + "/notes.txt", "not a definition");
  hosttest::WriteFile(folder + "/5-latin1.xml",
                      "<?xml version='1.0' encoding='ISO-8859-1'?>" +
                          hosttest::OneOffDefinition("2030-01-01 09:00:00", "Caf\xE9", {"a"}));
  // A FIFO would block a reader that opened it blindly.
  ASSERT_EQ(::mkfifo((folder + "/6-fifo.xml").c_str(), 0600), 0);

  const RunResult result = m_host.Run({"import", folder});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "imported 3 of 6 definitions from " + folder + "; 3 failed\n");
  // Standard error is no terminal here, so it holds no progress bar.
  EXPECT_EQ(result.err, "norvremind: " + folder +
                            "/3-broken.xml: the definition is not well-formed XML\n"
                            "norvremind: " +
                            folder +
                            "/4-no-start.xml: "
                            "周期类型的提醒，重复定义格式不正确，原因：未指定开始日期 DTStart\n"
                            "norvremind: cannot read " +
                            folder + "/6-fifo.xml: not a regular file\n");
  EXPECT_EQ(m_host.Query("SELECT CN_S_CONTENT FROM NORV_REMIND_DEF ORDER BY CN_N_TYPE"),
            (Rows{"Caf\xC3\xA9", "Drink a glass of water", "Tax return due on 30 April"}));
}

TEST_F(HostRemindsTest, ListRendersTheLibrarysShortFormsWithNextFiringAndContent) {
  m_host.Set("NORVREMIND_NOW", "2026-12-06 12:00:00");
  const std::string id = m_host.Run({"add", Example("one-off.xml")}).out.substr(0, 36);
  EXPECT_EQ(m_host.Run({"list", "--xml"}).out,
            "<Body><Remind ID='{" + id +
                "}' State='0' Type='0' SendFlag='1' RemindTime='2027-01-15 09:00:00' "
                "From='calendar' NextFiring='2027-01-15 09:00'><Content>Dentist at 09:30, "
                "Harbour Street 12</Content></Remind></Body>\n");
  EXPECT_EQ(m_host.Run({"list", "--json"}).out,
            "[ { \"ID\": \"{" + id +
                "}\", \"State\": \"0\", \"Type\": \"0\", \"SendFlag\": "
                "\"1\", \"RemindTime\": \"2027-01-15 09:00:00\", \"From\": \"calendar\", "
                "\"NextFiring\": \"2027-01-15 09:00\", \"Content\": \"Dentist at 09:30, "
                "Harbour Street 12\" } ]\n");
}

}  // namespace
