#include <cmath>
#include <cstdint>

#include "core/base/CSingleLock.h"
#include "core/base/internal/CivilDate.h"
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

// The branches below work on values read under the rule's lock beforehand,
// so that one match takes the lock once.

bool MatchDay(const COleDateTime& date, const COleDateTime& start, short value, short interval) {
  if (!IsValid(date)) return false;
  switch (norvcode::DecodeRule(norvcode::kDaily, value)) {
    case norvcode::RuleKind::kEveryNDays:
      if (!IsValid(start) || interval == 0) return false;
      return WholeDaysBetween(start, date) % interval == 0;
    case norvcode::RuleKind::kWorkdays: {
      const int weekday = date.GetDayOfWeek();
      return weekday >= 2 && weekday <= 6;
    }
    case norvcode::RuleKind::kWeekends: {
      const int weekday = date.GetDayOfWeek();
      return weekday == 1 || weekday == 7;
    }
    default:
      return false;
  }
}

bool MatchWeek(const COleDateTime& date, short value) {
  if (!IsValid(date)) return false;
  return ((static_cast<unsigned short>(value) >> date.GetDayOfWeek()) & 1U) != 0;
}

bool MatchMonth(const COleDateTime& date, short value) {
  CivilDate civil;
  if (value == 0 || !CivilDateOf(date, civil)) return false;
  if (value > 0) return civil.day == value;
  // Counted back from the next month's first day, at midnight exactly.
  const bool december = civil.month == 12;
  const COleDateTime firstOfNext(december ? civil.year + 1 : civil.year,
                                 december ? 1 : civil.month + 1, 1, 0, 0, 0);
  return date == firstOfNext - COleDateTimeSpan(static_cast<double>(-value));
}

bool MatchYear(const COleDateTime& date, const COleDateTime& start) {
  CivilDate civil;
  CivilDate startCivil;
  return CivilDateOf(date, civil) && CivilDateOf(start, startCivil) &&
         civil.month == startCivil.month && civil.day == startCivil.day;
}

}  // namespace

COleDateTime CNorvRepeat::LockedStart() const {
  CSingleLock lock(&m_cs, true);
  return m_dtStart;
}

bool CNorvRepeat::MatchDate(COleDateTime date) const {
  COleDateTime start;
  short type;
  short value;
  short interval;
  {
    CSingleLock lock(&m_cs, true);
    start = m_dtStart;
    type = m_nRegularType;
    value = m_nRegularValue;
    interval = m_nInterval;
  }
  if (IsValid(date) && IsValid(start) && date < start) return false;
  switch (norvcode::DecodeRule(type, value)) {
    case norvcode::RuleKind::kEveryNDays:
    case norvcode::RuleKind::kWorkdays:
    case norvcode::RuleKind::kWeekends:
      return MatchDay(date, start, value, interval);
    case norvcode::RuleKind::kWeekdayMask:
      return MatchWeek(date, value);
    case norvcode::RuleKind::kDayOfMonth:
    case norvcode::RuleKind::kDaysBeforeNextMonth:
      return MatchMonth(date, value);
    case norvcode::RuleKind::kYearly:
      return MatchYear(date, start);
    case norvcode::RuleKind::kNever:
      return false;
  }
  return false;
}

bool CNorvRepeat::MatchDate_Day(COleDateTime date) const {
  return MatchDay(date, LockedStart(), GetRegularValue(), GetInterval());
}

bool CNorvRepeat::MatchDate_Week(COleDateTime date) const {
  return MatchWeek(date, GetRegularValue());
}

bool CNorvRepeat::MatchDate_Month(COleDateTime date) const {
  return MatchMonth(date, GetRegularValue());
}

bool CNorvRepeat::MatchDate_Year(COleDateTime date) const { return MatchYear(date, LockedStart()); }
