#include "host/store/RemindSchedule.h"

#include <list>

#include "core/base/COleDateTimeSpan.h"
#include "core/base/CSingleLock.h"

namespace norvhost {

namespace {

CString DayText(const COleDateTime& day) { return day.Format(L"%Y-%m-%d"); }

CString DescribeRule(CNorvRemindRepeat& repeat) {
  const short type = repeat.GetReqularType();
  const short value = repeat.GetRegularValue();
  CString rule;
  switch (type) {
    case 0:
      if (value == 0) {
        const short interval = repeat.GetInterval();
        if (interval == 1) {
          rule = L"every day";
        } else {
          rule.Format(L"every %d days", interval);
        }
      } else if (value == 1) {
        rule = L"working days";
      } else if (value == 2) {
        rule = L"weekends";
      } else {
        rule.Format(L"daily value %d (never)", value);
      }
      break;
    case 1: {
      static const wchar_t* kDays[] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
      CString days;
      for (int bit = 1; bit <= 7; ++bit) {
        if ((value >> bit) & 1) {
          if (!days.IsEmpty()) days += L",";
          days += kDays[bit - 1];
        }
      }
      rule = days.IsEmpty() ? CString(L"weekly, no day") : L"weekly " + days;
      break;
    }
    case 2:
      if (value > 0) {
        rule.Format(L"monthly, day %d", value);
      } else if (value == -1) {
        rule = L"monthly, last day";
      } else if (value < 0) {
        rule.Format(L"monthly, %d days before the next month", -value);
      } else {
        rule = L"monthly, no day";
      }
      break;
    case 3:
      rule = L"yearly on " + repeat.m_dtStart.Format(L"%m-%d");
      break;
    default:
      rule.Format(L"rule %d (never)", type);
  }
  return rule;
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
  if (state == 0) return L"active";
  if (state == 1) return L"inactive";
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
      if (repeat.GetRegularRange() == 1) {
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
      return L"before " + DayText(deadline) + L": " + DescribeItems(remind.m_lstStyleItem);
    }
    default:
      return L"never";
  }
}

CString DescribeItems(const std::list<CNorvBasePtr<CNorvRemindStyleItem>>& items) {
  CString text;
  for (const auto& item : items) {
    if (!text.IsEmpty()) text += L", ";
    text.AppendFormat(L"%dd %s", item->m_nDay, item->m_strTime);
  }
  return text;
}

CString DescribeReceivers(CNorvRemind& remind) {
  std::list<CNorvBasePtr<CEmItem>> receivers;
  remind.GetReceiverList(receivers);
  CString text;
  for (auto& receiver : receivers) {
    if (!text.IsEmpty()) text += L", ";
    text += receiver->m_strReceiveName.IsEmpty() ? receiver->m_strReceiveID
                                                  : receiver->m_strReceiveName;
  }
  return text;
}

}  // namespace norvhost
