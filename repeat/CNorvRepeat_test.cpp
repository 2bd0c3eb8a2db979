#include "repeat/CNorvRepeat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/base/CNorvCommFun.h"
#include "core/base/CNorvXmlDocument.h"

namespace {

COleDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return COleDateTime(year, month, day, hour, minute, second);
}

// 30 February does not exist: the value is invalid.
COleDateTime Invalid() { return At(2026, 2, 30); }

std::vector<COleDateTime> Days(int year, int month, int first, int last) {
  std::vector<COleDateTime> days;
  for (int day = first; day <= last; ++day) days.push_back(At(year, month, day));
  return days;
}

// Every field but the lock, in one line.
std::wstring Fields(const CNorvRepeat& rule) {
  CString text;
  text.Format(L"type=%d interval=%d value=%d range=%d num=%d count=%d start=%s end=%s",
              rule.m_nRegularType, rule.m_nInterval, rule.m_nRegularValue, rule.m_nRegularRange,
              rule.m_nNum, rule.m_nCount, rule.m_dtStart.Format(L"%Y-%m-%d"),
              rule.m_dtEnd.Format(L"%Y-%m-%d"));
  return text.str();
}

// Parses `xml` into `rule`: the error text, or "ok".
std::wstring Parse(CNorvRepeat& rule, const wchar_t* xml) {
  CNorvXmlDocument document;
  EXPECT_TRUE(CNorvCommFun::ParseXML(xml, document)) << CString(xml).ToUtf8();
  CString error;
  return rule.ParseXML(document.GetRootElement(), error) ? L"ok" : error.str();
}

TEST(RepeatRule, DefaultsCopiesAndTheFiringCount) {
  CNorvRepeat rule;
  EXPECT_EQ(Fields(rule), L"type=0 interval=1 value=0 range=0 num=0 count=0 start= end=");
  EXPECT_EQ(rule.IncRepeatCount(), 1);
  EXPECT_EQ(rule.IncRepeatCount(), 2);
  rule.m_nRegularType = 2;
  rule.m_nInterval = 5;
  rule.m_nRegularValue = -3;
  rule.m_nRegularRange = 1;
  rule.m_nNum = 40;
  rule.m_dtStart = At(2026, 2, 1);
  rule.m_dtEnd = At(2026, 11, 30);
  CNorvRepeat copy, back;
  copy.SetInfo(&rule);
  copy.GetInfo(&back);
  EXPECT_EQ(Fields(back),
            L"type=2 interval=5 value=-3 range=1 num=40 count=2 start=2026-02-01 "
            L"end=2026-11-30");
  int num = 0, count = 0;
  back.GetRepeatNum(num, count);
  EXPECT_EQ(std::vector<int>({back.GetReqularType(), back.GetInterval(), back.GetRegularValue(),
                              back.GetRegularRange(), back.GetRepeatNum(), num, count}),
            std::vector<int>({2, 5, -3, 1, 40, 40, 2}));
}

// Each definition is wrong in one respect, and a later step would fail too:
// the first failing step names the error.
TEST(RepeatRuleParse, ErrorsComeInStepOrder) {
  const struct {
    const wchar_t* xml;
    const wchar_t* error;
  } cases[] = {
      {L"<Repeat DTEnd='bad' RegularRange='1' />", L"未指定开始日期 DTStart"},
      {L"<Repeat DTStart='bad' DTEnd='bad' RegularRange='1' />", L"指定开始日期 DTStart 无效"},
      {L"<Repeat DTStart='' />", L"指定开始日期 DTStart 无效"},
      {L"<Repeat DTStart='2026-01-01' DTEnd='2026-02-30' RegularRange='1' />",
       L"指定结束日期 DTEnd 无效"},
      {L"<Repeat DTStart='2026-01-01' RegularRange='1' />", L"未指定重复次数"},
      {L"<Repeat DTStart='2026-01-01' RegularRange='1' Num='0' />", L"指定重复次数不正确"},
      {L"<Repeat DTStart='2026-01-01' RegularRange='1' Num='many' />", L"指定重复次数不正确"},
  };
  for (const auto& c : cases) {
    CNorvRepeat rule;
    EXPECT_EQ(Parse(rule, c.xml), c.error) << CString(c.xml).ToUtf8();
  }
}

// Every case starts from a rule that has fired 3 times and ends 2027-01-01.
TEST(RepeatRuleParse, FieldsAfterAParse) {
  const struct {
    const wchar_t* xml;
    const wchar_t* result;
    const wchar_t* fields;
  } cases[] = {
      {L"<Repeat DTStart='2026-01-05 17:45:00' DTEnd='2026-12-31' RegularType='1' Interval='2' "
       L"RegularValue='124' RegularRange='1' Num='12' Count='99' />",
       L"ok",
       L"type=1 interval=2 value=124 range=1 num=12 count=3 start=2026-01-05 end=2026-12-31"},
      // Absent or empty attributes keep their values; Num is read only for a limit.
      {L"<Repeat DTStart='2026-01-01' DTEnd='' Num='5' />", L"ok",
       L"type=0 interval=1 value=0 range=0 num=0 count=3 start=2026-01-01 end=2027-01-01"},
      // A yearly rule does not read its value.
      {L"<Repeat DTStart='2026-01-01' RegularType='3' RegularValue='12' />", L"ok",
       L"type=3 interval=1 value=0 range=0 num=0 count=3 start=2026-01-01 end=2027-01-01"},
      {L"<Repeat DTStart='2026-01-01' RegularValue='12abc' RegularRange='1' Num='-5' />", L"ok",
       L"type=0 interval=1 value=12 range=1 num=-5 count=3 start=2026-01-01 end=2027-01-01"},
      // A failure keeps what was read before it.
      {L"<Repeat DTStart='nope' />", L"指定开始日期 DTStart 无效",
       L"type=0 interval=1 value=0 range=0 num=0 count=3 start=Invalid DateTime end=2027-01-01"},
      {L"<Repeat DTStart='2026-03-01' RegularType='2' Interval='4' RegularValue='-1' "
       L"RegularRange='1' />",
       L"未指定重复次数",
       L"type=2 interval=4 value=-1 range=1 num=0 count=3 start=2026-03-01 end=2027-01-01"},
  };
  for (const auto& c : cases) {
    CNorvRepeat rule;
    rule.m_nCount = 3;
    rule.m_dtEnd = At(2027, 1, 1);
    EXPECT_EQ(Parse(rule, c.xml), c.result) << CString(c.xml).ToUtf8();
    EXPECT_EQ(Fields(rule), c.fields);
  }
}

TEST(RepeatRuleMatch, EveryBranch) {
  const struct {
    const char* rule;
    short type, value, interval;
    COleDateTime start;
    std::vector<COleDateTime> match, miss;
  } cases[] = {
      {"every 3 days",
       0,
       0,
       3,
       At(2026, 1, 1),
       {At(2026, 1, 1), At(2026, 1, 4), At(2026, 1, 4, 23, 59), At(2026, 1, 7, 0, 0, 1)},
       {At(2026, 1, 2), At(2026, 1, 3, 23, 59, 59), At(2025, 12, 31), At(2025, 1, 1)}},
      {"every 7 days across a leap year",
       0,
       0,
       7,
       At(2024, 1, 1),
       {At(2026, 1, 5, 12)},
       {At(2026, 1, 6)}},
      {"interval 0", 0, 0, 0, At(2026, 1, 1), {}, {At(2026, 1, 1), At(2026, 1, 2)}},
      {"no start to count from", 0, 0, 1, COleDateTime(), {}, {At(2026, 1, 1)}},
      {"unreadable start", 0, 0, 1, Invalid(), {}, {At(2026, 1, 1)}},
      {"monthly 15th", 2, 15, 1, At(2026, 1, 1), {At(2026, 3, 15, 18)}, {At(2026, 3, 16)}},
      {"monthly 31st", 2, 31, 1, At(2026, 1, 1), {At(2026, 5, 31)}, Days(2026, 4, 1, 30)},
      {"monthly 0", 2, 0, 1, At(2026, 1, 1), {}, Days(2026, 1, 1, 31)},
      {"last day of the month",
       2,
       -1,
       1,
       At(2024, 1, 1),
       {At(2026, 2, 28), At(2024, 2, 29), At(2026, 12, 31), At(2026, 4, 30)},
       {At(2026, 2, 28, 8), At(2026, 2, 27), At(2024, 2, 28), At(2026, 12, 31, 8),
        At(2026, 12, 31, 0, 0, 1)}},
      {"day before the last",
       2,
       -2,
       1,
       At(2024, 1, 1),
       {At(2026, 12, 30), At(2028, 2, 28)},
       {At(2026, 12, 31), At(2026, 2, 28)}},
      {"yearly",
       3,
       0,
       1,
       At(2020, 3, 15),
       {At(2031, 3, 15, 7)},
       {At(2031, 3, 16), At(2031, 4, 15), At(2019, 3, 15)}},
      {"yearly on 29 February",
       3,
       0,
       1,
       At(2024, 2, 29),
       {At(2028, 2, 29)},
       {At(2025, 2, 28), At(2025, 3, 1), At(2026, 2, 28), At(2027, 3, 1)}},
      {"yearly without start", 3, 0, 1, COleDateTime(), {}, {At(2026, 1, 1)}},
      {"Mondays from a Monday", 1, 4, 1, At(2026, 1, 5), {At(2026, 1, 5)}, {At(2025, 12, 29)}},
      {"type 4", 4, 1, 1, At(2026, 1, 1), {}, Days(2026, 1, 1, 7)},
      {"type -1", -1, 1, 1, At(2026, 1, 1), {}, Days(2026, 1, 1, 7)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    CNorvRepeat rule;
    rule.m_nRegularType = c.type;
    rule.m_nRegularValue = c.value;
    rule.m_nInterval = c.interval;
    rule.m_dtStart = c.start;
    for (const COleDateTime& date : c.match) EXPECT_TRUE(rule.MatchDate(date)) << date.m_dt;
    for (const COleDateTime& date : c.miss) EXPECT_FALSE(rule.MatchDate(date)) << date.m_dt;
    EXPECT_FALSE(rule.MatchDate(Invalid()));
    EXPECT_FALSE(rule.MatchDate(COleDateTime()));
  }
}

// Which days of the week from Sunday 2026-01-04 to Saturday 2026-01-10 match,
// as "1" or "0" from Sunday to Saturday.
TEST(RepeatRuleMatch, WeekdayRules) {
  const struct {
    short type, value;
    const wchar_t* week;
  } cases[] = {
      {0, 1, L"0111110"},   {0, 2, L"1000001"},   {0, 3, L"0000000"},
      {1, 4, L"0100000"},   {1, 2, L"1000000"},   {1, 0, L"0000000"},
      {1, 130, L"1000001"}, {1, 124, L"0111110"}, {1, 1, L"0000000"},  // bit 0 is no weekday
  };
  for (const auto& c : cases) {
    CNorvRepeat rule;
    rule.m_nRegularType = c.type;
    rule.m_nRegularValue = c.value;
    rule.m_dtStart = At(2026, 1, 1);
    std::wstring week;
    for (int day = 4; day <= 10; ++day)
      week += rule.MatchDate(At(2026, 1, day, 9, 15)) ? L'1' : L'0';
    EXPECT_EQ(week, c.week) << "type " << c.type << " value " << c.value;
  }
}

}  // namespace
