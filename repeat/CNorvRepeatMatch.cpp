#include <cmath>
#include <cstdint>

#include "core/base/CSingleLock.h"
#include "remind/internal/NorvCodes.h"
#include "repeat/CNorvRepeat.h"

namespace {

constexpr double kHalfSecond = 1.0 / 172800.0;

bool IsValid(const COleDateTime& date) { return date.GetStatus() == COleDateTime::valid; }

// Whole days between two dates, rounded to the nearest half second first so
// that a value a hair below midnight still counts as the next day.
int64_t WholeDaysBetween(const COleDateTime& from, const COleDateTime& to) {
  double span = (to - from).GetTotalDays();
  span += span >= 0 ? kHalfSecond : -kHalfSecond;
  return static_cast<int64_t>(std::trunc(span));
}

COleDateTime FirstOfNextMonth(const COleDateTime& date) {
  int year = date.GetYear();
  int month = date.GetMonth() + 1;
  if (month > 12) {
    month = 1;
    ++year;
  }
  return COleDateTime(year, month, 1, 0, 0, 0);
}

}  // namespace

COleDateTime CNorvRepeat::LockedStart() const {
  CSingleLock lock(&m_cs, true);
  return m_dtStart;
}

bool CNorvRepeat::MatchDate(COleDateTime date) const {
  COleDateTime start = LockedStart();
  if (IsValid(date) && IsValid(start) && date < start) return false;
  switch (norvcode::DecodeRule(GetReqularType(), GetRegularValue())) {
    case norvcode::RuleKind::kEveryNDays:
    case norvcode::RuleKind::kWorkdays:
    case norvcode::RuleKind::kWeekends:
      return MatchDate_Day(date);
    case norvcode::RuleKind::kWeekdayMask:
      return MatchDate_Week(date);
    case norvcode::RuleKind::kDayOfMonth:
    case norvcode::RuleKind::kDaysBeforeNextMonth:
      return MatchDate_Month(date);
    case norvcode::RuleKind::kYearly:
      return MatchDate_Year(date);
    case norvcode::RuleKind::kNever:
      return false;
  }
  return false;
}

bool CNorvRepeat::MatchDate_Day(COleDateTime date) const {
  if (!IsValid(date)) return false;
  int weekday = date.GetDayOfWeek();
  switch (norvcode::DecodeRule(norvcode::kDaily, GetRegularValue())) {
    case norvcode::RuleKind::kEveryNDays: {
      COleDateTime start = LockedStart();
      short interval = GetInterval();
      if (!IsValid(start) || interval == 0) return false;
      return WholeDaysBetween(start, date) % interval == 0;
    }
    case norvcode::RuleKind::kWorkdays:
      return weekday >= 2 && weekday <= 6;
    case norvcode::RuleKind::kWeekends:
      return weekday == 1 || weekday == 7;
    default:
      return false;
  }
}

bool CNorvRepeat::MatchDate_Week(COleDateTime date) const {
  if (!IsValid(date)) return false;
  auto mask = static_cast<unsigned short>(GetRegularValue());
  return ((mask >> date.GetDayOfWeek()) & 1U) != 0;
}

bool CNorvRepeat::MatchDate_Month(COleDateTime date) const {
  if (!IsValid(date)) return false;
  short value = GetRegularValue();
  if (value == 0) return false;
  if (value > 0) return date.GetDay() == value;
  // Counted back from the next month's first day, at midnight exactly.
  COleDateTime target = FirstOfNextMonth(date) - COleDateTimeSpan(static_cast<double>(-value));
  return date == target;
}

bool CNorvRepeat::MatchDate_Year(COleDateTime date) const {
  if (!IsValid(date)) return false;
  COleDateTime start = LockedStart();
  return IsValid(start) && date.GetMonth() == start.GetMonth() &&
         date.GetDay() == start.GetDay();
}
