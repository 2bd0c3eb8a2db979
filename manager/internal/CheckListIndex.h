#ifndef NORV_MANAGER_INTERNAL_CHECKLISTINDEX_H_
#define NORV_MANAGER_INTERNAL_CHECKLISTINDEX_H_

#include <cstddef>
#include <list>
#include <map>
#include <unordered_map>

#include "core/base/CNorvBasePtr.h"
#include "message/CNorvRemindAMMsg.h"

// Finds the entries of the manager's check list without walking it: by
// object, so that removing a due message costs the same however long the
// list is, and by remind time, so that a sorted insertion costs O(log n).
//
// The list belongs to the manager and stays a plain list in its order;
// this index only points into it. Every change to the list goes through
// Insert, Erase or Clear; a list changed behind the index's back (its size
// no longer matches) is indexed anew on the next call. A message's remind
// time must not change while it waits in the list.
//
// Not thread-safe: the caller holds the list's lock.
class CheckListIndex {
 public:
  using List = std::list<CNorvBasePtr<CNorvRemindAMMsg>>;

  // `list` must outlive the index.
  explicit CheckListIndex(List& list) : m_list(list) {}
  CheckListIndex(const CheckListIndex&) = delete;
  CheckListIndex& operator=(const CheckListIndex&) = delete;

  // Sorted: before the first entry whose time is strictly later than the
  // message's (an invalid time on either side is never later); otherwise,
  // or when there is none, at the end. Reads the message's time under its
  // own lock.
  void Insert(CNorvRemindAMMsg* message, bool sorted);
  // Erases every entry that refers to this very object.
  void Erase(CNorvRemindAMMsg* message);
  void Clear();

 private:
  using ByTime = std::multimap<double, List::iterator>;
  struct Entry {
    List::iterator position;
    ByTime::iterator timed;  // m_byTime.end() for a time that is never later
  };

  List::iterator SortedPosition(const COleDateTime& time);
  List::iterator WalkForLater(const COleDateTime& time);
  void Index(List::iterator position, const COleDateTime& time);
  void ResyncIfStale();

  List& m_list;
  std::unordered_multimap<const CNorvRemindAMMsg*, Entry> m_byObject;
  // Entries with a valid time. While m_inOrder holds, their list order is
  // ascending in time (equal times in list order), so the first later entry
  // of the list is the first one above the time here.
  ByTime m_byTime;
  bool m_inOrder = true;
};

#endif  // NORV_MANAGER_INTERNAL_CHECKLISTINDEX_H_
