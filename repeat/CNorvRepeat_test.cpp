#include "repeat/CNorvRepeat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>

#include "NorvBackendTest.h"
#include "core/base/CNorvCommFun.h"
#include "core/base/CNorvXmlDocument.h"
#include "repeat/CNorvRemindRepeat.h"

namespace {

// A date or time as written ("T" between them), "" for none; 30 February
// is unreadable.
COleDateTime At(std::wstring text) {
  COleDateTime time;
  std::replace(text.begin(), text.end(), L'T', L' ');
  if (!text.empty()) time.ParseDateTime(text.c_str());
  return time;
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

TEST(RepeatRule, DefaultsCopiesAndTheFiringCount) {
  CNorvRepeat rule;
  EXPECT_EQ(Fields(rule), L"type=0 interval=1 value=0 range=0 num=0 count=0 start= end=");
  EXPECT_EQ(rule.IncRepeatCount() * 10 + rule.IncRepeatCount(), 12);
  rule.m_nRegularType = 2;
  rule.m_nInterval = 5;
  rule.m_nRegularValue = -3;
  rule.m_nRegularRange = 1;
  rule.m_nNum = 40;
  rule.m_dtStart = At(L"2026-02-01");
  rule.m_dtEnd = At(L"2026-11-30");
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

// From a rule that fired 3 times and ends 2027-01-01: the first failing step
// names the error (the rule's before the time's), and what was read stays.
TEST(RepeatRuleParse, ErrorsInStepOrderAndTheFieldsLeft) {
  const struct {
    const wchar_t *xml, *result, *fields = nullptr;
  } cases[] = {
      {L"<Repeat DTEnd='bad' RegularRange='1' RemindTime='bad' />", L"未指定开始日期 DTStart"},
      {L"<Repeat DTStart='bad' DTEnd='bad' RegularRange='1' />", L"指定开始日期 DTStart 无效"},
      {L"<Repeat DTStart='' />", L"指定开始日期 DTStart 无效"},
      {L"<Repeat DTStart='2026-01-01' DTEnd='2026-02-30' RegularRange='1' />",
       L"指定结束日期 DTEnd 无效"},
      {L"<Repeat DTStart='2026-01-01' RegularRange='1' Num='0' />", L"指定重复次数不正确"},
      {L"<Repeat DTStart='2026-01-01' RegularRange='1' Num='many' />", L"指定重复次数不正确"},
      {L"<Repeat DTStart='2026-01-01' />", L"未指定提醒时间"},
      {L"<Repeat DTStart='2026-01-01' RemindTime='08:30:15' />", L"指定提醒时间“08:30:15”无效"},
      {L"<Repeat DTStart='2026-01-01' RemindTime='25:00' />", L"指定提醒时间“25:00”无效",
       L"type=0 interval=1 value=0 range=0 num=0 count=3 start=2026-01-01 end=2027-01-01 25:00"},
      {L"<Repeat DTStart='nope' RemindTime='9:00' />", L"指定开始日期 DTStart 无效",
       L"type=0 interval=1 value=0 range=0 num=0 count=3 start=Invalid DateTime end=2027-01-01 "},
      {L"<Repeat DTStart='2026-03-01' RegularType='2' Interval='4' RegularValue='-1' "
       L"RegularRange='1' />",
       L"未指定重复次数",
       L"type=2 interval=4 value=-1 range=1 num=0 count=3 start=2026-03-01 end=2027-01-01 "},
      {L"<Repeat DTStart='2026-01-05 17:45:00' DTEnd='2026-12-31' RegularType='1' Interval='2' "
       L"RegularValue='124' RegularRange='1' Num='12' Count='99' RemindTime='8:05' />",
       L"ok",
       L"type=1 interval=2 value=124 range=1 num=12 count=3 start=2026-01-05 end=2026-12-31 8:05"},
      // Absent or empty attributes keep their values; Num is read only for a limit.
      {L"<Repeat DTStart='2026-01-01' DTEnd='' Num='5' RemindTime='23:59' />", L"ok",
       L"type=0 interval=1 value=0 range=0 num=0 count=3 start=2026-01-01 end=2027-01-01 23:59"},
      // A yearly rule does not read its value.
      {L"<Repeat DTStart='2026-01-01' RegularType='3' RegularValue='12' RemindTime='0:00' />",
       L"ok",
       L"type=3 interval=1 value=0 range=0 num=0 count=3 start=2026-01-01 end=2027-01-01 0:00"},
      {L"<Repeat DTStart='2026-01-01' RegularValue='12abc' RegularRange='1' Num='-5' "
       L"RemindTime='12:30' />",
       L"ok",
       L"type=0 interval=1 value=12 range=1 num=-5 count=3 start=2026-01-01 end=2027-01-01 12:30"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(CString(c.xml).ToUtf8());
    CNorvXmlDocument document;
    ASSERT_TRUE(CNorvCommFun::ParseXML(c.xml, document));
    CNorvRemindRepeat rule;
    rule.m_nCount = 3;
    rule.m_dtEnd = At(L"2027-01-01");
    CString error;
    EXPECT_EQ(rule.ParseXML(document.GetRootElement(), error) ? L"ok" : error.str(), c.result);
    if (c.fields != nullptr) {
      EXPECT_EQ(Fields(rule) + L" " + rule.m_strRemindTime.str(), c.fields);
    }
  }
}

// Dates the rule matches and misses, blank-separated; "D+n" stands for the n
// days from D on. Every rule misses a null and an unreadable date.
TEST(RepeatRuleMatch, EveryBranch) {
  const struct {
    const char* rule;
    short type, value, interval;
    const wchar_t *start, *match, *miss;
  } cases[] = {
      {"every 3 days", 0, 0, 3, L"2026-01-01",
       L"2026-01-01 2026-01-04 2026-01-04T23:59 2026-01-07T00:00:01",
       L"2026-01-02 2026-01-03T23:59:59 2025-12-31 2025-01-01"},
      {"every 7 days across a leap year", 0, 0, 7, L"2024-01-01", L"2026-01-05T12:00",
       L"2026-01-06"},
      {"daily, from its start only", 0, 0, 1, L"2026-01-01", L"2026-01-01", L"2025-12-31"},
      {"interval 0", 0, 0, 0, L"2026-01-01", L"", L"2026-01-01 2026-01-02"},
      {"no start to count from", 0, 0, 1, L"", L"", L"2026-01-01"},
      {"unreadable start", 0, 0, 1, L"2026-02-30", L"", L"2026-01-01"},
      {"monthly 15th", 2, 15, 1, L"2026-01-01", L"2026-03-15T18:00", L"2026-03-16"},
      {"monthly 31st", 2, 31, 1, L"2026-01-01", L"2026-05-31", L"2026-04-01+30"},
      {"monthly 0", 2, 0, 1, L"2026-01-01", L"", L"2026-01-01+31"},
      {"last day of the month", 2, -1, 1, L"2024-01-01",
       L"2026-02-28 2024-02-29 2026-12-31 2026-04-30",
       L"2026-02-28T08:00 2026-02-27 2024-02-28 2026-12-31T08:00 2026-12-31T00:00:01"},
      {"day before the last", 2, -2, 1, L"2024-01-01", L"2026-12-30 2028-02-28",
       L"2026-12-31 2026-02-28"},
      {"yearly", 3, 0, 1, L"2020-03-15", L"2031-03-15T07:00", L"2031-03-16 2031-04-15 2019-03-15"},
      {"yearly on 29 February", 3, 0, 1, L"2024-02-29", L"2028-02-29",
       L"2025-02-28 2025-03-01 2026-02-28 2027-03-01"},
      {"yearly without start", 3, 0, 1, L"", L"", L"2026-01-01"},
      {"Mondays from a Monday", 1, 4, 1, L"2026-01-05", L"2026-01-05", L"2025-12-29"},
      {"type 4", 4, 1, 1, L"2026-01-01", L"", L"2026-01-01+7"},
      // Sunday 2026-01-04 to Saturday 2026-01-10; weekly bit 0 is no weekday.
      {"workdays", 0, 1, 1, L"2026-01-01", L"2026-01-05T09:15+5", L"2026-01-04 2026-01-10"},
      {"weekends", 0, 2, 1, L"2026-01-01", L"2026-01-04 2026-01-10T09:15", L"2026-01-05+5"},
      {"type 0 value 3", 0, 3, 1, L"2026-01-01", L"", L"2026-01-04+7"},
      {"weekly 4", 1, 4, 1, L"2026-01-01", L"2026-01-05T09:15", L"2026-01-04 2026-01-06+5"},
      {"weekly 2", 1, 2, 1, L"2026-01-01", L"2026-01-04T09:15", L"2026-01-05+6"},
      {"weekly 130", 1, 130, 1, L"2026-01-01", L"2026-01-04 2026-01-10", L"2026-01-05+5"},
      {"weekly 124", 1, 124, 1, L"2026-01-01", L"2026-01-05+5", L"2026-01-04 2026-01-10"},
      {"weekly 0", 1, 0, 1, L"2026-01-01", L"", L"2026-01-04+7"},
      {"weekly bit 0", 1, 1, 1, L"2026-01-01", L"", L"2026-01-04+7"},
      {"type -1", -1, 1, 1, L"2026-01-01", L"", L"2026-01-01+7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    CNorvRepeat rule;
    rule.m_nRegularType = c.type;
    rule.m_nRegularValue = c.value;
    rule.m_nInterval = c.interval;
    rule.m_dtStart = At(c.start);
    for (bool expected : {true, false}) {
      std::wistringstream words(expected ? c.match : c.miss);
      for (std::wstring word; words >> word;) {
        const size_t plus = word.find(L'+');
        const int days = plus == std::wstring::npos ? 1 : std::stoi(word.substr(plus + 1));
        for (int day = 0; day < days; ++day) {
          const COleDateTime date = At(word.substr(0, plus)) + COleDateTimeSpan(day, 0, 0, 0);
          EXPECT_EQ(rule.MatchDate(date), expected) << date.Format(L"%Y-%m-%d %H:%M:%S").ToUtf8();
        }
      }
    }
    EXPECT_FALSE(rule.MatchDate(At(L"2026-02-30")));
    EXPECT_FALSE(rule.MatchDate(COleDateTime()));
  }
}

const wchar_t kRemindID[] = L"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0";

// Every third day from 2026-01-01 at 08:30, at most ten times, two fired so far.
void FillDaily(CNorvRemindRepeat& repeat) {
  repeat.m_strRemindTime = L"08:30";
  repeat.m_nInterval = 3;
  repeat.m_nRegularRange = 1;
  repeat.m_nNum = 10;
  repeat.m_nCount = 2;
  repeat.m_dtStart = At(L"2026-01-01");
}

TEST(RemindRepeatOutput, JsonAndTheOmittedParts) {
  CNorvRemindRepeat repeat;
  FillDaily(repeat);
  repeat.m_nRegularType = 2;
  repeat.m_nRegularValue = -1;
  repeat.m_dtEnd = At(L"2026-12-31");
  EXPECT_EQ(repeat.GenInfo_Json(),
            L"\"Repeat\": { \"RemindTime\": \"08:30\", \"RegularType\": \"2\", \"Interval\": "
            L"\"3\", \"RagularValue\": \"-1\", \"RegularRange\": \"1\", \"DTStart\": "
            L"\"2026-01-01\", \"DTEnd\": \"2026-12-31\", \"Num\": \"10\", \"Count\": \"2\" }");
  // A null start is an empty text; an unreadable end (30 February) is left out.
  repeat.m_nRegularRange = 2;
  repeat.m_dtStart = COleDateTime();
  repeat.m_dtEnd = At(L"2026-02-30");
  EXPECT_EQ(repeat.GenInfo_XML(),
            L"<Repeat RemindTime='08:30' RegularType='2' Interval='3' RagularValue='-1' "
            L"RegularRange='2' DTStart='' />");
}

using RemindRepeatDB = norvtest::BackendTest;

// Each step's statement, then what a load finds: a NULL end and a missing row
// leave the loading object as it was. The update leaves the count alone.
TEST_P(RemindRepeatDB, StatementsAndTheRowsTheyLeave) {
  CGuid id;
  ASSERT_TRUE(id.FromString1(kRemindID));
  const CString where = L" WHERE CN_G_REMIND_ID = '" + CString(kRemindID) + L"'";
  const auto date = [&](const wchar_t* day) {
    return dbType() == 1 ? L"to_date( '" + CString(day) + L"', 'yyyy-mm-dd' )"
                         : L"'" + CString(day) + L" 00:00:00'";
  };
  CNorvRemindRepeat repeat, loaded;
  FillDaily(repeat);
  loaded.m_dtEnd = At(L"2030-01-01");
  CString error;
  const CString insert =
      L"INSERT INTO NORV_REMIND_REPEAT ( CN_G_REMIND_ID, CN_S_REMIND_TIME, CN_N_REGULAR_TYPE, "
      L"CN_N_INTERVAL, CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_D_START, CN_D_END, "
      L"CN_N_REPEAT_NUM, CN_N_REPEAT_COUNT ) VALUES ('" +
      CString(kRemindID) + L"', '08:30', 0, 3, 0, 1, " + date(L"2026-01-01") + L", NULL, 10, 2 )";
  const struct {
    std::function<bool()> run;
    CString statement;
    const wchar_t* loaded;  // nullptr: as `repeat` shows
  } steps[] = {
      {[&] { return repeat.DBInsert(session, dbType(), id, &error); }, insert,
       L"<Repeat RemindTime='08:30' RegularType='0' Interval='3' RagularValue='0' "
       L"RegularRange='1' DTStart='2026-01-01' DTEnd='2030-01-01' Num='10' Count='2' />"},
      {[&] {
         repeat.m_strRemindTime = L"21:05";
         repeat.m_nRegularValue = 124;
         repeat.m_nCount = 9;
         repeat.m_dtEnd = At(L"2026-12-31");
         return repeat.DBUpdate(session, dbType(), id, &error);
       },
       L"UPDATE NORV_REMIND_REPEAT SET CN_S_REMIND_TIME = '21:05', CN_N_REGULAR_TYPE = 0, "
       L"CN_N_INTERVAL = 3, CN_N_REGULAR_VALUE = 124, CN_N_REPEAT_RANGE = 1, CN_D_START = " +
           date(L"2026-01-01") + L", CN_D_END = " + date(L"2026-12-31") +
           L", CN_N_REPEAT_NUM = 10" + where,
       L"<Repeat RemindTime='21:05' RegularType='0' Interval='3' RagularValue='124' "
       L"RegularRange='1' DTStart='2026-01-01' DTEnd='2026-12-31' Num='10' Count='2' />"},
      {[&] { return CNorvRemindRepeat::DBSetRepeatCount(session, id, 9, &error); },
       L"UPDATE NORV_REMIND_REPEAT SET CN_N_REPEAT_COUNT = 9" + where, nullptr},
      {[&] { return CNorvRemindRepeat::DBDelete(session, id, &error); },
       L"DELETE NORV_REMIND_REPEAT" + where, nullptr},
  };
  for (const auto& step : steps) {
    ASSERT_TRUE(step.run()) << error.ToUtf8();
    EXPECT_EQ(TakeStatement(), step.statement);
    EXPECT_TRUE(loaded.DBLoadData(session, id, &error)) << error.ToUtf8();
    EXPECT_EQ(loaded.GenInfo_XML(), step.loaded ? CString(step.loaded) : repeat.GenInfo_XML());
    EXPECT_EQ(TakeStatement(),
              L"SELECT\tCN_S_REMIND_TIME, CN_D_START, CN_D_END, CN_N_REGULAR_TYPE, "
              L"CN_N_INTERVAL, CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_N_REPEAT_NUM, "
              L"CN_N_REPEAT_COUNT FROM\tNORV_REMIND_REPEAT WHERE\tCN_G_REMIND_ID = '" +
                  CString(kRemindID) + L"'");
  }

  // One row per remind; a failing load leaves the object as it was.
  ASSERT_TRUE(repeat.DBInsert(session, dbType(), id, &error));
  statements.clear();
  EXPECT_FALSE(repeat.DBInsert(session, dbType(), id, &error));
  EXPECT_EQ(error, ReasonOf(TakeStatement()));
  Exec(L"DROP TABLE NORV_REMIND_REPEAT");
  CNorvRemindRepeat untouched;
  EXPECT_FALSE(untouched.DBLoadData(session, id, &error));
  EXPECT_EQ(error, QueryReasonOf(TakeStatement()));
  EXPECT_EQ(untouched.GenInfo_XML(), CNorvRemindRepeat().GenInfo_XML());
}

NORV_INSTANTIATE_BACKEND_TEST(RemindRepeatDB);

}  // namespace
