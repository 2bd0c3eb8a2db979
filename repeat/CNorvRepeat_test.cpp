#include "repeat/CNorvRepeat.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/CNorvCommFun.h"
#include "core/CNorvXmlDocument.h"

namespace {

COleDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return COleDateTime(year, month, day, hour, minute, second);
}

// A repeat element; the view keeps its document alive.
CNorvXmlNode Element(const wchar_t* xml) {
  CNorvXmlDocument document;
  EXPECT_TRUE(CNorvCommFun::ParseXML(xml, document)) << CString(xml).ToUtf8();
  return document.GetRootElement();
}

class RuleTest : public ::testing::Test {
 protected:
  void Rule(short type, short value, COleDateTime start = At(2026, 1, 1), short interval = 1) {
    rule.m_nRegularType = type;
    rule.m_nRegularValue = value;
    rule.m_dtStart = start;
    rule.m_nInterval = interval;
  }
  // Which of the seven days from Sunday 2026-01-04 to Saturday 2026-01-10 match.
  std::vector<bool> Week() const {
    std::vector<bool> days;
    for (int day = 4; day <= 10; ++day) days.push_back(rule.MatchDate(At(2026, 1, day, 9, 15)));
    return days;
  }

  CNorvRepeat rule;
};

TEST(RepeatDefaults, NewRuleHasDefaultsAndCountsFirings) {
  CNorvRepeat rule;
  EXPECT_EQ(rule.GetReqularType(), 0);
  EXPECT_EQ(rule.GetInterval(), 1);
  EXPECT_EQ(rule.GetRegularValue(), 0);
  EXPECT_EQ(rule.GetRegularRange(), 0);
  EXPECT_EQ(rule.GetRepeatNum(), 0);
  EXPECT_EQ(rule.m_dtStart.GetStatus(), COleDateTime::null);
  EXPECT_EQ(rule.m_dtEnd.GetStatus(), COleDateTime::null);

  EXPECT_EQ(rule.IncRepeatCount(), 1);
  EXPECT_EQ(rule.IncRepeatCount(), 2);
  rule.m_nNum = 9;
  int num = 0, count = 0;
  rule.GetRepeatNum(num, count);
  EXPECT_EQ(num, 9);
  EXPECT_EQ(count, 2);
}

TEST(RepeatCopy, SetInfoAndGetInfoCopyEveryField) {
  CNorvRepeat source;
  source.m_nRegularType = 2;
  source.m_nInterval = 5;
  source.m_nRegularValue = -3;
  source.m_nRegularRange = 1;
  source.m_nNum = 40;
  source.m_nCount = 7;
  source.m_dtStart = At(2026, 2, 1);
  source.m_dtEnd = At(2026, 11, 30);

  CNorvRepeat copy;
  copy.SetInfo(&source);
  CNorvRepeat back;
  copy.GetInfo(&back);
  for (const CNorvRepeat* rule : {&copy, &back}) {
    EXPECT_EQ(rule->m_nRegularType, 2);
    EXPECT_EQ(rule->m_nInterval, 5);
    EXPECT_EQ(rule->m_nRegularValue, -3);
    EXPECT_EQ(rule->m_nRegularRange, 1);
    EXPECT_EQ(rule->m_nNum, 40);
    EXPECT_EQ(rule->m_nCount, 7);
    EXPECT_EQ(rule->m_dtStart, At(2026, 2, 1));
    EXPECT_EQ(rule->m_dtEnd, At(2026, 11, 30));
  }
}

TEST(RepeatTime, IsValidTimeAcceptsHoursAndMinutesOnly) {
  CNorvRepeat rule;
  for (const wchar_t* good : {L"8:30", L"08:30", L"0:00", L"23:59"}) {
    EXPECT_TRUE(rule.IsValidTime(good)) << CString(good).ToUtf8();
  }
  for (const wchar_t* bad : {L"25:00", L"8:61", L"abc", L"", L"08:30:15"}) {
    EXPECT_FALSE(rule.IsValidTime(bad)) << CString(bad).ToUtf8();
  }
}

TEST(RepeatParse, ErrorsComeInStepOrder) {
  struct Case {
    const wchar_t* xml;
    const wchar_t* error;
  };
  const Case cases[] = {
      {L"<Repeat DTEnd='bad' RegularRange='1' />", L"未指定开始日期 DTStart"},
      {L"<Repeat DTStart='bad' DTEnd='bad' RegularRange='1' />", L"指定开始日期 DTStart 无效"},
      {L"<Repeat DTStart='' />", L"指定开始日期 DTStart 无效"},
      {L"<Repeat DTStart='2026-01-01' DTEnd='2026-02-30' RegularRange='1' />",
       L"指定结束日期 DTEnd 无效"},
      {L"<Repeat DTStart='2026-01-01' RegularRange='1' />", L"未指定重复次数"},
      {L"<Repeat DTStart='2026-01-01' RegularRange='1' Num='0' />", L"指定重复次数不正确"},
      {L"<Repeat DTStart='2026-01-01' RegularRange='1' Num='65536' />", L"指定重复次数不正确"},
      {L"<Repeat DTStart='2026-01-01' RegularRange='1' Num='many' />", L"指定重复次数不正确"},
  };
  for (const Case& c : cases) {
    CNorvRepeat rule;
    CString error;
    EXPECT_FALSE(rule.ParseXML(Element(c.xml), error)) << CString(c.xml).ToUtf8();
    EXPECT_EQ(error, c.error) << CString(c.xml).ToUtf8() << " gave " << error.ToUtf8();
  }
}

TEST(RepeatParse, FailureKeepsWhatWasReadBefore) {
  CNorvRepeat rule;
  CString error;
  EXPECT_FALSE(rule.ParseXML(Element(L"<Repeat DTStart='nope' />"), error));
  EXPECT_EQ(rule.m_dtStart.GetStatus(), COleDateTime::invalid);

  EXPECT_FALSE(rule.ParseXML(Element(L"<Repeat DTStart='2026-03-01' RegularType='2' Interval='4' "
                                     L"RegularValue='-1' RegularRange='1' />"),
                             error));
  EXPECT_EQ(rule.m_dtStart, At(2026, 3, 1));
  EXPECT_EQ(rule.m_nRegularType, 2);
  EXPECT_EQ(rule.m_nInterval, 4);
  EXPECT_EQ(rule.m_nRegularValue, -1);
  EXPECT_EQ(rule.m_nRegularRange, 1);
}

TEST(RepeatParse, ReadsEveryAttribute) {
  CNorvRepeat rule;
  rule.m_nCount = 3;
  CString error;
  ASSERT_TRUE(rule.ParseXML(Element(L"<Repeat DTStart='2026-01-05 17:45:00' DTEnd='2026-12-31' "
                                    L"RegularType='1' Interval='2' RegularValue='124' "
                                    L"RegularRange='1' Num='12' Count='99' />"),
                            error))
      << error.ToUtf8();
  EXPECT_EQ(rule.m_dtStart, At(2026, 1, 5));  // time of day dropped
  EXPECT_EQ(rule.m_dtEnd, At(2026, 12, 31));
  EXPECT_EQ(rule.m_nRegularType, 1);
  EXPECT_EQ(rule.m_nInterval, 2);
  EXPECT_EQ(rule.m_nRegularValue, 124);
  EXPECT_EQ(rule.m_nRegularRange, 1);
  EXPECT_EQ(rule.m_nNum, 12);
  EXPECT_EQ(rule.m_nCount, 3);  // never taken from a definition
}

TEST(RepeatParse, AbsentAttributesKeepTheirValues) {
  CNorvRepeat rule;
  rule.m_dtEnd = At(2027, 1, 1);
  CString error;
  ASSERT_TRUE(rule.ParseXML(Element(L"<Repeat DTStart='2026-01-01' DTEnd='' />"), error));
  EXPECT_EQ(rule.m_dtEnd, At(2027, 1, 1));
  EXPECT_EQ(rule.m_nInterval, 1);

  CNorvRepeat fresh;
  ASSERT_TRUE(fresh.ParseXML(Element(L"<Repeat DTStart='2026-01-01' DTEnd='' Num='5' />"), error));
  EXPECT_EQ(fresh.m_dtEnd.GetStatus(), COleDateTime::null);
  EXPECT_EQ(fresh.m_nNum, 0);  // no limit asked for, so Num is not read
}

TEST(RepeatParse, NumbersKeepTheirFieldWidth) {
  CNorvRepeat rule;
  CString error;
  ASSERT_TRUE(rule.ParseXML(Element(L"<Repeat DTStart='2026-01-01' RegularType='65539' "
                                    L"RegularValue='12abc' RegularRange='1' Num='70000' />"),
                            error));
  EXPECT_EQ(rule.m_nRegularType, 3);
  EXPECT_EQ(rule.m_nRegularValue, 0);  // a yearly rule does not read its value
  EXPECT_EQ(rule.m_nNum, 70000 - 65536);

  CNorvRepeat negative;
  ASSERT_TRUE(negative.ParseXML(Element(L"<Repeat DTStart='2026-01-01' RegularValue='12abc' "
                                        L"RegularRange='1' Num='-5' />"),
                                error));
  EXPECT_EQ(negative.m_nRegularValue, 12);
  EXPECT_EQ(negative.m_nNum, -5);
}

TEST_F(RuleTest, DailyIntervalCountsWholeDaysFromTheStart) {
  Rule(0, 0, At(2026, 1, 1), 3);
  EXPECT_TRUE(rule.MatchDate(At(2026, 1, 1)));
  EXPECT_FALSE(rule.MatchDate(At(2026, 1, 2)));
  EXPECT_TRUE(rule.MatchDate(At(2026, 1, 4)));
  EXPECT_TRUE(rule.MatchDate(At(2026, 1, 4, 23, 59)));
  EXPECT_FALSE(rule.MatchDate(At(2026, 1, 3, 23, 59, 59)));
  EXPECT_TRUE(rule.MatchDate(At(2026, 1, 7, 0, 0, 1)));
  for (int day = 1; day <= 31; ++day) EXPECT_FALSE(rule.MatchDate(At(2025, 12, day))) << day;

  Rule(0, 0, At(2024, 1, 1), 7);  // 731 days to 2026-01-01, a leap year between
  EXPECT_TRUE(rule.MatchDate(At(2026, 1, 5, 12)));
  EXPECT_FALSE(rule.MatchDate(At(2026, 1, 6)));
}

TEST_F(RuleTest, DailyIntervalWithoutIntervalOrStartNeverFires) {
  Rule(0, 0, At(2026, 1, 1), 0);
  EXPECT_FALSE(rule.MatchDate(At(2026, 1, 1)));
  EXPECT_FALSE(rule.MatchDate(At(2026, 1, 2)));

  Rule(0, 0, COleDateTime(), 1);
  EXPECT_FALSE(rule.MatchDate(At(2026, 1, 1)));
  COleDateTime invalid;
  invalid.SetStatus(COleDateTime::invalid);
  Rule(0, 0, invalid, 1);
  EXPECT_FALSE(rule.MatchDate(At(2026, 1, 1)));
}

TEST_F(RuleTest, DailyWorkingDaysAndWeekends) {
  Rule(0, 1);
  EXPECT_EQ(Week(), (std::vector<bool>{false, true, true, true, true, true, false}));
  Rule(0, 2);
  EXPECT_EQ(Week(), (std::vector<bool>{true, false, false, false, false, false, true}));
  Rule(0, 3);
  EXPECT_EQ(Week(), std::vector<bool>(7, false));
}

TEST_F(RuleTest, WeeklyMaskChoosesWeekdays) {
  Rule(1, 4);
  EXPECT_EQ(Week(), (std::vector<bool>{false, true, false, false, false, false, false}));
  Rule(1, 2);
  EXPECT_EQ(Week(), (std::vector<bool>{true, false, false, false, false, false, false}));
  Rule(1, 0);
  EXPECT_EQ(Week(), std::vector<bool>(7, false));
  Rule(1, 130);
  EXPECT_EQ(Week(), (std::vector<bool>{true, false, false, false, false, false, true}));
  Rule(1, 124);
  EXPECT_EQ(Week(), (std::vector<bool>{false, true, true, true, true, true, false}));
  Rule(1, 1);  // bit 0 is no weekday
  EXPECT_EQ(Week(), std::vector<bool>(7, false));
}

TEST_F(RuleTest, MonthlyDayFromTheStartOfTheMonth) {
  Rule(2, 15);
  EXPECT_TRUE(rule.MatchDate(At(2026, 3, 15, 18)));
  EXPECT_FALSE(rule.MatchDate(At(2026, 3, 16)));
  Rule(2, 31);
  for (int day = 1; day <= 30; ++day) EXPECT_FALSE(rule.MatchDate(At(2026, 4, day))) << day;
  EXPECT_TRUE(rule.MatchDate(At(2026, 5, 31)));
  Rule(2, 0);
  for (int day = 1; day <= 31; ++day) EXPECT_FALSE(rule.MatchDate(At(2026, 1, day))) << day;
}

TEST_F(RuleTest, MonthlyDayFromTheEndMatchesAtMidnightOnly) {
  Rule(2, -1, At(2024, 1, 1));
  EXPECT_TRUE(rule.MatchDate(At(2026, 2, 28)));
  EXPECT_FALSE(rule.MatchDate(At(2026, 2, 28, 8)));
  EXPECT_FALSE(rule.MatchDate(At(2026, 2, 27)));
  EXPECT_TRUE(rule.MatchDate(At(2024, 2, 29)));
  EXPECT_FALSE(rule.MatchDate(At(2024, 2, 28)));
  EXPECT_TRUE(rule.MatchDate(At(2026, 12, 31)));
  EXPECT_FALSE(rule.MatchDate(At(2026, 12, 31, 8)));
  EXPECT_TRUE(rule.MatchDate(At(2026, 4, 30)));
  Rule(2, -2, At(2024, 1, 1));
  EXPECT_TRUE(rule.MatchDate(At(2026, 12, 30)));
  EXPECT_FALSE(rule.MatchDate(At(2026, 12, 31)));
  EXPECT_TRUE(rule.MatchDate(At(2028, 2, 28)));
}

TEST_F(RuleTest, YearlyUsesTheStartsMonthAndDay) {
  Rule(3, 0, At(2020, 3, 15));
  EXPECT_TRUE(rule.MatchDate(At(2031, 3, 15, 7)));
  EXPECT_FALSE(rule.MatchDate(At(2031, 3, 16)));
  EXPECT_FALSE(rule.MatchDate(At(2031, 4, 15)));

  Rule(3, 0, At(2024, 2, 29));
  EXPECT_TRUE(rule.MatchDate(At(2028, 2, 29)));
  for (int year = 2025; year <= 2027; ++year) {
    EXPECT_FALSE(rule.MatchDate(At(year, 2, 28))) << year;
    EXPECT_FALSE(rule.MatchDate(At(year, 3, 1))) << year;
  }

  Rule(3, 0, COleDateTime());
  EXPECT_FALSE(rule.MatchDate(At(2026, 1, 1)));
}

TEST_F(RuleTest, NothingBeforeTheStartUnknownTypesOrInvalidDates) {
  Rule(1, 4, At(2026, 1, 5));
  EXPECT_FALSE(rule.MatchDate(At(2025, 12, 29)));  // a Monday before the start
  EXPECT_TRUE(rule.MatchDate(At(2026, 1, 5)));

  COleDateTime invalid;
  invalid.SetStatus(COleDateTime::invalid);
  for (short type : {0, 1, 2, 3}) {
    Rule(type, type == 1 ? short(254) : short(1));
    EXPECT_FALSE(rule.MatchDate(invalid)) << type;
    EXPECT_FALSE(rule.MatchDate(COleDateTime())) << type;
  }
  for (short type : {4, -1, 100}) {
    Rule(type, 1);
    for (int day = 1; day <= 31; ++day) EXPECT_FALSE(rule.MatchDate(At(2026, 1, day))) << type;
  }
}

}  // namespace
