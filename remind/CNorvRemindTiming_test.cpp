#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "remind/CNorvRemind.h"

namespace {

using ItemList = std::list<CNorvBasePtr<CNorvRemindStyleItem>>;

COleDateTime At(int year, int month, int day, int hour = 0, int minute = 0) {
  return COleDateTime(year, month, day, hour, minute, 0);
}

CNorvBasePtr<CNorvRemindStyleItem> MakeItem(int day, const wchar_t* time) {
  CNorvBasePtr<CNorvRemindStyleItem> item(new CNorvRemindStyleItem);
  item->m_nDay = day;
  item->m_strTime = time;
  return item;
}

std::vector<std::wstring> Texts(const std::list<COleDateTime>& times) {
  std::vector<std::wstring> out;
  for (const COleDateTime& time : times) out.push_back(time.Format(L"%Y-%m-%d %H:%M:%S").str());
  return out;
}

// Deadline 2024-05-10 with items (0, 09:00), (1, 14:00), (1, 08:00).
void MakeCustomStyle(CNorvRemind& remind) {
  remind.m_nType = CNorvRemind::kCustomStyle;
  remind.m_dtInvalid = At(2024, 5, 10);
  remind.m_lstStyleItem = {MakeItem(0, L"09:00"), MakeItem(1, L"14:00"), MakeItem(1, L"08:00")};
}

// Every second day from 2024-05-01 at 07:45.
void MakePeriodic(CNorvRemind& remind) {
  remind.m_nType = CNorvRemind::kPeriodic;
  remind.m_Repeat.m_nRegularType = 0;
  remind.m_Repeat.m_nInterval = 2;
  remind.m_Repeat.m_dtStart = At(2024, 5, 1);
  remind.m_Repeat.m_strRemindTime = L"07:45";
}

TEST(OneOffTimingTest, FiresOnItsDayAtAnyHour) {
  CNorvRemind remind;
  remind.m_dtRemind = At(2024, 5, 8, 9, 30);
  EXPECT_FALSE(remind.NeedRemind(At(2024, 5, 7, 23, 59)));
  EXPECT_TRUE(remind.NeedRemind(At(2024, 5, 8)));
  EXPECT_TRUE(remind.NeedRemind(At(2024, 5, 8, 23, 59)));
  EXPECT_FALSE(remind.NeedRemind(At(2024, 5, 9)));
  EXPECT_FALSE(remind.NeedRemind(COleDateTime()));
}

TEST(OneOffTimingTest, WithoutAValidTimeItNeverFires) {
  CNorvRemind remind;
  EXPECT_FALSE(remind.NeedRemind(COleDateTime()));
  EXPECT_FALSE(remind.NeedRemind(At(2024, 5, 8)));
  remind.m_dtRemind.ParseDateTime(L"garbage");
  COleDateTime unreadable;
  unreadable.ParseDateTime(L"garbage");
  EXPECT_FALSE(remind.NeedRemind(unreadable));
}

TEST(OneOffTimingTest, RemindTimeIsItsOwnWhateverTheDay) {
  CNorvRemind remind;
  remind.m_dtRemind = At(2024, 5, 8, 9, 30);
  for (const wchar_t* day : {L"2024-05-08", L"1999-01-01", L"", L"garbage"}) {
    COleDateTime time;
    EXPECT_TRUE(remind.GetRemindTime(day, time)) << day;
    EXPECT_EQ(time, At(2024, 5, 8, 9, 30)) << day;
  }
  CNorvRemind empty;
  COleDateTime time = At(2000, 1, 1);
  EXPECT_TRUE(empty.GetRemindTime(L"2024-05-08", time));
  EXPECT_EQ(time.GetStatus(), COleDateTime::null);
}

TEST(OneOffTimingTest, NeverRunsOut) {
  CNorvRemind remind;
  remind.m_dtRemind = At(2024, 5, 8, 9, 30);
  remind.m_dtInvalid = At(2024, 5, 9);
  EXPECT_FALSE(remind.IsInvalid(At(2030, 1, 1)));
}

TEST(PeriodicTimingTest, FiresOnlyThroughItsRepeatRule) {
  CNorvRemind remind;
  MakePeriodic(remind);
  EXPECT_FALSE(remind.NeedRemind(At(2024, 4, 29)));
  EXPECT_TRUE(remind.NeedRemind(At(2024, 5, 1)));
  EXPECT_FALSE(remind.NeedRemind(At(2024, 5, 2)));
  EXPECT_TRUE(remind.NeedRemind(At(2024, 5, 3, 23, 59)));

  // Neither a passed deadline nor a used-up count stops it here.
  remind.m_dtInvalid = At(2024, 5, 2);
  remind.m_Repeat.m_nRegularRange = 1;
  remind.m_Repeat.m_nNum = 1;
  remind.m_Repeat.m_nCount = 5;
  EXPECT_TRUE(remind.NeedRemind(At(2024, 5, 5)));
  EXPECT_TRUE(remind.IsInvalid(At(2024, 5, 5)));
}

TEST(PeriodicTimingTest, RemindTimeIsTheDayAtTheRepeatsTime) {
  CNorvRemind remind;
  MakePeriodic(remind);
  COleDateTime time;
  ASSERT_TRUE(remind.GetRemindTime(L"2024-05-03", time));
  EXPECT_EQ(time, At(2024, 5, 3, 7, 45));
  time = At(2000, 1, 1);
  EXPECT_FALSE(remind.GetRemindTime(L"", time));
  EXPECT_EQ(time, At(2000, 1, 1));
  EXPECT_FALSE(remind.GetRemindTime(L"someday", time));
  EXPECT_EQ(time.GetStatus(), COleDateTime::invalid);
}

TEST(PeriodicTimingTest, RunsOutByDeadlineBeforeCount) {
  CNorvRemind remind;
  MakePeriodic(remind);
  remind.m_Repeat.m_nRegularRange = 1;
  remind.m_Repeat.m_nNum = 3;
  remind.m_Repeat.m_nCount = 99;
  remind.m_dtInvalid = At(2024, 5, 10);
  EXPECT_FALSE(remind.IsInvalid(At(2024, 5, 9, 23, 59)));
  EXPECT_TRUE(remind.IsInvalid(At(2024, 5, 10)));
  EXPECT_TRUE(remind.IsInvalid(At(2024, 6, 1)));
}

TEST(PeriodicTimingTest, WithoutAValidDeadlineRunsOutByCount) {
  CNorvRemind remind;
  MakePeriodic(remind);
  remind.m_dtInvalid.ParseDateTime(L"never");
  remind.m_Repeat.m_nRegularRange = 1;
  remind.m_Repeat.m_nNum = 3;
  for (int count : {0, 1, 2}) {
    remind.m_Repeat.m_nCount = count;
    EXPECT_FALSE(remind.IsInvalid(At(2024, 5, 5))) << count;
  }
  for (int count : {3, 4}) {
    remind.m_Repeat.m_nCount = count;
    EXPECT_TRUE(remind.IsInvalid(At(2024, 5, 5))) << count;
  }
  remind.m_Repeat.m_nRegularRange = 0;
  EXPECT_FALSE(remind.IsInvalid(At(2024, 5, 5)));
  remind.m_Repeat.m_nRegularRange = 2;
  EXPECT_FALSE(remind.IsInvalid(At(2024, 5, 5)));
}

TEST(CustomStyleTimingTest, FiresOnTheItemDaysUpToTheDeadline) {
  CNorvRemind remind;
  MakeCustomStyle(remind);
  EXPECT_FALSE(remind.NeedRemind(At(2024, 5, 8)));
  EXPECT_TRUE(remind.NeedRemind(At(2024, 5, 9)));
  EXPECT_TRUE(remind.NeedRemind(At(2024, 5, 10)));
  EXPECT_FALSE(remind.NeedRemind(At(2024, 5, 11)));
}

TEST(CustomStyleTimingTest, ATimeOfDayShortensTheDayCount) {
  CNorvRemind remind;
  MakeCustomStyle(remind);
  remind.m_lstStyleItem = {MakeItem(2, L"09:00")};
  EXPECT_TRUE(remind.NeedRemind(At(2024, 5, 8)));
  EXPECT_FALSE(remind.NeedRemind(At(2024, 5, 8, 9, 0)));
  remind.m_lstStyleItem = {MakeItem(1, L"09:00")};
  EXPECT_TRUE(remind.NeedRemind(At(2024, 5, 8, 9, 0)));
  // Later than the deadline itself, on the deadline day.
  remind.m_lstStyleItem = {MakeItem(0, L"09:00")};
  EXPECT_TRUE(remind.NeedRemind(At(2024, 5, 10)));
  EXPECT_FALSE(remind.NeedRemind(At(2024, 5, 10, 0, 1)));
}

TEST(CustomStyleTimingTest, WithoutAValidDeadlineItNeverFires) {
  CNorvRemind remind;
  MakeCustomStyle(remind);
  remind.m_dtInvalid = COleDateTime();
  EXPECT_FALSE(remind.NeedRemind(At(2024, 5, 10)));
  remind.m_dtInvalid.ParseDateTime(L"x");
  EXPECT_FALSE(remind.NeedRemind(At(2024, 5, 10)));
}

TEST(CustomStyleTimingTest, RemindTimesFollowTheItemListOrder) {
  CNorvRemind remind;
  MakeCustomStyle(remind);
  std::list<COleDateTime> times{At(2000, 1, 1)};
  remind.GetRemindTime(L"2024-05-09", times);
  EXPECT_EQ(Texts(times), (std::vector<std::wstring>{L"2024-05-09 14:00:00",
                                                     L"2024-05-09 08:00:00"}));
  remind.GetRemindTime(L"2024-05-10", times);
  EXPECT_EQ(Texts(times), (std::vector<std::wstring>{L"2024-05-10 09:00:00"}));
  remind.GetRemindTime(L"2024-05-08", times);
  EXPECT_TRUE(times.empty());
}

TEST(CustomStyleTimingTest, DaysAfterTheDeadlineMatchNoItem) {
  CNorvRemind remind;
  MakeCustomStyle(remind);
  remind.m_lstStyleItem.push_back(MakeItem(30000, L"10:00"));
  std::list<COleDateTime> times{At(2000, 1, 1)};
  for (const wchar_t* day : {L"2024-05-11", L"2024-06-10", L"2100-01-01"}) {
    remind.GetRemindTime(day, times);
    EXPECT_TRUE(times.empty()) << day;
  }
}

TEST(CustomStyleTimingTest, UnreadableItemTimesAreKeptAsInvalidValues) {
  CNorvRemind remind;
  MakeCustomStyle(remind);
  remind.m_lstStyleItem = {MakeItem(1, L"25:00"), MakeItem(1, L"10:15"), MakeItem(1, L"")};
  std::list<COleDateTime> times;
  remind.GetRemindTime(L"2024-05-09", times);
  ASSERT_EQ(times.size(), 3u);
  EXPECT_EQ(times.front().GetStatus(), COleDateTime::invalid);
  EXPECT_EQ(*std::next(times.begin()), At(2024, 5, 9, 10, 15));
  EXPECT_EQ(times.back().GetStatus(), COleDateTime::invalid);
}

TEST(CustomStyleTimingTest, AnUnreadableDayGivesNoTimes) {
  CNorvRemind remind;
  MakeCustomStyle(remind);
  std::list<COleDateTime> times{At(2000, 1, 1)};
  remind.GetRemindTime(L"not a day", times);
  EXPECT_TRUE(times.empty());
}

TEST(CustomStyleTimingTest, RunsOutOnItsDeadline) {
  CNorvRemind remind;
  MakeCustomStyle(remind);
  EXPECT_FALSE(remind.IsInvalid(At(2024, 5, 9)));
  EXPECT_FALSE(remind.IsInvalid(At(2024, 5, 9, 23, 59)));
  EXPECT_TRUE(remind.IsInvalid(At(2024, 5, 10)));
  EXPECT_TRUE(remind.IsInvalid(At(2024, 5, 11)));
}

TEST(CustomStyleTimingTest, DayStyleListReplacesWithTheItemsOfThatDay) {
  CNorvRemind remind;
  MakeCustomStyle(remind);
  ItemList items{MakeItem(7, L"07:00")};
  remind.GetDayStyleList(1, items);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items.front().p, std::next(remind.m_lstStyleItem.begin())->p);
  EXPECT_EQ(items.back()->m_strTime, L"08:00");
  EXPECT_TRUE(remind.ExistDayStyle(0));
  EXPECT_TRUE(remind.ExistDayStyle(1));
  EXPECT_FALSE(remind.ExistDayStyle(2));
  remind.GetDayStyleList(2, items);
  EXPECT_TRUE(items.empty());
}

TEST(OtherTypeTimingTest, OtherTypesNeverFire) {
  for (short type : {3, 4, 7, -1}) {
    CNorvRemind remind;
    MakeCustomStyle(remind);
    remind.m_dtRemind = At(2024, 5, 10, 9, 0);
    remind.m_nType = type;
    EXPECT_FALSE(remind.NeedRemind(At(2024, 5, 10))) << type;
    EXPECT_FALSE(remind.NeedRemind(At(2024, 5, 9))) << type;
  }
}

}  // namespace
