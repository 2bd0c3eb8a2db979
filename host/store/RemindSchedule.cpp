#include "host/store/RemindSchedule.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <list>

#include "core/base/COleDateTimeSpan.h"
#include "core/base/CSingleLock.h"
#include "remind/internal/NorvCodes.h"

namespace norvhost {

namespace {

CString DayText(const COleDateTime& day) { return day.Format(L"%Y-%m-%d"); }

CString NeverRule(short type, short value) {
  CString rule;
  if (type == norvcode::kDaily) {
    rule.Format(L"daily value %d (never)", value);
  } else if (type == norvcode::kMonthly) {
    rule = L"monthly, no day";
  } else {
    rule.Format(L"rule %d (never)", type);
  }
  return rule;
}

CString WeekdayRule(short mask) {
  static const wchar_t* kDays[] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
  CString days;
  for (int bit = 1; bit <= 7; ++bit) {
    if ((mask >> bit) & 1) {
      if (!days.IsEmpty()) days += L",";
      days += kDays[bit - 1];
    }
  }
  return days.IsEmpty() ? CString(L"weekly, no day") : L"weekly " + days;
}

CString DescribeRule(CNorvRemindRepeat& repeat) {
  const short type = repeat.GetReqularType();
  const short value = repeat.GetRegularValue();
  CString rule;
  switch (norvcode::DecodeRule(type, value)) {
    case norvcode::RuleKind::kEveryNDays:
      if (repeat.GetInterval() == 1) return L"every day";
      rule.Format(L"every %d days", repeat.GetInterval());
      return rule;
    case norvcode::RuleKind::kWorkdays:
      return L"working days";
    case norvcode::RuleKind::kWeekends:
      return L"weekends";
    case norvcode::RuleKind::kWeekdayMask:
      return WeekdayRule(value);
    case norvcode::RuleKind::kDayOfMonth:
      rule.Format(L"monthly, day %d", value);
      return rule;
    case norvcode::RuleKind::kDaysBeforeNextMonth:
      if (value == -1) return L"monthly, last day";
      rule.Format(L"monthly, %d days before the next month", -value);
      return rule;
    case norvcode::RuleKind::kYearly:
      return L"yearly on " + repeat.m_dtStart.Format(L"%m-%d");
    case norvcode::RuleKind::kNever:
      break;
  }
  return NeverRule(type, value);
}

size_t FiringsLeft(CNorvRemind& remind) {
  CNorvRemindRepeat& repeat = remind.m_Repeat;
  if (remind.GetType() != CNorvRemind::kPeriodic ||
      repeat.GetRegularRange() != norvcode::kLimitedCount) {
    return SIZE_MAX;
  }
  int num = 0;
  int count = 0;
  repeat.GetRepeatNum(num, count);
  return count < num ? static_cast<size_t>(num - count) : 0;
}

}  // namespace

bool HasRunOut(CNorvRemind& remind, const COleDateTime& day) {
  if (remind.GetType() == CNorvRemind::kCustomStyle) {
    return remind.IsInvalid(day - COleDateTimeSpan(1, 0, 0, 0));
  }
  return remind.IsInvalid(day);
}

std::vector<COleDateTime> FiringTimes(CNorvRemind& remind, const COleDateTime& day) {
  return FiringTimes(remind, day, DayText(day));
}

std::vector<COleDateTime> FiringTimes(CNorvRemind& remind, const COleDateTime& day,
                                      const CString& dayText) {
  std::vector<COleDateTime> times;
  if (HasRunOut(remind, day) || !remind.NeedRemind(day)) return times;
  if (remind.GetType() == CNorvRemind::kCustomStyle) {
    std::list<COleDateTime> styleTimes;
    remind.GetRemindTime(dayText, styleTimes);
    times.assign(styleTimes.begin(), styleTimes.end());
  } else {
    COleDateTime time;
    if (remind.GetRemindTime(dayText, time)) times.push_back(time);
  }
  return times;
}

std::vector<COleDateTime> NextFirings(CNorvRemind& remind, const COleDateTime& now, size_t count,
                                      int maxDays) {
  std::vector<COleDateTime> firings;
  count = std::min(count, FiringsLeft(remind));
  if (remind.GetType() == CNorvRemind::kOneOff) {
    // One day is all it has: no need to walk towards it.
    maxDays = 1;
    if (remind.m_dtRemind.GetStatus() != COleDateTime::valid) return firings;
  }
  COleDateTime day = remind.GetType() == CNorvRemind::kOneOff ? remind.m_dtRemind : now;
  day = COleDateTime(day.GetYear(), day.GetMonth(), day.GetDay(), 0, 0, 0);
  for (int i = 0; i < maxDays && firings.size() < count; ++i) {
    if (HasRunOut(remind, day)) break;
    std::vector<COleDateTime> times = FiringTimes(remind, day);
    std::sort(times.begin(), times.end());
    for (const COleDateTime& time : times) {
      if (time.GetStatus() == COleDateTime::valid && time > now && firings.size() < count) {
        firings.push_back(time);
      }
    }
    day += COleDateTimeSpan(1, 0, 0, 0);
  }
  return firings;
}

CString ContentOf(CNorvRemind& remind) {
  CString content;
  CString contentType;
  remind.GetContent(content, contentType);
  return content;
}

CString TypeName(short type) {
  switch (type) {
    case CNorvRemind::kOneOff:
      return L"one-off";
    case CNorvRemind::kPeriodic:
      return L"periodic";
    case CNorvRemind::kCustomStyle:
      return L"custom style";
    default: {
      CString name;
      name.Format(L"type %d", type);
      return name;
    }
  }
}

CString StateName(short state) {
  if (state == norvcode::kRemindActive) return L"active";
  if (state == norvcode::kRemindExpired) return L"inactive";
  CString name;
  name.Format(L"state %d", state);
  return name;
}

CString DescribeWhen(CNorvRemind& remind) {
  CString when;
  const COleDateTime deadline = remind.GetInvalidDate();
  switch (remind.GetType()) {
    case CNorvRemind::kOneOff:
      return remind.m_dtRemind.Format(L"%Y-%m-%d %H:%M:%S");
    case CNorvRemind::kPeriodic: {
      CNorvRemindRepeat& repeat = remind.m_Repeat;
      when = DescribeRule(repeat) + L" at " + repeat.m_strRemindTime;
      if (repeat.GetRegularRange() == norvcode::kLimitedCount) {
        int num = 0;
        int count = 0;
        repeat.GetRepeatNum(num, count);
        when.AppendFormat(L", %d of %d times", count, num);
      }
      if (repeat.m_dtEnd.GetStatus() == COleDateTime::valid) {
        when += L", rule ends " + DayText(repeat.m_dtEnd);
      }
      if (deadline.GetStatus() == COleDateTime::valid) when += L", until " + DayText(deadline);
      return when;
    }
    case CNorvRemind::kCustomStyle: {
      CSingleLock hold(&remind.m_csStyle, true);
      return L"before " + DayText(deadline) + L": " +
             DescribeItems(remind.m_lstStyleItem, remind.m_csStyle);
    }
    default:
      return L"never";
  }
}

CString DescribeItems(const std::list<CNorvBasePtr<CNorvRemindStyleItem>>& items,
                      [[maybe_unused]] const CCriticalSection& lock) {
  assert(lock.IsHeldByCurrentThread());
  CString text;
  for (const auto& item : items) {
    if (!text.IsEmpty()) text += L", ";
    text.AppendFormat(L"%dd %s", item->m_nDay, item->m_strTime);
  }
  return text;
}

CString DescribeReceivers(CNorvRemind& remind) {
  CSingleLock hold(&remind.m_csReceiver, true);
  CString text;
  for (const auto& receiver : remind.m_lstReceiver) {
    if (!text.IsEmpty()) text += L", ";
    text += receiver->m_strReceiveName.IsEmpty() ? receiver->m_strReceiveID
                                                 : receiver->m_strReceiveName;
  }
  return text;
}

}  // namespace norvhost
