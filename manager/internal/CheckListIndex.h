#ifndef NORV_MANAGER_INTERNAL_CHECKLISTINDEX_H_
#define NORV_MANAGER_INTERNAL_CHECKLISTINDEX_H_

#include <cstddef>
#include <functional>
#include <list>
#include <map>
#include <unordered_map>

#include "core/base/CNorvBasePtr.h"
#include "message/CNorvRemindAMMsg.h"

// Finds the entries of the manager's check list without walking it: by
// remind time and object, so that removing a due message costs the same
// however long the list is, and a sorted insertion costs O(log n). Due
// messages sit at the low end of the tree, which stays in cache; a hash by
// object alone would cost a cache miss per removal on a long list and more
// memory per message.
//
// The list belongs to the manager and stays a plain list in its order;
// this index only points into it. Every change to the list goes through
// Insert, Erase or Clear; a list changed behind the index's back (its size
// no longer matches) is indexed anew on the next call. A message's remind
// time must not change while it waits in the list: it is how it is found.
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
  // Equal times are ordered by object, so that all entries of one object
  // are adjacent and found at once; a bare time compares with the time only.
  struct TimeKey {
    double time;
    const CNorvRemindAMMsg* object;
  };
  struct TimeOrder {
    using is_transparent = void;
    bool operator()(const TimeKey& left, const TimeKey& right) const {
      if (left.time != right.time) return left.time < right.time;
      return std::less<const CNorvRemindAMMsg*>()(left.object, right.object);
    }
    bool operator()(const TimeKey& left, double right) const { return left.time < right; }
    bool operator()(double left, const TimeKey& right) const { return left < right.time; }
  };
  using ByTime = std::multimap<TimeKey, List::iterator, TimeOrder>;

  List::iterator SortedPosition(const COleDateTime& time);
  List::iterator WalkForLater(const COleDateTime& time);
  void Index(List::iterator position, const COleDateTime& time);
  void ResyncIfStale();

  List& m_list;
  // Entries with a valid time. While m_inOrder holds, their list order is
  // ascending in time, so the first later entry of the list is the first
  // one above the time here.
  ByTime m_byTime;
  // Entries whose time is never later (invalid): rare, found by object.
  std::unordered_multimap<const CNorvRemindAMMsg*, List::iterator> m_untimed;
  bool m_inOrder = true;
};

#endif  // NORV_MANAGER_INTERNAL_CHECKLISTINDEX_H_
