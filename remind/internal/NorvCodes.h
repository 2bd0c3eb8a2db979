#ifndef NORV_REMIND_INTERNAL_NORVCODES_H_
#define NORV_REMIND_INTERNAL_NORVCODES_H_

// The numbers the tables store, each named once. Header-only and never
// installed: the library and the in-tree host both build statements and
// rules from these names.

#include "remind/CNorvRemind.h"

namespace norvcode {

// NORV_REMIND_DEF.CN_N_STATE.
inline constexpr short kRemindActive = 0;
inline constexpr short kRemindExpired = 1;

// NORV_REMIND_DEF.CN_N_TYPE and CN_N_SEND_FLAG keep the public names.
inline constexpr short kOneOff = CNorvRemind::kOneOff;
inline constexpr short kPeriodic = CNorvRemind::kPeriodic;
inline constexpr short kCustomStyle = CNorvRemind::kCustomStyle;
inline constexpr short kAMFlag = CNorvRemind::kAMFlag;
inline constexpr short kSMSFlag = CNorvRemind::kSMSFlag;
inline constexpr short kEmailFlag = CNorvRemind::kEmailFlag;

// NORV_REMIND_MSG.CN_N_STATUS.
inline constexpr short kMsgNotRead = 0;
inline constexpr short kMsgRead = 1;

// NORV_REMIND_MSG_AM.CN_N_STATUS.
inline constexpr short kAMWaiting = 0;
inline constexpr short kAMSent = 1;
inline constexpr short kAMFailed = 2;
inline constexpr short kAMExpired = 3;

// NORV_REMIND_REPEAT.CN_N_REGULAR_TYPE.
inline constexpr short kDaily = 0;
inline constexpr short kWeekly = 1;
inline constexpr short kMonthly = 2;
inline constexpr short kYearly = 3;
// CN_N_REGULAR_VALUE of a daily rule.
inline constexpr short kEveryNDays = 0;
inline constexpr short kWorkdays = 1;
inline constexpr short kWeekends = 2;
// CN_N_REPEAT_RANGE: whether CN_N_REPEAT_NUM limits the firings.
inline constexpr short kUnlimited = 0;
inline constexpr short kLimitedCount = 1;

// A repeat rule's type and value decoded into the one kind of day it
// matches; `value` keeps the mask, day of month or days counted back.
enum class RuleKind {
  kEveryNDays,
  kWorkdays,
  kWeekends,
  kWeekdayMask,
  kDayOfMonth,
  kDaysBeforeNextMonth,
  kYearly,
  kNever,
};

inline RuleKind DecodeRule(short type, short value) {
  switch (type) {
    case kDaily:
      if (value == kEveryNDays) return RuleKind::kEveryNDays;
      if (value == kWorkdays) return RuleKind::kWorkdays;
      if (value == kWeekends) return RuleKind::kWeekends;
      return RuleKind::kNever;
    case kWeekly:
      return RuleKind::kWeekdayMask;
    case kMonthly:
      if (value > 0) return RuleKind::kDayOfMonth;
      if (value < 0) return RuleKind::kDaysBeforeNextMonth;
      return RuleKind::kNever;
    case kYearly:
      return RuleKind::kYearly;
    default:
      return RuleKind::kNever;
  }
}

}  // namespace norvcode

#endif  // NORV_REMIND_INTERNAL_NORVCODES_H_
