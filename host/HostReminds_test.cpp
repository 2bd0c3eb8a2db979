// The commands that keep reminds and styles, and due and next, through the
// real program, with the stored rows checked in the database it wrote.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "host/HostTestRun.h"

namespace {

using hosttest::Rows;
using hosttest::RunResult;

using HostRemindsTest = hosttest::HostTest;

std::string ShortId(std::string id) {
  std::transform(id.begin(), id.begin() + 8, id.begin(), ::tolower);
  return id.substr(0, 8);
}

const char kHostile[] = "o'neil'); DROP TABLE NORV_REMIND_DEF; --";

TEST_F(HostRemindsTest, RemindIsListedShownDeactivatedAndDeletedWithEverythingItOwns) {
  m_host.Set("NORVREMIND_NOW", "2026-12-06 12:00:00");
  const std::string id =
      m_host.Run({"add", NORV_EXAMPLES_DIR "/workdays.xml", "--creator-id", kHostile})
          .out.substr(0, 36);
  const std::string shortID = ShortId(id);
  const std::string row = "periodic  working days at 09:30  Alice, Bob  每日站会 / Daily stand-up";
  EXPECT_NE(m_host.Run({"list"}).out.find("\n" + shortID + "  " + row), std::string::npos);
  const std::string shown = m_host.Run({"show", shortID}).out;
  EXPECT_EQ(shown.find("<Remind ID='{" + id + "}' State='0' Type='1' SendFlag='1' From='team'>"),
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

  // The library's short forms, with the next firing.
  const std::string oneOff =
      m_host.Run({"add", NORV_EXAMPLES_DIR "/one-off.xml"}).out.substr(0, 36);
  EXPECT_EQ(m_host.Run({"list", "--xml"}).out,
            "<Body><Remind ID='{" + oneOff +
                "}' State='0' Type='0' SendFlag='1' RemindTime='2027-01-15 09:00:00' "
                "From='calendar' NextFiring='2027-01-15 09:00'><Content>Dentist at 09:30, "
                "Harbour Street 12</Content></Remind></Body>\n");
  EXPECT_EQ(m_host.Run({"list", "--json"}).out,
            "[ { \"ID\": \"{" + oneOff +
                "}\", \"State\": \"0\", \"Type\": \"0\", \"SendFlag\": \"1\", \"RemindTime\": "
                "\"2027-01-15 09:00:00\", \"From\": \"calendar\", \"NextFiring\": \"2027-01-15 "
                "09:00\", \"Content\": \"Dentist at 09:30, Harbour Street 12\" } ]\n");
}

TEST_F(HostRemindsTest, EachRemindTypeFiresOnItsDaysInRangesAndNextButNotWhenInactive) {
  ASSERT_EQ(m_host.Run({"import", NORV_EXAMPLES_DIR}).exitCode, 0);
  const auto idOf = [this](const std::string& content) {
    return m_host.Query("SELECT CN_G_ID FROM NORV_REMIND_DEF WHERE CN_S_CONTENT = '" + content +
                        "'")[0];
  };
  // "HH:MM:SS content" of the day's firings, checked in time order, sorted.
  const auto due = [this](const std::string& day) {
    const std::string json = m_host.Run({"due", "--date", day, "--json"}).out;
    Rows firings;
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
  };
  const std::string water = "08:00:00 Drink a glass of water";
  const std::string standUp = "09:30:00 每日站会 / Daily stand-up in room 4";
  const std::string gym = "18:00:00 Gym at 18:30";
  const std::pair<std::string, Rows> days[] = {
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
  for (const auto& [day, expected] : days) EXPECT_EQ(due(day), expected) << day;

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
  const std::array<std::string, 3> cases[] = {
      {"Drink a glass of water", "3", "2027-04-30 08:00\n2027-05-01 08:00\n2027-05-02 08:00\n"},
      // The deadline day's item is the last.
      {"Tax return due on 30 April", "5", "2027-04-30 08:00\n"},
      {"Submit the timesheet", "2", "2027-04-30 17:00\n2027-05-31 17:00\n"},
      {"Dentist at 09:30, Harbour Street 12", "5", ""},
  };
  for (const auto& [content, count, expected] : cases)
    EXPECT_EQ(m_host.Run({"next", idOf(content), count}).out, expected);
  // Limited to 24 firings, none used yet.
  EXPECT_EQ(hosttest::CountOf(m_host.Run({"next", idOf("Gym at 18:30"), "1000"}).out, "\n"), 24u);

  // The table shows the day; an inactive remind is not due.
  const std::string day = "2026-12-05", id = idOf("Drink a glass of water");
  EXPECT_EQ(m_host.Run({"due", "--date", day}).out,
            "due on 2026-12-05:\n"
            "TIME      ID        TYPE      RECEIVERS  CONTENT\n"
            "--------  --------  --------  ---------  ----------------------\n"
            "08:00:00  " +
                ShortId(id) + "  periodic  Alice      Drink a glass of water\n");
  ASSERT_EQ(m_host.Run({"state", id, "1"}).exitCode, 0);
  EXPECT_EQ(m_host.Run({"due", "--date", day}).out, "nothing is due on 2026-12-05\n");
  EXPECT_EQ(m_host.Run({"due", "--date", day, "--json"}).out, "[]\n");
}

TEST_F(HostRemindsTest, AddRefusesWhatCanNeverFireNamingLineAttributeAndValueUnlessForced) {
  m_host.Set("NORVREMIND_NOW", "2026-06-01 10:00:00");
  const std::string nul = hosttest::OneOffDefinition("2030-01-01 09:00:00", "a&#0;b", {"a"});
  const std::string in = "standard input:";
  const std::string receivers = "<ReceiverList><Receiver ID='a' /></ReceiverList>";
  const std::string oneOff = "<Remind Type='0' RemindTime='2030-01-01 08:00:00' SendFlag='1'>";
  // A definition whose Repeat element, on line 2, or custom style holds `part`.
  const auto periodic = [&](const std::string& part) {
    return "<Remind Type='1' SendFlag='1'><Content>c</Content>\n<Repeat RemindTime='8:00' "
           "DTStart='2030-01-01' " +
           part + " />\n" + receivers + "</Remind>";
  };
  const auto custom = [&](const std::string& part) {
    return "<Remind Type='2' InvalidDate='2030-01-10' SendFlag='1'><Content>c</Content>"
           "<RemindStyleDef>&lt;Def&gt;" +
           part + "&lt;/Def&gt;</RemindStyleDef>" + receivers + "</Remind>";
  };
  const struct {
    std::string definition;
    std::string error;  // its start, after "norvremind: "
    bool forceable;
  } cases[] = {
      {"<Remind Type='0'", in + "1:16: the definition is not well-formed XML (", false},
      {nul, in + " the definition is not well-formed XML\n", false},
      {"<?xml version='1.0' encoding='EBCDIC-US'?>" + nul,
       "cannot read standard input: the declared encoding 'ebcdic-us' is not supported", false},
      {std::string(4000, ' ') + nul,
       "cannot read standard input: larger than 4000 bytes (see --max-size)", false},
      {oneOff + receivers + "</Remind>",
       in + " not a valid definition (library: 未指定提醒的内容)\n", false},
      {"<Reminder" + oneOff.substr(7) + "<Content>c</Content>" + receivers + "</Reminder>",
       in + "1: <Reminder>: the root element of a definition is <Remind>", true},
      {"<Style Order='1'><Name>Exam</Name></Style>",
       in + "1: <Style>: this is a style, not a remind; store it with `norvremind style add`",
       false},
      {"<Remind Type='oneoff' SendFlag='1'/>", in + "1: Type=\"oneoff\": the type is 0", false},
      {periodic("RegularType='9'"), in + "2: RegularType=\"9\": ", true},
      {periodic("Interval='0'"), in + "2: Interval=\"0\": a repeat interval must be at least 1",
       true},
      {periodic("Interval='70000'"), in + "2: Interval=\"70000\": ", true},
      {periodic("RegularType='1' RegularValue='1'"),
       in + "2: RegularValue=\"1\": a weekly rule needs at least one weekday", true},
      {periodic("RegularType='2' RagularValue='40'"), in + "2: RagularValue=\"40\": ", true},
      {periodic("RegularRange='1' Num='99999999999'"), in + "2: Num=\"99999999999\": ", true},
      {periodic("DTEnd='2029-12-31'"), in + "2: DTEnd=\"2029-12-31\": the end date", true},
      {"<Remind Type='2' InvalidDate='2026-05-31' SendFlag='1'/>",
       in + "1: InvalidDate=\"2026-05-31\": the deadline has passed", false},
      {oneOff + "<Content>c</Content></Remind>", in + "1: <ReceiverList> (missing): ", true},
      {hosttest::OneOffDefinition("2026-06-01 09:59:00", "late", {"a"}),
       in + "1: RemindTime=\"2026-06-01 09:59:00\": the remind time has passed", true},
      {custom("&lt;Item Day='-3' Time='9' /&gt;"), in + "1: Day=\"-3\": ", true},
      {custom("&lt;Item Day='3' Time='9' /&gt;"), in + "1: Time=\"9\": ", true},
      {custom(""), in + "1: <Item> (missing): ", true},
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
  EXPECT_EQ(m_host.Run({"add"}, periodic("Interval='0'")).err,
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

TEST_F(HostRemindsTest, StylesKeepTheirOrderDefaultAndNamesAndBadOnesAreRefused) {
  // Runs a style command, expecting success; its output.
  const auto style = [this](std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), "style");
    const RunResult result = m_host.Run(args, input);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out;
  };
  const std::string weeklyStyle =
      "<Style><Name>Weekly review</Name><Def>&lt;Def&gt;&lt;Item Day='1' Time='9:5' /&gt;"
      "&lt;/Def&gt;</Def></Style>";
  const std::string exam =
      style({"add", NORV_EXAMPLES_DIR "/styles/exam-countdown.xml"}).substr(0, 36);
  const std::string weekly = style({"add", "--default"}, weeklyStyle).substr(0, 36);
  // Without an Order attribute a style goes after the last one.
  EXPECT_EQ(style({"list", "--xml"}),
            "<Body><Style ID='{" + exam + "}' Order='1'><Name>Exam countdown</Name></Style>" +
                "<Style ID='{" + weekly +
                "}' Order='2' IsDefault='1'><Name>Weekly review</Name></Style></Body>\n");

  EXPECT_EQ(style({"default", "exam COUNTDOWN"}), "style 'Exam countdown' is now the default\n");
  EXPECT_EQ(style({"reorder", "Weekly review", "-3"}),
            "style 'Weekly review' now has the order -3\n");
  EXPECT_EQ(style({"list", "--json"}),
            "[ { \"ID\": \"{" + weekly + "}\", \"Order\": \"-3\", \"Name\": \"Weekly review\" }, " +
                "{ \"ID\": \"{" + exam +
                "}\", \"Order\": \"1\", \"IsDefault\": \"1\", \"Name\": \"Exam countdown\" } ]\n");
  EXPECT_NE(style({"list"}).find("\n1      Exam countdown  yes      7d 19:00, 1d 19:00, 0d 07:00"),
            std::string::npos);

  EXPECT_EQ(m_host.Run({"style", "rename", "Weekly review", "EXAM countdown"}).err,
            "norvremind: cannot change style 'Weekly review': a style named 'EXAM countdown' "
            "exists already\n");
  EXPECT_EQ(style({"rename", "weekly review", "Sprint review"}),
            "style 'Weekly review' renamed to 'Sprint review'\n");
  EXPECT_NE(style({"show", "sprint review", "--json"}).find("\"Name\": \"Sprint review\""),
            std::string::npos);
  EXPECT_EQ(style({"delete", "Sprint review"}), "style 'Sprint review' deleted\n");
  EXPECT_EQ(m_host.Run({"style", "show", "Sprint review"}).err,
            "norvremind: no style named 'Sprint review'\n");

  // Bad styles are refused with the library's text and nothing is stored.
  const std::pair<std::string, std::string> cases[] = {
      {"<Style><Name>n</Name></Style>", "未设置样式的提醒定义"},
      {"<Style><Name>n</Name><Def>&lt;Def&gt;&lt;Item Time='8:00' /&gt;&lt;/Def&gt;</Def></Style>",
       "未指定提前天数 Day"},
      {"<Style><Name>n</Name>", "the style is not well-formed XML"},
      {"<Style><Name>Exam countdown</Name>" + weeklyStyle.substr(33),
       "a style named 'Exam countdown' exists already"},
  };
  for (const auto& [definition, error] : cases) {
    const RunResult result = m_host.Run({"style", "add"}, definition);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "norvremind: standard input: " + error + "\n");
  }
  EXPECT_EQ(hosttest::CountOf(style({"list", "--xml"}), "<Style "), 1u);
}

}  // namespace
