#include "core/base/COleDateTime.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <cwchar>

#include "core/base/internal/CivilDate.h"
#include "core/base/internal/NorvClock.h"

namespace {

constexpr int kSecondsPerDay = 86400;
// Days from 1970-01-01 back to the 1899-12-30 origin of m_dt.
constexpr long kOriginFromUnixEpoch = -25569;
// Well outside years 100..9999; beyond it the fields are not computed.
constexpr double kLargestDays = 4.0e6;

struct Fields {
  int year, month, day, hour, minute, second, dayOfWeek;
};

// Days since 1970-01-01 of a proleptic Gregorian date (after H. Hinnant).
long DaysFromCivil(long year, int month, int day) {
  year -= month <= 2;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const long yearOfEra = year - era * 400;
  const long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// Shifted by whole 400-year eras so that every day within kLargestDays of
// the origin is positive: unsigned 32-bit division by constants is cheap.
constexpr long kEraDays = 146097;
constexpr long kErasAhead = 40;

void CivilFromDays(long days, Fields& fields) {
  const auto shifted = static_cast<uint32_t>(days + 719468 + kErasAhead * kEraDays);
  const uint32_t era = shifted / kEraDays;
  const uint32_t dayOfEra = shifted - era * kEraDays;
  const uint32_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const uint32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const uint32_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  fields.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  fields.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  fields.year = static_cast<int>(static_cast<long>(yearOfEra) +
                                 (static_cast<long>(era) - kErasAhead) * 400 + (fields.month <= 2));
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

bool IsValidTime(int hour, int minute, int second) {
  return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

double DaysSinceOrigin(int year, int month, int day) {
  return static_cast<double>(DaysFromCivil(year, month, day) - kOriginFromUnixEpoch);
}

double FractionOfDay(int hour, int minute, int second) {
  return (hour * 3600 + minute * 60 + second) / static_cast<double>(kSecondsPerDay);
}

long FloorDiv(long long value, long divisor) {
  long long quotient = value / divisor;
  if (value % divisor != 0 && value < 0) --quotient;
  return static_cast<long>(quotient);
}

// std::llround for |value| < 2^52, without its library call: every
// calendar field goes through it.
long long RoundHalfAway(double value) {
  long long whole = static_cast<long long>(value);  // toward zero, exact here
  const double rest = value - static_cast<double>(whole);
  if (rest >= 0.5) ++whole;
  if (rest <= -0.5) --whole;
  return whole;
}

// A valid value rounded to the nearest second, split into whole days since
// 1970-01-01 and the second of that day.
bool SplitSeconds(const COleDateTime& value, long& unixDays, long& secondOfDay) {
  if (value.m_status != COleDateTime::valid || !(std::fabs(value.m_dt) < kLargestDays)) {
    return false;
  }
  const long long seconds = RoundHalfAway(value.m_dt * kSecondsPerDay);
  const long days = FloorDiv(seconds, kSecondsPerDay);
  secondOfDay = static_cast<long>(seconds - static_cast<long long>(days) * kSecondsPerDay);
  unixDays = days + kOriginFromUnixEpoch;
  return true;
}

// 1970-01-01 was a Thursday; 1 is Sunday.
int DayOfWeek(long unixDays) { return static_cast<int>(((unixDays + 4) % 7 + 7) % 7) + 1; }

// The fields of a valid value, rounded to the nearest second.
bool Breakdown(const COleDateTime& value, Fields& fields) {
  long unixDays;
  long secondOfDay;
  if (!SplitSeconds(value, unixDays, secondOfDay)) return false;
  CivilFromDays(unixDays, fields);
  fields.hour = static_cast<int>(secondOfDay / 3600);
  fields.minute = static_cast<int>(secondOfDay / 60 % 60);
  fields.second = static_cast<int>(secondOfDay % 60);
  fields.dayOfWeek = DayOfWeek(unixDays);
  return true;
}

int FieldOrInvalid(const COleDateTime& value, int Fields::*field) {
  Fields fields;
  return Breakdown(value, fields) ? fields.*field : -1;
}

// The time fields and the weekday need no calendar date.
int SecondOfDayOrInvalid(const COleDateTime& value, int divisor, int modulus) {
  long unixDays;
  long secondOfDay;
  return SplitSeconds(value, unixDays, secondOfDay)
             ? static_cast<int>(secondOfDay / divisor % modulus)
             : -1;
}

// The conversions Format knows: each a field, zero-padded to its width.
struct Conversion {
  wchar_t letter;
  int Fields::*field;
  int width;
};
constexpr Conversion kConversions[] = {
    {L'Y', &Fields::year, 4}, {L'm', &Fields::month, 2},  {L'd', &Fields::day, 2},
    {L'H', &Fields::hour, 2}, {L'M', &Fields::minute, 2}, {L'S', &Fields::second, 2},
};

const Conversion* ConversionOf(wchar_t letter) {
  for (const Conversion& conversion : kConversions) {
    if (conversion.letter == letter) return &conversion;
  }
  return nullptr;
}

// "%0*d" without swprintf, which costs more than the rest of Format.
void AppendNumber(std::wstring& out, int value, int width) {
  wchar_t digits[16];
  int count = 0;
  unsigned magnitude = value < 0 ? 0U - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  do {
    digits[count++] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) {
    out += L'-';
    --width;
  }
  for (int pad = count; pad < width; ++pad) out += L'0';
  while (count > 0) out += digits[--count];
}

}  // namespace

COleDateTime::COleDateTime(int year, int month, int day, int hour, int minute, int second) {
  SetDateTime(year, month, day, hour, minute, second);
}

COleDateTime COleDateTime::GetCurrentTime() {
  std::time_t now = std::chrono::system_clock::to_time_t(norvclock::Now());
  std::tm local{};
  localtime_r(&now, &local);
  return COleDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec == 60 ? 59 : local.tm_sec);
}

int COleDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second) {
  if (!IsValidDate(year, month, day) || !IsValidTime(hour, minute, second)) {
    m_status = invalid;
    return 1;
  }
  m_dt = DaysSinceOrigin(year, month, day) + FractionOfDay(hour, minute, second);
  m_status = valid;
  return 0;
}

int COleDateTime::SetDate(int year, int month, int day) {
  return SetDateTime(year, month, day, 0, 0, 0);
}

int COleDateTime::SetTime(int hour, int minute, int second) {
  return SetDateTime(1899, 12, 30, hour, minute, second);
}

int COleDateTime::GetYear() const { return FieldOrInvalid(*this, &Fields::year); }
int COleDateTime::GetMonth() const { return FieldOrInvalid(*this, &Fields::month); }
int COleDateTime::GetDay() const { return FieldOrInvalid(*this, &Fields::day); }
int COleDateTime::GetHour() const { return SecondOfDayOrInvalid(*this, 3600, 24); }
int COleDateTime::GetMinute() const { return SecondOfDayOrInvalid(*this, 60, 60); }
int COleDateTime::GetSecond() const { return SecondOfDayOrInvalid(*this, 1, 60); }

int COleDateTime::GetDayOfWeek() const {
  long unixDays;
  long secondOfDay;
  return SplitSeconds(*this, unixDays, secondOfDay) ? DayOfWeek(unixDays) : -1;
}

bool CivilDateOf(const COleDateTime& value, CivilDate& date) {
  long unixDays;
  long secondOfDay;
  if (!SplitSeconds(value, unixDays, secondOfDay)) return false;
  Fields fields;
  CivilFromDays(unixDays, fields);
  date = {fields.year, fields.month, fields.day};
  return true;
}

CString COleDateTime::Format(const wchar_t* format) const {
  if (m_status == null) return CString();
  Fields fields;
  if (!Breakdown(*this, fields)) return CString(L"Invalid DateTime");
  std::wstring out;
  for (const wchar_t* p = format ? format : L""; *p != L'\0'; ++p) {
    if (*p != L'%' || p[1] == L'\0') {
      out += *p;
      continue;
    }
    const wchar_t letter = *++p;
    if (const Conversion* conversion = ConversionOf(letter)) {
      AppendNumber(out, fields.*conversion->field, conversion->width);
    } else {
      out += L'%';  // "%%" is one '%'; an unknown conversion stays as written
      if (letter != L'%') out += letter;
    }
  }
  return CString(std::move(out));
}

bool COleDateTime::operator>(const COleDateTime& other) const { return other < *this; }
bool COleDateTime::operator<=(const COleDateTime& other) const {
  return *this < other || *this == other;
}
bool COleDateTime::operator>=(const COleDateTime& other) const {
  return *this > other || *this == other;
}
