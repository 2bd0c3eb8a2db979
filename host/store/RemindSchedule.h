#ifndef NORV_HOST_STORE_REMINDSCHEDULE_H_
#define NORV_HOST_STORE_REMINDSCHEDULE_H_

#include <list>
#include <vector>

#include "core/base/CCriticalSection.h"
#include "core/base/COleDateTime.h"
#include "core/base/CString.h"
#include "remind/CNorvRemind.h"

namespace norvhost {

// Whether the remind no longer fires as of `day` (00:00). A custom-style
// remind still fires on its deadline day, as the manager's expiry keeps it
// until that day is over.
bool HasRunOut(CNorvRemind& remind, const COleDateTime& day);

// The times at which the remind fires on `day`, in the order the library
// gives them; empty when it does not fire or has run out.
std::vector<COleDateTime> FiringTimes(CNorvRemind& remind, const COleDateTime& day);
// The same with the day also as "%Y-%m-%d", for callers asking for many reminds.
std::vector<COleDateTime> FiringTimes(CNorvRemind& remind, const COleDateTime& day,
                                      const CString& dayText);

// How far ahead NextFirings looks: ten years, enough for a yearly remind's
// next few firings while a remind that never fires again costs little.
inline constexpr int kLookAheadDays = 3653;

// The remind's first `count` firings after `now`, found day by day from
// now's day for at most `maxDays` days, in time order. A remind limited to a
// number of firings gives at most the ones it has left.
std::vector<COleDateTime> NextFirings(CNorvRemind& remind, const COleDateTime& now, size_t count,
                                      int maxDays = kLookAheadDays);

// The remind's content text.
CString ContentOf(CNorvRemind& remind);

// For people: "one-off", "periodic", "custom style" or "type N".
CString TypeName(short type);
CString StateName(short state);
// When the remind fires, in a few words: "2026-12-24 09:00:00",
// "working days at 08:30, until 2027-06-30", "before 2027-01-15: 7d 09:00".
CString DescribeWhen(CNorvRemind& remind);
// "7d 19:00, 0d 07:00": days before the deadline and time of each item.
// The caller holds `lock`, the lock of the list.
CString DescribeItems(const std::list<CNorvBasePtr<CNorvRemindStyleItem>>& items,
                      const CCriticalSection& lock);
// "alice, bob" (receiver names, or their ids where a name is missing).
CString DescribeReceivers(CNorvRemind& remind);

}  // namespace norvhost

#endif  // NORV_HOST_STORE_REMINDSCHEDULE_H_
