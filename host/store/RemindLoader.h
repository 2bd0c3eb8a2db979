#ifndef NORV_HOST_STORE_REMINDLOADER_H_
#define NORV_HOST_STORE_REMINDLOADER_H_

#include <list>
#include <utility>
#include <vector>

#include "core/base/CGuid.h"
#include "core/base/CNorvBasePtr.h"
#include "core/base/CString.h"
#include "host/store/HostDatabase.h"
#include "remind/CNorvRemind.h"
#include "style/CNorvRemindStyleItem.h"

namespace norvhost {

// A remind that is stored but does not load, with the library's reason.
using UnloadableRemind = std::pair<CGuid, CString>;

// The checks the library's loader makes of a remind's own fields (a one-off
// needs its time, a custom style its deadline and items that parse), with
// its texts. `items` receives the parsed style items. Reminds that pass load
// back as they were stored, so a definition is checked before it is stored
// rather than read back after.
bool CheckLoadable(CNorvRemind& remind, std::list<CNorvBasePtr<CNorvRemindStyleItem>>& items,
                   CString& errorText);

// Every stored remind (the active ones only when `activeOnly`) with its
// receivers and repeat rule, oldest first, read with one query per table.
// The reminds are new and not shared. False with the database's reason when
// a query fails.
bool ReadReminds(HostDatabase& database, bool activeOnly,
                 std::vector<CNorvBasePtr<CNorvRemind>>& reminds,
                 std::vector<UnloadableRemind>& unloadable, CString& errorText);

}  // namespace norvhost

#endif  // NORV_HOST_STORE_REMINDLOADER_H_
