#ifndef NORV_REMIND_INTERNAL_REMINDROWS_H_
#define NORV_REMIND_INTERNAL_REMINDROWS_H_

// The one reader of each remind table's rows, shared by the loaders of a
// single remind and the manager's bulk loader. Their queries select the
// same columns in different places, so each reader is told where they are.

#include "core/base/CNorvBasePtr.h"
#include "core/base/CString.h"
#include "core/db/CNorvRecordSet.h"
#include "remind/CEmItem.h"
#include "remind/CNorvRemind.h"
#include "repeat/CNorvRemindRepeat.h"

namespace norvrows {

// The value of a 1-based column, "" for NULL.
CString Column(const CNorvRecordSet& rows, int column);
// The same in a buffer the calling thread reuses, for a text that is only
// parsed: loading reads millions of them. Valid until the thread's next call.
const CString& TransientColumn(const CNorvRecordSet& rows, int column);
short ShortColumn(const CNorvRecordSet& rows, int column);

// Where a query put the columns of NORV_REMIND_DEF; 0 for one it did not
// select.
struct RemindDefColumns {
  int id = 0;
  int state = 0;
  int type = 0;
  int sendFlag = 0;
  int from = 0;
  int remindTime = 0;
  int invalidDate = 0;
  int creatorID = 0;
  int creatorName = 0;
  int createTime = 0;
  int content = 0;
  int contentType = 0;
  int styleDef = 0;
};

// Fills a remind that nobody else sees yet from the current row. Only a
// one-off keeps its remind time and only a custom-style remind its style.
void ReadRemindDef(const CNorvRecordSet& rows, const RemindDefColumns& columns,
                   CNorvRemind& remind);

// NORV_REMIND_RECEIVE's type, id and name, from column `first` on.
CNorvBasePtr<CEmItem> ReadReceiver(const CNorvRecordSet& rows, int first);

// NORV_REMIND_REPEAT's remind time, start, end, type, interval, value,
// range, number and count, from column `first` on. Takes the rule's lock.
void ReadRepeat(const CNorvRecordSet& rows, int first, CNorvRemindRepeat& repeat);

// Which reminds cannot fire without a valid deadline. The manager's bulk
// load also drops a remind of an unknown type without one; a single load
// leaves such a remind to its caller.
enum class DeadlineRule { kCustomStyle, kAllButOneOffAndPeriodic };

// Whether a remind read from its table can still fire: a one-off needs its
// time, a remind under `rule` its deadline, a custom-style remind a style
// that parses (into the remind's items). False with the reason when not.
bool CanFire(CNorvRemind& remind, DeadlineRule rule, CString& reason);

}  // namespace norvrows

#endif  // NORV_REMIND_INTERNAL_REMINDROWS_H_
