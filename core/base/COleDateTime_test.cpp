#include "core/base/COleDateTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/base/internal/NorvClock.h"

namespace {

constexpr double kSecond = 1.0 / 86400.0;

std::wstring Text(const COleDateTime& value) { return value.Format(L"%Y-%m-%d %H:%M:%S").str(); }

TEST(COleDateTimeTest, FieldsMapToLinearDaysAndWeekdaysFromSunday) {
  // Year, month, day, hour, minute, second, days since 1899-12-30 and weekday.
  const std::tuple<int, int, int, int, int, int, double, int> cases[] = {
      {1899, 12, 30, 0, 0, 0, 0.0, 7},    {1899, 12, 29, 6, 0, 0, -0.75, 6},
      {1900, 1, 1, 0, 0, 0, 2.0, 2},      {1969, 7, 20, 0, 0, 0, 25404.0, 1},
      {2024, 2, 29, 0, 0, 0, 45351.0, 5}, {2026, 1, 5, 18, 0, 0, 46027.75, 2},
      {100, 1, 1, 0, 0, 0, -657434.0, 6}, {9999, 12, 31, 0, 0, 0, 2958465.0, 6},
      {1900, 3, 1, 0, 0, 0, 61.0, 5},     {2000, 2, 29, 0, 0, 0, 36585.0, 3},
      {2100, 3, 1, 0, 0, 0, 73110.0, 2},  {2026, 12, 31, 23, 59, 59, 46387.0 + 86399 * kSecond, 5}};
  for (const auto& [y, mo, d, h, mi, s, days, weekday] : cases) {
    SCOPED_TRACE(days);
    COleDateTime value(y, mo, d, h, mi, s);
    EXPECT_DOUBLE_EQ(days, value.m_dt);
    EXPECT_EQ(weekday, value.GetDayOfWeek());
    EXPECT_EQ(Text(value), Text(COleDateTime(days)));
  }
}

TEST(COleDateTimeTest, OutOfRangeFieldsMakeAnInvalidValueFormattedAsSuch) {
  EXPECT_EQ(COleDateTime::valid, COleDateTime(2000, 2, 29, 23, 59, 59).GetStatus());
  const int bad[][6] = {{2026, 0, 1, 0, 0, 0},  {2026, 13, 1, 0, 0, 0}, {2026, 4, 31, 0, 0, 0},
                        {2026, 2, 29, 0, 0, 0}, {1900, 2, 29, 0, 0, 0}, {2100, 2, 29, 0, 0, 0},
                        {2026, 1, 1, 24, 0, 0}, {2026, 1, 1, 0, 60, 0}, {2026, 1, 1, 0, 0, 60},
                        {99, 1, 1, 0, 0, 0}};
  for (const auto& f : bad) {
    COleDateTime value(f[0], f[1], f[2], f[3], f[4], f[5]);
    EXPECT_EQ(COleDateTime::invalid, value.GetStatus()) << f[0] << "-" << f[1] << "-" << f[2];
    EXPECT_EQ(-1, value.GetDay());
  }
  COleDateTime value;
  EXPECT_EQ(0, value.SetTime(8, 30, 0));
  EXPECT_DOUBLE_EQ(8.5 / 24, value.m_dt);
  EXPECT_EQ(1, value.SetDate(2026, 2, 30));
  EXPECT_EQ(COleDateTime::invalid, value.GetStatus());

  EXPECT_EQ(L"on 05/01/2026 at 08h05m09s, 100%",
            COleDateTime(2026, 1, 5, 8, 5, 9).Format(L"on %d/%m/%Y at %Hh%Mm%Ss, 100%%").str());
  EXPECT_EQ(L"0100-01-01", COleDateTime(100, 1, 1, 0, 0, 0).Format(L"%Y-%m-%d").str());
  // Fields round to the nearest second.
  EXPECT_EQ(L"2026-01-01 00:00:00",
            Text(COleDateTime(COleDateTime(2026, 1, 1, 0, 0, 0).m_dt - 0.4 * kSecond)));
  EXPECT_EQ(L"", COleDateTime().Format(L"%Y-%m-%d").str());
  EXPECT_EQ(L"Invalid DateTime", COleDateTime(2026, 2, 30, 0, 0, 0).Format(L"%Y").str());
}

TEST(COleDateTimeTest, ParsesEveryFormAndLeavesUnreadableTextInvalid) {
  // Each group of texts reads, under its flags, as the time given first; an
  // unreadable or out-of-range text leaves the value invalid.
  const wchar_t* const kInvalid = L"Invalid DateTime";
  const std::tuple<unsigned, const wchar_t*, std::vector<const wchar_t*>> groups[] = {
      {0, L"2026-01-05 00:00:00", {L"2026-01-05", L"2026/01/05", L"  2026-1-5 \t"}},
      {0, L"2026-01-05 08:30:00", {L"2026-01-05 08:30", L"2026-01-05 08:30+01"}},
      {0, L"2026-01-05 08:05:00", {L"2026-1-5 8:5:0"}},
      {0,
       L"2026-01-05 08:30:45",
       {L"2026/01/05 08:30:45", L"2026-01-05T08:30:45", L"2026-01-05 08:30:45.123456",
        L"2026-01-05 08:30:45+05:30", L"2026-01-05 08:30:45.5-0800", L"2026-01-05T08:30:45Z"}},
      {0, L"1899-12-30 08:30:00", {L"8:30:0"}},
      {VAR_DATEVALUEONLY, L"2026-01-05 00:00:00", {L"2026-01-05T08:30"}},
      {VAR_TIMEVALUEONLY, L"1899-12-30 23:59:59", {L"23:59:59"}},
      {0,
       kInvalid,
       {L"2026-02-30", L"2026-13-01", L"2026-01-05 25:00", L"2026-01-05 24:00:00",
        L"2026-01-05 8:61", L"2026-01-05 8:30:60", L"0099-01-01", L"25:00", L"", L"abc", L"2026-01",
        L"2026-01/05", L"2026-01-0508:30", L"2026-01-05 08", L"2026-01-05 08:30 x",
        L"2026-01-05 08:30:45.", L"2026-01-05 08:30+1", nullptr}},
      {VAR_TIMEVALUEONLY, kInvalid, {L"8:61", L"2026-01-05"}},
      {VAR_DATEVALUEONLY, kInvalid, {L"08:30", L"2026-02-30 08:30"}}};
  for (const auto& [flags, expected, texts] : groups) {
    for (const wchar_t* text : texts) {
      COleDateTime value(46027.0);
      EXPECT_EQ(value.ParseDateTime(text, flags), expected != kInvalid) << CString(text).ToUtf8();
      EXPECT_EQ(expected, Text(value)) << CString(text).ToUtf8();
    }
  }
}

TEST(COleDateTimeTest, EqualWithinHalfASecondAndCountedInFractionalDays) {
  COleDateTime base(2026, 1, 5, 8, 0, 0);
  const COleDateTime near(base.m_dt - 0.49 * kSecond), far(base.m_dt + 0.51 * kSecond);
  EXPECT_TRUE(base == near && base <= near && base >= near);
  EXPECT_TRUE(base != far && base < far && !(base >= far));
  const COleDateTime null, invalid(2026, 2, 30, 0, 0, 0);
  EXPECT_TRUE(null == COleDateTime() && null <= COleDateTime() && null >= COleDateTime());
  EXPECT_FALSE(null < COleDateTime() || invalid == invalid || null == invalid);
  for (const COleDateTime& other : {null, invalid}) {
    EXPECT_FALSE(base == other || base < other || other < base || base > other || other > base);
    EXPECT_FALSE(base <= other || other >= base);
  }

  COleDateTime later(2026, 1, 6, 12, 0, 0);
  EXPECT_DOUBLE_EQ(1.5, (later - COleDateTime(2026, 1, 5, 0, 0, 0)).GetTotalDays());
  EXPECT_DOUBLE_EQ(366.0, COleDateTime(2025, 1, 1, 0, 0, 0) - COleDateTime(2024, 1, 1, 0, 0, 0));
  // A difference with a null value counts from its zero.
  EXPECT_DOUBLE_EQ(later.m_dt, (later - COleDateTime()).GetTotalDays());

  COleDateTime value(2026, 12, 31, 23, 0, 0);
  value += COleDateTimeSpan(0, 1, 0, 0);
  EXPECT_EQ(L"2027-01-01 00:00:00", Text(value));
  EXPECT_EQ(L"2026-12-30 23:59:59", Text(value - COleDateTimeSpan(1, 0, 0, 1)));
  EXPECT_EQ(COleDateTime::null, (COleDateTime() + COleDateTimeSpan(1.0)).GetStatus());
}

TEST(COleDateTimeTest, ClockStartsAtAWrittenLocalTimeAndRefusesAnythingElse) {
  for (const char* bad : {"", "12:00", "2026-02-30 12:00:00", "2026-12-07 12:00:00x",
                          "2026-13-01 00:00:00", "2026-12-07 24:00:00"}) {
    EXPECT_FALSE(norvclock::StartAt(bad)) << bad;
  }
  const COleDateTime now = COleDateTime::GetCurrentTime();
  EXPECT_NEAR(now.m_dt * 86400.0, std::round(now.m_dt * 86400.0), 1e-3) << "whole seconds";
  const std::string realNow = CString(Text(now)).ToUtf8();
  ASSERT_TRUE(norvclock::StartAt("2031-05-06 12:00:00"));
  EXPECT_EQ(COleDateTime::GetCurrentTime().Format(L"%Y-%m-%d %H:%M").str(), L"2031-05-06 12:00");
  ASSERT_TRUE(norvclock::StartAt(realNow.c_str()));
}

}  // namespace
