// add, import, list, show, state, delete and the style commands through the
// real program, with the stored rows checked in the database it wrote.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "host/HostTestRun.h"

namespace {

using hosttest::Rows;
using hosttest::RunResult;

using HostRemindsTest = hosttest::HostTest;

const char kHostile[] = "o'neil'); DROP TABLE NORV_REMIND_DEF; --";

TEST_F(HostRemindsTest, RemindIsListedShownDeactivatedAndDeletedWithEverythingItOwns) {
  const std::string id =
      m_host.Run({"add", NORV_EXAMPLES_DIR "/workdays.xml", "--creator-id", kHostile})
          .out.substr(0, 36);
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

// A periodic definition whose Repeat element, on line 2, has `repeat` added.
std::string Periodic(const std::string& repeat) {
  return "<Remind Type='1' SendFlag='1'><Content>c</Content>\n<Repeat RemindTime='8:00' "
         "DTStart='2030-01-01' " +
         repeat + " />\n<ReceiverList><Receiver ID='a' /></ReceiverList></Remind>";
}

// A custom-style definition whose style holds `items`.
std::string Custom(const std::string& items) {
  return "<Remind Type='2' InvalidDate='2030-01-10' SendFlag='1'><Content>c</Content>"
         "<RemindStyleDef>&lt;Def&gt;" +
         items +
         "&lt;/Def&gt;</RemindStyleDef><ReceiverList><Receiver ID='a' /></ReceiverList>"
         "</Remind>";
}

TEST_F(HostRemindsTest, AddRefusesWhatCanNeverFireNamingLineAttributeAndValueUnlessForced) {
  m_host.Set("NORVREMIND_NOW", "2026-06-01 10:00:00");
  const std::string nul = hosttest::OneOffDefinition("2030-01-01 09:00:00", "a&#0;b", {"a"});
  const struct {
    std::string definition;
    std::string error;  // its start, after "norvremind: "
    bool forceable;
  } cases[] = {
      {"<Remind Type='0'", "standard input:1:16: the definition is not well-formed XML (", false},
      {nul, "standard input: the definition is not well-formed XML\n", false},
      {"<?xml version='1.0' encoding='EBCDIC-US'?>" + nul,
       "cannot read standard input: the declared encoding 'ebcdic-us' is not supported", false},
      {std::string(4000, ' ') + nul,
       "cannot read standard input: larger than 4000 bytes (see --max-size)", false},
      {"<Remind Type='0' RemindTime='2030-01-01 08:00:00' SendFlag='1'><ReceiverList><Receiver "
       "ID='a' /></ReceiverList></Remind>",
       "standard input: not a valid definition (library: 未指定提醒的内容)\n", false},
      {"<Reminder Type='0' RemindTime='2030-01-01 08:00:00' SendFlag='1'><Content>c</Content>"
       "<ReceiverList><Receiver ID='a' /></ReceiverList></Reminder>",
       "standard input:1: <Reminder>: the root element of a definition is <Remind>", true},
      {"<Style Order='1'><Name>Exam</Name></Style>",
       "standard input:1: <Style>: this is a style, not a remind; store it with `norvremind "
       "style add`",
       false},
      {"<Remind Type='oneoff' SendFlag='1'/>", "standard input:1: Type=\"oneoff\": the type is 0",
       false},
      {Periodic("RegularType='9'"), "standard input:2: RegularType=\"9\": ", true},
      {Periodic("Interval='0'"),
       "standard input:2: Interval=\"0\": a repeat interval must be at least 1", true},
      {Periodic("Interval='70000'"), "standard input:2: Interval=\"70000\": ", true},
      {Periodic("RegularType='1' RegularValue='1'"),
       "standard input:2: RegularValue=\"1\": a weekly rule needs at least one weekday", true},
      {Periodic("RegularType='2' RagularValue='40'"),
       "standard input:2: RagularValue=\"40\": ", true},
      {Periodic("RegularRange='1' Num='99999999999'"),
       "standard input:2: Num=\"99999999999\": ", true},
      {Periodic("DTEnd='2029-12-31'"), "standard input:2: DTEnd=\"2029-12-31\": the end date",
       true},
      {"<Remind Type='2' InvalidDate='2026-05-31' SendFlag='1'/>",
       "standard input:1: InvalidDate=\"2026-05-31\": the deadline has passed", false},
      {"<Remind Type='0' RemindTime='2030-01-01 08:00:00' SendFlag='1'><Content>c</Content>"
       "</Remind>",
       "standard input:1: <ReceiverList> (missing): ", true},
      {hosttest::OneOffDefinition("2026-06-01 09:59:00", "late", {"a"}),
       "standard input:1: RemindTime=\"2026-06-01 09:59:00\": the remind time has passed", true},
      {Custom("&lt;Item Day='-3' Time='9' /&gt;"), "standard input:1: Day=\"-3\": ", true},
      {Custom("&lt;Item Day='3' Time='9' /&gt;"), "standard input:1: Time=\"9\": ", true},
      {Custom(""), "standard input:1: <Item> (missing): ", true},
  };
  size_t forced = 0;
  for (const auto& bad : cases) {
    std::vector<std::string> args = {"add", "-", "--max-size", "4000"};
    const RunResult result = m_host.Run(args, bad.definition);
    EXPECT_EQ(result.exitCode, 1) << bad.error;
    EXPECT_EQ(result.err.rfind("norvremind: " + bad.error, 0), 0u) << result.err;
    args.push_back("--force");
    EXPECT_EQ(m_host.Run(args, bad.definition).exitCode, bad.forceable ? 0 : 1) << bad.error;
    forced += bad.forceable ? 1 : 0;
  }
  EXPECT_EQ(m_host.Query("SELECT COUNT(*) FROM NORV_REMIND_DEF"), Rows{std::to_string(forced)});

  m_host.Set("LC_MESSAGES", "zh_CN.UTF-8");
  EXPECT_EQ(m_host.Run({"add"}, Periodic("Interval='0'")).err,
            "norvremind: standard input:2: Interval=\"0\": 重复间隔至少为 1（至多为 32767）\n");
}

TEST_F(HostRemindsTest, ImportStoresTheGoodDefinitionsAndReportsEachBadOne) {
  const std::string folder = m_dir.File("definitions");
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(NORV_EXAMPLES_DIR "/daily.xml", folder + "/1-daily.xml");
  std::filesystem::copy_file(NORV_EXAMPLES_DIR "/custom-style.xml", folder + "/2-custom.xml");
  hosttest::WriteFile(folder + "/3-broken.xml", "<Remind Type='1'><Content>x</Content>");
  hosttest::WriteFile(folder + "/4-no-start.xml",
                      "<Remind Type='1' SendFlag='1'><Content>x</Content><Repeat RemindTime='8:00' "
                      "/><ReceiverList><Receiver ID='a' /></ReceiverList></Remind>");
  hosttest::WriteFile(folder + "/notes.txt", "not a definition");
  hosttest::WriteFile(folder + "/5-latin1.xml",
                      "<?xml version='1.0' encoding='ISO-8859-1'?>" +
                          hosttest::OneOffDefinition("2030-01-01 09:00:00", "Caf\xE9", {"a"}));
  // A FIFO would block a reader that opened it blindly.
  ASSERT_EQ(::mkfifo((folder + "/6-fifo.xml").c_str(), 0600), 0);

  // --force: the examples' fixed dates pass one day.
  const RunResult result = m_host.Run({"import", folder, "--force"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "imported 3 of 6 definitions from " + folder + "; 3 failed\n");
  // Standard error is no terminal here, so it holds no progress bar.
  EXPECT_EQ(result.err, "norvremind: " + folder +
                            "/3-broken.xml:1:37: the definition is not well-formed XML "
                            "(Start-end tags mismatch)\n"
                            "norvremind: " +
                            folder +
                            "/4-no-start.xml: not a valid definition (library: "
                            "周期类型的提醒，重复定义格式不正确，原因：未指定开始日期 DTStart)\n"
                            "norvremind: cannot read " +
                            folder + "/6-fifo.xml: not a regular file\n");
  EXPECT_EQ(m_host.Query("SELECT CN_S_CONTENT FROM NORV_REMIND_DEF ORDER BY CN_N_TYPE"),
            (Rows{"Caf\xC3\xA9", "Drink a glass of water", "Tax return due on 30 April"}));
}

TEST_F(HostRemindsTest, ExportedRemindsImportAsTheyAreFiredOnesIncludedAndOnlyOnce) {
  // A Tuesday evening: of the examples only the remind added here is due.
  m_host.Set("NORVREMIND_NOW", "2026-06-02 20:00:00");
  const std::string examples = NORV_EXAMPLES_DIR;
  EXPECT_EQ(m_host.Run({"import", examples}).exitCode, 0);
  const std::string definition =
      "<Remind Type='1' SendFlag='1'><Content>fired</Content><Repeat RemindTime='19:59' "
      "RegularType='0' RegularValue='1' RegularRange='1' Num='3' DTStart='2026-06-02' />"
      "<ReceiverList><Receiver ID='z' /></ReceiverList></Remind>";
  const std::string fired = m_host.Add(definition);
  hosttest::RunUntilIdle(m_host);

  const std::string folder = m_dir.File("export");
  EXPECT_EQ(m_host.Run({"export", folder}).out, "exported 7 reminds to " + folder + "\n");
  const std::string other = "sqlite:" + m_dir.File("other.db");
  m_host.Run({"init", "--db", other});
  EXPECT_EQ(m_host.Run({"import", folder, "--db", other}).out,
            "imported 7 of 7 definitions from " + folder + "\n");
  for (const auto& file : std::filesystem::directory_iterator(folder)) {
    const std::string id = file.path().stem();
    EXPECT_EQ(m_host.Run({"show", id, "--json", "--db", other}).out,
              m_host.Run({"show", id, "--json"}).out);
  }
  EXPECT_EQ(m_host.Run({"import", examples}).out,
            "imported 0 of 6 definitions from " + examples + "; 6 unchanged\n");

  const std::string file = folder + "/" + fired + ".xml";
  std::string changed = "<Remind ID='" + fired + "'" + definition.substr(7);
  hosttest::WriteFile(file, changed.replace(changed.find("fired<"), 5, "moved"));
  const RunResult refused = m_host.Run({"import", folder});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err, "norvremind: " + file + ": remind " + fired +
                             " is stored with another definition; --replace updates it\n");
  EXPECT_EQ(m_host.Run({"import", folder, "--replace"}).out,
            "imported 1 of 7 definitions from " + folder + "; 1 replaced; 6 unchanged\n");

  changed = definition;  // no identifier: edit keeps the remind's
  hosttest::WriteFile(file, changed.replace(changed.find("fired"), 5, "edited"));
  EXPECT_EQ(m_host.Run({"edit", fired.substr(0, 8), file}).out, "remind " + fired + " updated\n");
  EXPECT_EQ(m_host.Query("SELECT CN_N_REPEAT_COUNT, (SELECT COUNT(*) FROM NORV_REMIND_MSG_AM) "
                         "FROM NORV_REMIND_REPEAT JOIN NORV_REMIND_DEF ON CN_G_ID = CN_G_REMIND_ID "
                         "WHERE CN_S_CONTENT = 'edited'",
                         2),
            Rows{"1|1"});
}

TEST_F(HostRemindsTest, ListRendersTheLibrarysShortFormsWithNextFiringAndContent) {
  m_host.Set("NORVREMIND_NOW", "2026-12-06 12:00:00");
  const std::string id = m_host.Run({"add", NORV_EXAMPLES_DIR "/one-off.xml"}).out.substr(0, 36);
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

class HostStylesTest : public hosttest::HostTest {
 protected:
  // Runs a style command, expecting success; its output.
  std::string Style(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), "style");
    const RunResult result = m_host.Run(args, input);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out;
  }
  const std::string m_weekly =
      "<Style><Name>Weekly review</Name><Def>&lt;Def&gt;&lt;Item Day='1' Time='9:5' /&gt;"
      "&lt;/Def&gt;</Def></Style>";
};

TEST_F(HostStylesTest, StylesKeepTheirOrderDefaultAndNamesAndBadOnesAreRefused) {
  const std::string exam =
      Style({"add", NORV_EXAMPLES_DIR "/styles/exam-countdown.xml"}).substr(0, 36);
  const std::string weekly = Style({"add", "--default"}, m_weekly).substr(0, 36);
  // Without an Order attribute a style goes after the last one.
  EXPECT_EQ(Style({"list", "--xml"}), "<Body><Style ID='{" + exam +
                                          "}' Order='1'><Name>Exam countdown</Name>"
                                          "</Style><Style ID='{" +
                                          weekly +
                                          "}' Order='2' IsDefault='1'><Name>Weekly review"
                                          "</Name></Style></Body>\n");

  EXPECT_EQ(Style({"default", "exam COUNTDOWN"}), "style 'Exam countdown' is now the default\n");
  EXPECT_EQ(Style({"reorder", "Weekly review", "-3"}),
            "style 'Weekly review' now has the order -3\n");
  EXPECT_EQ(Style({"list", "--json"}), "[ { \"ID\": \"{" + weekly +
                                           "}\", \"Order\": \"-3\", \"Name\": \"Weekly review\" }, "
                                           "{ \"ID\": \"{" +
                                           exam +
                                           "}\", \"Order\": \"1\", \"IsDefault\": \"1\", "
                                           "\"Name\": \"Exam countdown\" } ]\n");
  EXPECT_NE(Style({"list"}).find("\n1      Exam countdown  yes      7d 19:00, 1d 19:00, 0d 07:00"),
            std::string::npos);

  EXPECT_EQ(m_host.Run({"style", "rename", "Weekly review", "EXAM countdown"}).err,
            "norvremind: cannot change style 'Weekly review': a style named 'EXAM countdown' "
            "exists already\n");
  EXPECT_EQ(Style({"rename", "weekly review", "Sprint review"}),
            "style 'Weekly review' renamed to 'Sprint review'\n");
  EXPECT_NE(Style({"show", "sprint review", "--json"}).find("\"Name\": \"Sprint review\""),
            std::string::npos);
  EXPECT_EQ(Style({"delete", "Sprint review"}), "style 'Sprint review' deleted\n");
  EXPECT_EQ(m_host.Run({"style", "show", "Sprint review"}).err,
            "norvremind: no style named 'Sprint review'\n");

  // Bad styles are refused with the library's text and nothing is stored.
  const struct {
    std::string style;
    std::string error;
  } cases[] = {
      {"<Style><Name>n</Name></Style>", "未设置样式的提醒定义"},
      {"<Style><Name>n</Name><Def>&lt;Def&gt;&lt;Item Time='8:00' /&gt;&lt;/Def&gt;</Def></Style>",
       "未指定提前天数 Day"},
      {"<Style><Name>n</Name>", "the style is not well-formed XML"},
      {"<Style><Name>Exam countdown</Name>" + m_weekly.substr(33),
       "a style named 'Exam countdown' exists already"},
  };
  for (const auto& bad : cases) {
    const RunResult result = m_host.Run({"style", "add"}, bad.style);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "norvremind: standard input: " + bad.error + "\n");
  }
  EXPECT_EQ(hosttest::CountOf(Style({"list", "--xml"}), "<Style "), 1u);
}

}  // namespace
