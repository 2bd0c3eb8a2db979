// The style commands: storing styles, their display order, the default
// flag, renaming, and the library's style list texts.
#include <gtest/gtest.h>

#include "host/HostTestRun.h"

namespace {

using hosttest::RunResult;

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
      Style({"add", hosttest::Example("styles/exam-countdown.xml")}).substr(0, 36);
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
