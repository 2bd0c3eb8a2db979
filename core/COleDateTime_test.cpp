#include "core/COleDateTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

constexpr double kSecond = 1.0 / 86400.0;

std::wstring Text(const COleDateTime& value) {
  return value.Format(L"%Y-%m-%d %H:%M:%S").str();
}

COleDateTime Parsed(const wchar_t* text, unsigned flags = 0) {
  COleDateTime value;
  EXPECT_TRUE(value.ParseDateTime(text, flags)) << "text: " << text;
  return value;
}

void ExpectRejected(const wchar_t* text, unsigned flags = 0) {
  COleDateTime value(46027.0);
  EXPECT_FALSE(value.ParseDateTime(text, flags)) << "text: " << text;
  EXPECT_EQ(COleDateTime::invalid, value.GetStatus()) << "text: " << text;
}

TEST(COleDateTimeTest, FieldsMapToDaysSinceTheOrigin) {
  EXPECT_DOUBLE_EQ(0.0, COleDateTime(1899, 12, 30, 0, 0, 0).m_dt);
  EXPECT_DOUBLE_EQ(2.0, COleDateTime(1900, 1, 1, 0, 0, 0).m_dt);
  EXPECT_DOUBLE_EQ(36526.0, COleDateTime(2000, 1, 1, 0, 0, 0).m_dt);
  EXPECT_DOUBLE_EQ(46027.75, COleDateTime(2026, 1, 5, 18, 0, 0).m_dt);
  EXPECT_DOUBLE_EQ(-657434.0, COleDateTime(100, 1, 1, 0, 0, 0).m_dt);
  EXPECT_DOUBLE_EQ(2958465.0, COleDateTime(9999, 12, 31, 0, 0, 0).m_dt);
}

TEST(COleDateTimeTest, BeforeTheOriginIsLinear) {
  EXPECT_DOUBLE_EQ(-1.0, COleDateTime(1899, 12, 29, 0, 0, 0).m_dt);
  EXPECT_DOUBLE_EQ(-0.75, COleDateTime(1899, 12, 29, 6, 0, 0).m_dt);
  COleDateTime lateEvening(-0.25);
  EXPECT_EQ(L"1899-12-29 18:00:00", Text(lateEvening));
  EXPECT_EQ(L"1800-01-01 00:00:00", Text(COleDateTime(-36522.0)));
  EXPECT_EQ(4, COleDateTime(-36522.0).GetDayOfWeek());
}

TEST(COleDateTimeTest, ConstructorRejectsOutOfRangeFields) {
  EXPECT_EQ(COleDateTime::valid, COleDateTime(2026, 12, 31, 23, 59, 59).GetStatus());
  const int bad[][6] = {
      {2026, 0, 1, 0, 0, 0},  {2026, 13, 1, 0, 0, 0},  {2026, 1, 0, 0, 0, 0},
      {2026, 4, 31, 0, 0, 0}, {2026, 2, 29, 0, 0, 0},  {2026, 1, 1, 24, 0, 0},
      {2026, 1, 1, 0, 60, 0}, {2026, 1, 1, 0, 0, 60},  {2026, 1, 1, -1, 0, 0},
      {99, 1, 1, 0, 0, 0},    {10000, 1, 1, 0, 0, 0},
  };
  for (const auto& f : bad) {
    COleDateTime value(f[0], f[1], f[2], f[3], f[4], f[5]);
    EXPECT_EQ(COleDateTime::invalid, value.GetStatus())
        << f[0] << "-" << f[1] << "-" << f[2] << " " << f[3] << ":" << f[4] << ":" << f[5];
  }
}

TEST(COleDateTimeTest, LeapYears) {
  EXPECT_EQ(COleDateTime::valid, COleDateTime(2024, 2, 29, 0, 0, 0).GetStatus());
  EXPECT_EQ(COleDateTime::valid, COleDateTime(2000, 2, 29, 0, 0, 0).GetStatus());
  EXPECT_EQ(COleDateTime::invalid, COleDateTime(1900, 2, 29, 0, 0, 0).GetStatus());
  EXPECT_EQ(COleDateTime::invalid, COleDateTime(2100, 2, 29, 0, 0, 0).GetStatus());
  COleDateTime leapDay(2024, 2, 29, 12, 0, 0);
  EXPECT_EQ(L"2024-03-01 12:00:00", Text(leapDay + COleDateTimeSpan(1, 0, 0, 0)));
  EXPECT_EQ(L"2024-02-28 12:00:00", Text(leapDay - COleDateTimeSpan(1.0)));
  EXPECT_DOUBLE_EQ(366.0, (COleDateTime(2025, 1, 1, 0, 0, 0) - COleDateTime(2024, 1, 1, 0, 0, 0)).GetTotalDays());
}

TEST(COleDateTimeTest, DayOfWeekStartsOnSunday) {
  EXPECT_EQ(7, COleDateTime(1899, 12, 30, 0, 0, 0).GetDayOfWeek());  // Saturday
  EXPECT_EQ(6, COleDateTime(1899, 12, 29, 0, 0, 0).GetDayOfWeek());  // Friday
  EXPECT_EQ(1, COleDateTime(1969, 7, 20, 0, 0, 0).GetDayOfWeek());   // Sunday
  EXPECT_EQ(2, COleDateTime(2026, 1, 5, 0, 0, 0).GetDayOfWeek());    // Monday
  EXPECT_EQ(5, COleDateTime(2024, 2, 29, 0, 0, 0).GetDayOfWeek());   // Thursday
  EXPECT_EQ(6, COleDateTime(9999, 12, 31, 0, 0, 0).GetDayOfWeek());  // Friday
}

TEST(COleDateTimeTest, FieldsRoundToTheNearestSecond) {
  COleDateTime almostMidnight(COleDateTime(2025, 12, 31, 0, 0, 0).m_dt + 1.0 - 0.4 * kSecond);
  EXPECT_EQ(2026, almostMidnight.GetYear());
  EXPECT_EQ(1, almostMidnight.GetMonth());
  EXPECT_EQ(1, almostMidnight.GetDay());
  EXPECT_EQ(0, almostMidnight.GetHour());
  EXPECT_EQ(5, almostMidnight.GetDayOfWeek());
  COleDateTime value(COleDateTime(2026, 1, 5, 8, 30, 15).m_dt + 0.4 * kSecond);
  EXPECT_EQ(8, value.GetHour());
  EXPECT_EQ(30, value.GetMinute());
  EXPECT_EQ(15, value.GetSecond());
}

TEST(COleDateTimeTest, FieldsOfAValueThatIsNotValid) {
  COleDateTime nullValue;
  COleDateTime invalidValue(2026, 2, 30, 0, 0, 0);
  EXPECT_EQ(COleDateTime::null, nullValue.GetStatus());
  EXPECT_EQ(-1, nullValue.GetYear());
  EXPECT_EQ(-1, invalidValue.GetDay());
  EXPECT_EQ(-1, invalidValue.GetDayOfWeek());
}

TEST(COleDateTimeTest, SettersReportAndKeepStatus) {
  COleDateTime value;
  EXPECT_EQ(0, value.SetDate(2026, 1, 5));
  EXPECT_EQ(L"2026-01-05 00:00:00", Text(value));
  EXPECT_EQ(0, value.SetTime(8, 30, 0));
  EXPECT_DOUBLE_EQ(8.5 / 24, value.m_dt);
  EXPECT_EQ(1, value.SetTime(24, 0, 0));
  EXPECT_EQ(COleDateTime::invalid, value.GetStatus());
  EXPECT_EQ(0, value.SetDateTime(2026, 1, 5, 8, 5, 9));
  EXPECT_EQ(COleDateTime::valid, value.GetStatus());
}

TEST(COleDateTimeTest, FormatWritesFieldsAndLiterals) {
  COleDateTime value(2026, 1, 5, 8, 5, 9);
  EXPECT_EQ(L"2026-01-05", value.Format(L"%Y-%m-%d").str());
  EXPECT_EQ(L"08:05", value.Format(L"%H:%M").str());
  EXPECT_EQ(L"on 05/01/2026 at 08h05m09s, 100%", value.Format(L"on %d/%m/%Y at %Hh%Mm%Ss, 100%%").str());
  EXPECT_EQ(L"0100-01-01", COleDateTime(100, 1, 1, 0, 0, 0).Format(L"%Y-%m-%d").str());
  EXPECT_EQ(L"", COleDateTime().Format(L"%Y-%m-%d").str());
  EXPECT_EQ(L"Invalid DateTime", COleDateTime(2026, 2, 30, 0, 0, 0).Format(L"%Y").str());
}

TEST(COleDateTimeTest, ParsesDateForms) {
  EXPECT_EQ(L"2026-01-05 00:00:00", Text(Parsed(L"2026-01-05")));
  EXPECT_EQ(L"2026-01-05 00:00:00", Text(Parsed(L"2026/01/05")));
  EXPECT_EQ(L"2026-01-05 00:00:00", Text(Parsed(L"2026-1-5")));
  EXPECT_EQ(L"2026-01-05 00:00:00", Text(Parsed(L"  2026-01-05 \t")));
  EXPECT_EQ(L"2024-02-29 00:00:00", Text(Parsed(L"2024-02-29")));
}

TEST(COleDateTimeTest, ParsesDateAndTimeForms) {
  EXPECT_EQ(L"2026-01-05 08:30:00", Text(Parsed(L"2026-01-05 08:30")));
  EXPECT_EQ(L"2026-01-05 08:30:45", Text(Parsed(L"2026-01-05 08:30:45")));
  EXPECT_EQ(L"2026-01-05 08:05:00", Text(Parsed(L"2026-1-5 8:5:0")));
  EXPECT_EQ(L"2026-01-05 08:30:45", Text(Parsed(L"2026/01/05 08:30:45")));
  EXPECT_EQ(L"2026-01-05 08:30:45", Text(Parsed(L"2026-01-05T08:30:45")));
  EXPECT_EQ(L"2026-01-05 23:59:59", Text(Parsed(L" 2026-01-05   23:59:59 ")));
}

TEST(COleDateTimeTest, DropsFractionAndZoneOffset) {
  EXPECT_EQ(L"2026-01-05 08:30:45", Text(Parsed(L"2026-01-05 08:30:45.123456")));
  EXPECT_EQ(L"2026-01-05 08:30:45", Text(Parsed(L"2026-01-05 08:30:45.9")));
  EXPECT_EQ(L"2026-01-05 08:30:45", Text(Parsed(L"2026-01-05 08:30:45+01")));
  EXPECT_EQ(L"2026-01-05 08:30:45", Text(Parsed(L"2026-01-05 08:30:45+05:30")));
  EXPECT_EQ(L"2026-01-05 08:30:45", Text(Parsed(L"2026-01-05 08:30:45-08")));
  EXPECT_EQ(L"2026-01-05 08:30:45", Text(Parsed(L"2026-01-05T08:30:45Z")));
  EXPECT_EQ(L"2026-01-05 08:30:45", Text(Parsed(L"2026-01-05 08:30:45.5+0530")));
  EXPECT_EQ(L"2026-01-05 08:30:00", Text(Parsed(L"2026-01-05 08:30+01")));
}

TEST(COleDateTimeTest, ParsesTimeOnlyOnTheOriginDay) {
  COleDateTime plain = Parsed(L"8:30:0");
  EXPECT_DOUBLE_EQ(8.5 / 24, plain.m_dt);
  COleDateTime flagged = Parsed(L"08:30", VAR_TIMEVALUEONLY);
  EXPECT_DOUBLE_EQ(8.5 / 24, flagged.m_dt);
  EXPECT_EQ(L"1899-12-30 23:59:59", Text(Parsed(L"23:59:59", VAR_TIMEVALUEONLY)));
  EXPECT_DOUBLE_EQ(0.0, Parsed(L"0:0", VAR_TIMEVALUEONLY).m_dt);
}

TEST(COleDateTimeTest, DateValueOnlyDropsTheTime) {
  COleDateTime value = Parsed(L"2026-01-05 08:30:45", VAR_DATEVALUEONLY);
  EXPECT_DOUBLE_EQ(46027.0, value.m_dt);
  EXPECT_DOUBLE_EQ(46027.0, Parsed(L"2026-01-05T08:30", VAR_DATEVALUEONLY).m_dt);
  EXPECT_DOUBLE_EQ(46027.0, Parsed(L"2026-01-05", VAR_DATEVALUEONLY).m_dt);
  ExpectRejected(L"08:30", VAR_DATEVALUEONLY);
  ExpectRejected(L"2026-02-30 08:30", VAR_DATEVALUEONLY);
}

TEST(COleDateTimeTest, RejectsOutOfRangeFields) {
  ExpectRejected(L"2026-02-30");
  ExpectRejected(L"2026-13-01");
  ExpectRejected(L"2026-00-10");
  ExpectRejected(L"2026-01-05 25:00");
  ExpectRejected(L"2026-01-05 24:00:00");
  ExpectRejected(L"2026-01-05 8:61");
  ExpectRejected(L"2026-01-05 8:30:60");
  ExpectRejected(L"25:00");
  ExpectRejected(L"8:61", VAR_TIMEVALUEONLY);
  ExpectRejected(L"8:30:60", VAR_TIMEVALUEONLY);
  ExpectRejected(L"0099-01-01");
}

TEST(COleDateTimeTest, RejectsMalformedText) {
  const wchar_t* texts[] = {
      L"",           L"   ",          L"2026",            L"2026-01",
      L"2026-01/05", L"2026-01-05x",  L"2026-01-0508:30", L"2026-01-05 08",
      L"2026-01-05 08:", L"2026-01-05 08:30:45.", L"2026-01-05 08:30 junk", L"20260-01-05",
      L"2026-001-05", L"2026-01-05 08:30+1", L"abc", L"2026-01-05 08:30:45+05:3",
  };
  for (const wchar_t* text : texts) ExpectRejected(text);
  ExpectRejected(L"2026-01-05", VAR_TIMEVALUEONLY);
  ExpectRejected(L"2026-01-05 08:30", VAR_TIMEVALUEONLY);
  ExpectRejected(nullptr);
}

TEST(COleDateTimeTest, RoundTripsItsOwnTextForms) {
  COleDateTime original(2026, 7, 14, 21, 4, 59);
  COleDateTime back;
  ASSERT_TRUE(back.ParseDateTime(original.Format(L"%Y-%m-%d %H:%M:%S")));
  EXPECT_TRUE(back == original);
  ASSERT_TRUE(back.ParseDateTime(original.Format(L"%H:%M"), VAR_TIMEVALUEONLY));
  EXPECT_EQ(L"21:04", back.Format(L"%H:%M").str());
}

TEST(COleDateTimeTest, EqualityWithinHalfASecond) {
  COleDateTime base(2026, 1, 5, 8, 0, 0);
  EXPECT_TRUE(base == COleDateTime(base.m_dt + 0.49 * kSecond));
  EXPECT_TRUE(base == COleDateTime(base.m_dt - 0.49 * kSecond));
  EXPECT_FALSE(base == COleDateTime(base.m_dt + 0.51 * kSecond));
  EXPECT_TRUE(base != COleDateTime(base.m_dt + 0.51 * kSecond));
  EXPECT_TRUE(base <= COleDateTime(base.m_dt - 0.49 * kSecond));
  EXPECT_TRUE(base >= COleDateTime(base.m_dt + 0.49 * kSecond));
}

TEST(COleDateTimeTest, OrderingNeedsTwoValidValues) {
  COleDateTime earlier(2026, 1, 5, 8, 0, 0);
  COleDateTime later(2026, 1, 5, 9, 0, 0);
  COleDateTime nullValue;
  COleDateTime invalidValue(2026, 2, 30, 0, 0, 0);
  EXPECT_TRUE(earlier < later);
  EXPECT_TRUE(later > earlier);
  EXPECT_TRUE(earlier <= later);
  EXPECT_FALSE(earlier >= later);
  for (const COleDateTime& other : {nullValue, invalidValue}) {
    EXPECT_FALSE(earlier < other);
    EXPECT_FALSE(other < earlier);
    EXPECT_FALSE(earlier > other);
    EXPECT_FALSE(other > earlier);
    EXPECT_FALSE(earlier == other);
    EXPECT_FALSE(earlier <= other);
    EXPECT_FALSE(other >= earlier);
  }
}

TEST(COleDateTimeTest, NullEqualsNullButInvalidEqualsNothing) {
  COleDateTime nullValue;
  COleDateTime invalidValue(2026, 2, 30, 0, 0, 0);
  EXPECT_TRUE(nullValue == COleDateTime());
  EXPECT_TRUE(nullValue <= COleDateTime());
  EXPECT_TRUE(nullValue >= COleDateTime());
  EXPECT_FALSE(nullValue < COleDateTime());
  EXPECT_FALSE(invalidValue == invalidValue);
  EXPECT_TRUE(invalidValue != invalidValue);
  EXPECT_FALSE(nullValue == invalidValue);
}

TEST(COleDateTimeTest, SubtractionIgnoresStatus) {
  COleDateTime later(2026, 1, 6, 12, 0, 0);
  COleDateTime earlier(2026, 1, 5, 0, 0, 0);
  EXPECT_DOUBLE_EQ(1.5, (later - earlier).GetTotalDays());
  EXPECT_DOUBLE_EQ(-1.5, static_cast<double>(earlier - later));
  COleDateTime nullValue;
  EXPECT_DOUBLE_EQ(later.m_dt, (later - nullValue).GetTotalDays());
  COleDateTime invalidValue(5.0);
  invalidValue.SetStatus(COleDateTime::invalid);
  EXPECT_DOUBLE_EQ(later.m_dt - 5.0, (later - invalidValue).GetTotalDays());
}

TEST(COleDateTimeTest, SpanArithmetic) {
  EXPECT_DOUBLE_EQ(1.0 + 6.0 / 24 + 30.0 / 1440 + 15.0 / 86400,
                   COleDateTimeSpan(1, 6, 30, 15).GetTotalDays());
  EXPECT_DOUBLE_EQ(-0.5, COleDateTimeSpan(0, -12, 0, 0).GetTotalDays());
  COleDateTime value(2026, 12, 31, 23, 0, 0);
  value += COleDateTimeSpan(0, 1, 0, 0);
  EXPECT_EQ(L"2027-01-01 00:00:00", Text(value));
  value -= COleDateTimeSpan(0, 0, 0, 1);
  EXPECT_EQ(L"2026-12-31 23:59:59", Text(value));
  EXPECT_EQ(COleDateTime::valid, (value + COleDateTimeSpan(-40000.0)).GetStatus());
  EXPECT_EQ(L"1900-01-01 23:59:59", Text(COleDateTime(1900, 1, 3, 23, 59, 59) - COleDateTimeSpan(2.0)));
}

TEST(COleDateTimeTest, SpanArithmeticKeepsNullAndInvalid) {
  COleDateTime nullValue;
  EXPECT_EQ(COleDateTime::null, (nullValue + COleDateTimeSpan(1.0)).GetStatus());
  COleDateTime invalidValue(2026, 2, 30, 0, 0, 0);
  invalidValue -= COleDateTimeSpan(1.0);
  EXPECT_EQ(COleDateTime::invalid, invalidValue.GetStatus());
}

TEST(COleDateTimeTest, CurrentTimeIsValidWholeSeconds) {
  COleDateTime now = COleDateTime::GetCurrentTime();
  ASSERT_EQ(COleDateTime::valid, now.GetStatus());
  const double seconds = now.m_dt * 86400.0;
  EXPECT_NEAR(seconds, std::round(seconds), 1e-3);
  EXPECT_GE(now.GetYear(), 2024);
}

}  // namespace
