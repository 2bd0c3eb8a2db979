#include "manager/internal/CheckListIndex.h"

#include <cassert>
#include <cmath>

namespace {

// A time that can be later than something: valid and a number.
bool IsComparable(const COleDateTime& time) {
  return time.GetStatus() == COleDateTime::valid && !std::isnan(time.m_dt);
}

// Only a valid time strictly after a valid moment counts as later.
bool IsLater(const COleDateTime& time, const COleDateTime& moment) {
  return IsComparable(time) && IsComparable(moment) && time > moment;
}

}  // namespace

void CheckListIndex::Insert(CNorvRemindAMMsg* message, bool sorted) {
  assert(message != nullptr);
  ResyncIfStale();
  const COleDateTime time = message->GetRemindTime();
  if (!sorted && IsComparable(time) && !m_byTime.empty() &&
      time.m_dt < m_byTime.rbegin()->first.time) {
    m_inOrder = false;
  }
  const List::iterator position = m_list.insert(sorted ? SortedPosition(time) : m_list.end(),
                                                CNorvBasePtr<CNorvRemindAMMsg>(message));
  Index(position, time);
}

void CheckListIndex::Erase(CNorvRemindAMMsg* message) {
  assert(message != nullptr);
  ResyncIfStale();
  const COleDateTime time = message->GetRemindTime();
  if (IsComparable(time)) {
    const auto [first, last] = m_byTime.equal_range(TimeKey{time.m_dt, message});
    for (auto it = first; it != last; ++it) m_list.erase(it->second);
    m_byTime.erase(first, last);
  } else {
    const auto [first, last] = m_untimed.equal_range(message);
    for (auto it = first; it != last; ++it) m_list.erase(it->second);
    m_untimed.erase(first, last);
  }
  // A list that drained is in order again, whatever was appended before.
  if (m_byTime.empty()) m_inOrder = true;
}

void CheckListIndex::Clear() {
  m_list.clear();
  m_byTime.clear();
  m_untimed.clear();
  m_inOrder = true;
}

CheckListIndex::List::iterator CheckListIndex::SortedPosition(const COleDateTime& time) {
  if (!IsComparable(time)) return m_list.end();
  if (!m_inOrder) return WalkForLater(time);
  const ByTime::iterator later = m_byTime.upper_bound(time.m_dt);
  return later == m_byTime.end() ? m_list.end() : later->second;
}

// Out of order only after an early message was appended unsorted; then the
// first later entry can be anywhere and the list is walked.
CheckListIndex::List::iterator CheckListIndex::WalkForLater(const COleDateTime& time) {
  for (auto it = m_list.begin(); it != m_list.end(); ++it) {
    if (IsLater((*it)->GetRemindTime(), time)) return it;
  }
  return m_list.end();
}

void CheckListIndex::Index(List::iterator position, const COleDateTime& time) {
  if (IsComparable(time)) {
    // Loading appends in time order: the end, tried first, spares the walk
    // down the tree.
    m_byTime.emplace_hint(m_byTime.end(), TimeKey{time.m_dt, position->p}, position);
  } else {
    m_untimed.emplace(position->p, position);
  }
}

void CheckListIndex::ResyncIfStale() {
  if (m_byTime.size() + m_untimed.size() == m_list.size()) return;
  m_byTime.clear();
  m_untimed.clear();
  m_inOrder = true;
  for (auto it = m_list.begin(); it != m_list.end(); ++it) {
    const COleDateTime time = (*it)->GetRemindTime();
    if (IsComparable(time) && !m_byTime.empty() && time.m_dt < m_byTime.rbegin()->first.time)
      m_inOrder = false;
    Index(it, time);
  }
}
