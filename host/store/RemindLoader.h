#ifndef NORV_HOST_STORE_REMINDLOADER_H_
#define NORV_HOST_STORE_REMINDLOADER_H_

#include <list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/base/CGuid.h"
#include "core/base/CNorvBasePtr.h"
#include "core/base/CString.h"
#include "core/db/CNorvRecordSet.h"
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

// The stored reminds (the active ones only when asked) one row at a time,
// each with its repeat rule, in table order: for callers that want when
// many reminds fire but the rest of only the few that do. One remind is
// filled again for each row with what decides its firings (identifier,
// type, remind time, deadline, style items, rule) and nothing else, so no
// remind object is built per row. Not shared between threads.
class RemindRuleCursor {
 public:
  RemindRuleCursor() = default;
  RemindRuleCursor(const RemindRuleCursor&) = delete;
  RemindRuleCursor& operator=(const RemindRuleCursor&) = delete;

  // False with the database's reason when the query fails.
  bool Open(HostDatabase& database, bool activeOnly, CString& errorText);
  // Moves to the next remind that loads; those that do not go to
  // `unloadable` with the library's reason. False past the last row.
  bool Next(std::vector<UnloadableRemind>& unloadable);

  // The current remind; valid until Next.
  CNorvRemind& remind() { return m_remind; }
  // The current row's identifier as stored, valid until Next.
  std::string_view IDText() const { return m_records.GetText(1); }
  // Sorts like the loaders' "oldest first": unreadable times last.
  double CreationKey() const;
  std::string ContentUtf8() const { return std::string(m_records.GetText(7)); }

 private:
  void Fill();

  CNorvRecordSet m_records;
  CNorvRemind m_remind;
  CNorvRemindRepeat m_noRule;
};

// A receiver row as stored, in UTF-8.
struct ReceiverRow {
  // Index into the identifiers asked for.
  size_t owner;
  short type;
  std::string id;
  std::string name;
};

// The receivers of the reminds whose stored identifiers are `ids`, grouped
// by owner in the order the loaders give each remind's receivers. False
// with the database's reason when the query fails.
bool ReadReceiverRows(HostDatabase& database, const std::vector<std::string_view>& ids,
                      std::vector<ReceiverRow>& rows, CString& errorText);

}  // namespace norvhost

#endif  // NORV_HOST_STORE_REMINDLOADER_H_
