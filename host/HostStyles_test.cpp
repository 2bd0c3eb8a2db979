// The style commands: storing styles from style elements, the display
// order, the default flag, renaming, and the library's style list texts.
#include <gtest/gtest.h>

#include "NorvTestSupport.h"
#include "host/HostTestRun.h"

namespace {

using hosttest::HostEnvironment;
using hosttest::RunResult;

std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string Style(const std::string& name, const std::string& order = "") {
  return "<Style" + (order.empty() ? "" : " Order='" + order + "'") + "><Name>" + name +
         "</Name><Def>&lt;Def&gt;&lt;Item Day='1' Time='9:5' /&gt;&lt;/Def&gt;</Def></Style>";
}

class HostStylesTest : public testing::Test {
 protected:
  norvtest::TempDir m_dir;
  HostEnvironment m_host{m_dir.path()};
};

TEST_F(HostStylesTest, StylesKeepTheirOrderDefaultAndNames) {
  const RunResult exam =
      m_host.Run({"style", "add", std::string(NORV_EXAMPLES_DIR) + "/styles/exam-countdown.xml"});
  ASSERT_EQ(exam.exitCode, 0) << exam.err;
  const std::string examID = Trimmed(exam.out);
  const RunResult weekly = m_host.Run({"style", "add", "--default"}, Style("Weekly review"));
  ASSERT_EQ(weekly.exitCode, 0) << weekly.err;
  const std::string weeklyID = Trimmed(weekly.out);

  // Without an Order attribute a style goes after the last one.
  EXPECT_EQ(m_host.Run({"style", "list", "--xml"}).out,
            "<Body><Style ID='{" + examID + "}' Order='1'><Name>Exam countdown</Name></Style>"
            "<Style ID='{" + weeklyID + "}' Order='2' IsDefault='1'><Name>Weekly review</Name>"
            "</Style></Body>\n");

  EXPECT_EQ(m_host.Run({"style", "default", "exam COUNTDOWN"}).exitCode, 0);
  EXPECT_EQ(m_host.Run({"style", "reorder", "Weekly review", "-3"}).exitCode, 0);
  EXPECT_EQ(m_host.Run({"style", "list", "--json"}).out,
            "[ { \"ID\": \"{" + weeklyID + "}\", \"Order\": \"-3\", \"Name\": \"Weekly review\" }, "
            "{ \"ID\": \"{" + examID + "}\", \"Order\": \"1\", \"IsDefault\": \"1\", \"Name\": "
            "\"Exam countdown\" } ]\n");

  const RunResult table = m_host.Run({"style", "list"});
  EXPECT_NE(table.out.find("1d 09:05"), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("7d 19:00, 1d 19:00, 0d 07:00"), std::string::npos) << table.out;

  const RunResult clash = m_host.Run({"style", "rename", "Weekly review", "EXAM countdown"});
  EXPECT_EQ(clash.exitCode, 1);
  EXPECT_NE(clash.err.find("a style named 'EXAM countdown' exists already"), std::string::npos);
  EXPECT_EQ(m_host.Run({"style", "rename", "weekly review", "Sprint review"}).exitCode, 0);
  const RunResult renamed = m_host.Run({"style", "show", "sprint review", "--json"});
  EXPECT_EQ(renamed.exitCode, 0) << renamed.err;
  EXPECT_NE(renamed.out.find("\"Name\": \"Sprint review\""), std::string::npos) << renamed.out;
  EXPECT_NE(renamed.out.find("\"Creator\": \"tester\""), std::string::npos) << renamed.out;
  EXPECT_EQ(m_host.Run({"style", "show", "Weekly review"}).exitCode, 1);

  EXPECT_EQ(m_host.Run({"style", "delete", "Sprint review"}).exitCode, 0);
  EXPECT_EQ(m_host.Run({"style", "list", "--xml"}).out,
            "<Body><Style ID='{" + examID + "}' Order='1' IsDefault='1'><Name>Exam countdown"
            "</Name></Style></Body>\n");
}

TEST_F(HostStylesTest, BadStylesAreRefusedWithTheLibrarysTextAndNothingIsStored) {
  const RunResult noName = m_host.Run({"style", "add"}, "<Style><Def>x</Def></Style>");
  EXPECT_EQ(noName.exitCode, 1);
  EXPECT_EQ(noName.err, "norvremind: standard input: 未指定样式名称\n");
  const RunResult noDef = m_host.Run({"style", "add"}, "<Style><name>n</name></Style>");
  EXPECT_EQ(noDef.err, "norvremind: standard input: 未设置样式的提醒定义\n");
  const RunResult badItem = m_host.Run(
      {"style", "add"}, "<Style><Name>n</Name><Def>&lt;Def&gt;&lt;Item Time='08:00' /&gt;"
                        "&lt;/Def&gt;</Def></Style>");
  EXPECT_EQ(badItem.err, "norvremind: standard input: 未指定提前天数 Day\n");
  const RunResult notXml = m_host.Run({"style", "add"}, "<Style><Name>n</Name><Def>oops</Def></Style>");
  EXPECT_EQ(notXml.err, "norvremind: standard input: XML数据格式异常\n");

  ASSERT_EQ(m_host.Run({"style", "add"}, Style("Only", "4")).exitCode, 0);
  const RunResult duplicate = m_host.Run({"style", "add"}, Style("ONLY"));
  EXPECT_EQ(duplicate.exitCode, 1);
  EXPECT_NE(duplicate.err.find("a style named 'ONLY' exists already"), std::string::npos);
  EXPECT_EQ(hosttest::CountOf(m_host.Run({"style", "list", "--xml"}).out, "<Style "), 1u);
  EXPECT_EQ(m_host.Run({"style", "default", "missing"}).exitCode, 1);
  EXPECT_EQ(m_host.Run({"style", "reorder", "Only", "x"}).exitCode, 2);
}

}  // namespace
