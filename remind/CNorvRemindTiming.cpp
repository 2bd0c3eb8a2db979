#include <climits>
#include <cmath>
#include <utility>

#include "core/base/CSingleLock.h"
#include "core/base/internal/CivilDate.h"
#include "remind/CNorvRemind.h"

namespace {

constexpr double kHalfSecond = 1.0 / 172800.0;

// Whole days from `day` to `deadline`, rounded half a second away from zero
// and cut toward zero, so that a time of day on `day` shortens the count.
int DayCount(const COleDateTime& deadline, const COleDateTime& day) {
  double span = (deadline - day).GetTotalDays();
  span = std::trunc(span >= 0 ? span + kHalfSecond : span - kHalfSecond);
  // Values no calendar date reaches are clamped rather than overflowed.
  if (!(span > INT_MIN)) return INT_MIN;
  if (span > INT_MAX) return INT_MAX;
  return static_cast<int>(span);
}

// Whether the two values print the same "%Y-%m-%d" text, without printing
// them: values without fields print "Invalid DateTime", or nothing if null.
bool SameCalendarText(const COleDateTime& left, const COleDateTime& right) {
  CivilDate leftDate;
  CivilDate rightDate;
  const bool leftHasFields = CivilDateOf(left, leftDate);
  const bool rightHasFields = CivilDateOf(right, rightDate);
  if (leftHasFields != rightHasFields) return false;
  if (!leftHasFields)
    return (left.GetStatus() == COleDateTime::null) == (right.GetStatus() == COleDateTime::null);
  return leftDate.year == rightDate.year && leftDate.month == rightDate.month &&
         leftDate.day == rightDate.day;
}

bool HasDay(const CNorvRemindStyleItem& item, unsigned int dayCount) {
  return static_cast<unsigned int>(item.m_nDay) == dayCount;
}

}  // namespace

bool CNorvRemind::NeedRemind(COleDateTime day) {
  CSingleLock lock(&m_cs, true);
  switch (m_nType) {
    case kOneOff:
      // Compared as calendar texts so the time of day does not matter. A
      // remind time that is not valid never fires, not even on a day that is
      // not valid either (whose text would equal it).
      return m_dtRemind.GetStatus() == COleDateTime::valid && SameCalendarText(day, m_dtRemind);
    case kPeriodic:
      return m_Repeat.MatchDate(day);
    case kCustomStyle:
      if (!(m_dtInvalid >= day)) return false;
      return ExistDayStyle(static_cast<unsigned int>(DayCount(m_dtInvalid, day)));
    default:
      return false;
  }
}

bool CNorvRemind::GetRemindTime(CString day, COleDateTime& time) {
  CSingleLock lock(&m_cs, true);
  if (m_nType == kOneOff) {
    time = m_dtRemind;
    return true;
  }
  return m_Repeat.GetRemindTime(std::move(day), time);
}

void CNorvRemind::GetRemindTime(CString day, std::list<COleDateTime>& times) {
  times.clear();
  COleDateTime date;
  date.ParseDateTime(day, VAR_DATEVALUEONLY);
  int dayCount;
  {
    CSingleLock lock(&m_cs, true);
    dayCount = DayCount(m_dtInvalid, date);
  }
  std::list<CNorvBasePtr<CNorvRemindStyleItem>> items;
  GetDayStyleList(static_cast<unsigned int>(dayCount), items);
  for (const auto& item : items) {
    CString text;
    text.Format(L"%s %s:0", day, item->m_strTime);
    COleDateTime time;
    time.ParseDateTime(text);
    // An unreadable item time is kept as an invalid value, not skipped.
    times.push_back(time);
  }
}

bool CNorvRemind::IsInvalid(COleDateTime day) {
  // Taking m_cs changes no result; it keeps a concurrent SetInfo from
  // tearing the type and deadline apart.
  CSingleLock lock(&m_cs, true);
  if (m_nType == kOneOff) return false;
  if (m_dtInvalid.GetStatus() == COleDateTime::valid) return m_dtInvalid <= day;
  CSingleLock repeatLock(&m_Repeat.m_cs, true);
  if (m_Repeat.m_nRegularRange != 1) return false;
  return m_Repeat.m_nCount >= m_Repeat.m_nNum;
}

void CNorvRemind::GetDayStyleList(unsigned int dayCount,
                                  std::list<CNorvBasePtr<CNorvRemindStyleItem>>& items) {
  items.clear();
  for (const auto& item : CopyStyleItems()) {
    if (HasDay(*item.p, dayCount)) items.push_back(item);
  }
}

bool CNorvRemind::ExistDayStyle(unsigned int dayCount) {
  for (const auto& item : CopyStyleItems()) {
    if (HasDay(*item.p, dayCount)) return true;
  }
  return false;
}
