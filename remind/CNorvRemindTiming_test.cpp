#include <gtest/gtest.h>

#include <string>

#include "remind/CNorvRemind.h"

namespace {

COleDateTime At(int year, int month, int day, int hour = 0, int minute = 0) {
  return COleDateTime(year, month, day, hour, minute, 0);
}

// 30 February does not exist: the value is invalid.
const COleDateTime kInvalid = At(2024, 2, 30);

CNorvBasePtr<CNorvRemindStyleItem> MakeItem(int day, const wchar_t* time) {
  CNorvBasePtr<CNorvRemindStyleItem> item(new CNorvRemindStyleItem);
  item->m_nDay = day;
  item->m_strTime = time;
  return item;
}

// The times as texts joined by blanks; an invalid time shows as such.
std::wstring Texts(const std::list<COleDateTime>& times) {
  std::wstring out;
  for (const COleDateTime& time : times) {
    out += (out.empty() ? L"" : L" ") + time.Format(L"%Y-%m-%d_%H:%M").str();
  }
  return out;
}

// One remind of each type: a one-off at 2024-05-08 09:30; every second day
// from 2024-05-01 at 07:45; deadline 2024-05-10 with the items (0, 09:00),
// (1, 14:00), (1, 08:00) in this order.
class RemindTiming : public ::testing::Test {
 protected:
  RemindTiming() {
    oneOff.m_dtRemind = At(2024, 5, 8, 9, 30);
    periodic.m_nType = CNorvRemind::kPeriodic;
    periodic.m_Repeat.m_nInterval = 2;
    periodic.m_Repeat.m_dtStart = At(2024, 5, 1);
    periodic.m_Repeat.m_strRemindTime = L"07:45";
    custom.m_nType = CNorvRemind::kCustomStyle;
    custom.m_dtInvalid = At(2024, 5, 10);
    custom.m_lstStyleItem = {MakeItem(0, L"09:00"), MakeItem(1, L"14:00"), MakeItem(1, L"08:00")};
  }

  CNorvRemind oneOff, periodic, custom, unset;
};

TEST_F(RemindTiming, NeedRemindAndIsInvalidAroundTheBoundaries) {
  oneOff.m_dtInvalid = At(2024, 5, 9);  // never consulted for a one-off remind
  const struct {
    const char* what;
    CNorvRemind& remind;
    COleDateTime day;
    bool need, invalid;
  } cases[] = {
      {"one-off the day before", oneOff, At(2024, 5, 7, 23, 59), false, false},
      {"one-off at midnight", oneOff, At(2024, 5, 8), true, false},
      {"one-off late on its day", oneOff, At(2024, 5, 8, 23, 59), true, false},
      {"one-off the day after", oneOff, At(2024, 5, 9), false, false},
      {"one-off on a null day", oneOff, COleDateTime(), false, false},
      {"no remind time", unset, At(2024, 5, 8), false, false},
      {"periodic before its start", periodic, At(2024, 4, 29), false, false},
      {"periodic on its start", periodic, At(2024, 5, 1), true, false},
      {"periodic between", periodic, At(2024, 5, 2), false, false},
      {"periodic late on a day", periodic, At(2024, 5, 3, 23, 59), true, false},
      {"custom two days ahead", custom, At(2024, 5, 8), false, false},
      {"custom the day before", custom, At(2024, 5, 9), true, false},
      {"custom on the deadline", custom, At(2024, 5, 10), true, true},
      {"custom after the deadline", custom, At(2024, 5, 10, 0, 1), false, true},
      // 09:00 two days ahead counts as one day: the item of day 1 fires.
      {"custom with a time of day", custom, At(2024, 5, 8, 9, 0), true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.remind.NeedRemind(c.day), c.need) << c.what;
    EXPECT_EQ(c.remind.IsInvalid(c.day), c.invalid) << c.what;
  }

  unset.m_dtRemind = kInvalid;
  EXPECT_FALSE(unset.NeedRemind(kInvalid));
  // Neither a passed deadline nor a used-up count stops a periodic remind here.
  periodic.m_dtInvalid = At(2024, 5, 2);
  periodic.m_Repeat.m_nRegularRange = 1;
  periodic.m_Repeat.m_nCount = 5;
  EXPECT_TRUE(periodic.NeedRemind(At(2024, 5, 5)));
  custom.m_dtInvalid = kInvalid;
  EXPECT_FALSE(custom.NeedRemind(At(2024, 5, 10)));
  for (short type : {3, 4, 7, -1}) {
    oneOff.m_nType = periodic.m_nType = type;
    EXPECT_FALSE(oneOff.NeedRemind(At(2024, 5, 8)) || periodic.NeedRemind(At(2024, 5, 9))) << type;
  }
}

TEST_F(RemindTiming, APeriodicRemindRunsOutByDeadlineThenByCount) {
  periodic.m_dtInvalid = At(2024, 5, 10);
  periodic.m_Repeat.m_nRegularRange = 1;
  periodic.m_Repeat.m_nNum = 3;
  periodic.m_Repeat.m_nCount = 99;
  EXPECT_FALSE(periodic.IsInvalid(At(2024, 5, 9, 23, 59)));
  EXPECT_TRUE(periodic.IsInvalid(At(2024, 5, 10)));

  periodic.m_dtInvalid = kInvalid;
  const struct {
    short range;
    int count;
    bool invalid;
  } cases[] = {{1, 0, false}, {1, 2, false}, {1, 3, true},
               {1, 4, true},  {0, 9, false}, {2, 9, false}};
  for (const auto& c : cases) {
    periodic.m_Repeat.m_nRegularRange = c.range;
    periodic.m_Repeat.m_nCount = c.count;
    EXPECT_EQ(periodic.IsInvalid(At(2024, 5, 5)), c.invalid) << c.range << "/" << c.count;
  }
}

TEST_F(RemindTiming, TheSingleRemindTime) {
  for (const wchar_t* day : {L"1999-01-01", L""}) {
    COleDateTime time;
    EXPECT_TRUE(oneOff.GetRemindTime(day, time));
    EXPECT_EQ(time, At(2024, 5, 8, 9, 30));
  }
  COleDateTime time = At(2000, 1, 1);
  EXPECT_TRUE(unset.GetRemindTime(L"2024-05-08", time));
  EXPECT_EQ(time.GetStatus(), COleDateTime::null);

  ASSERT_TRUE(periodic.GetRemindTime(L"2024-05-03", time));
  EXPECT_EQ(time, At(2024, 5, 3, 7, 45));
  time = At(2000, 1, 1);
  EXPECT_FALSE(periodic.GetRemindTime(L"", time));
  EXPECT_EQ(time, At(2000, 1, 1));
  EXPECT_FALSE(periodic.GetRemindTime(L"someday", time));
  EXPECT_EQ(time.GetStatus(), COleDateTime::invalid);
}

TEST_F(RemindTiming, TheRemindTimesOfACustomStyleDay) {
  custom.m_lstStyleItem.push_back(MakeItem(30000, L"10:00"));
  custom.m_lstStyleItem.push_back(MakeItem(2, L"25:00"));
  custom.m_lstStyleItem.push_back(MakeItem(2, L"10:15"));
  const struct {
    const wchar_t* day;
    const wchar_t* times;
  } cases[] = {
      {L"2024-05-09", L"2024-05-09_14:00 2024-05-09_08:00"},
      {L"2024-05-10", L"2024-05-10_09:00"},
      {L"2024-05-09 23:00:00", L"Invalid DateTime Invalid DateTime"},
      {L"2024-05-08", L"Invalid DateTime 2024-05-08_10:15"},
      {L"2024-05-11", L""},
      {L"2100-01-01", L""},
      {L"not a day", L""},
  };
  for (const auto& c : cases) {
    std::list<COleDateTime> times{At(2000, 1, 1)};
    custom.GetRemindTime(c.day, times);
    EXPECT_EQ(Texts(times), c.times) << CString(c.day).ToUtf8();
  }
}

TEST_F(RemindTiming, DayStyleListReplacesWithTheItemsOfThatDay) {
  std::list<CNorvBasePtr<CNorvRemindStyleItem>> items{MakeItem(7, L"07:00")};
  custom.GetDayStyleList(1, items);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items.front().p, std::next(custom.m_lstStyleItem.begin())->p);
  EXPECT_EQ(items.back().p, custom.m_lstStyleItem.back().p);
  custom.GetDayStyleList(2, items);
  EXPECT_TRUE(items.empty());
  EXPECT_TRUE(custom.ExistDayStyle(0) && custom.ExistDayStyle(1));
  EXPECT_FALSE(custom.ExistDayStyle(2));
}

}  // namespace
