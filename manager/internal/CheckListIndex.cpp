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
  if (!sorted && IsComparable(time) && !m_byTime.empty() && time.m_dt < m_byTime.rbegin()->first) {
    m_inOrder = false;
  }
  const List::iterator position = m_list.insert(sorted ? SortedPosition(time) : m_list.end(),
                                                CNorvBasePtr<CNorvRemindAMMsg>(message));
  Index(position, time);
}

void CheckListIndex::Erase(CNorvRemindAMMsg* message) {
  assert(message != nullptr);
  ResyncIfStale();
  const auto [first, last] = m_byObject.equal_range(message);
  for (auto it = first; it != last; ++it) {
    if (it->second.timed != m_byTime.end()) m_byTime.erase(it->second.timed);
    m_list.erase(it->second.position);
  }
  m_byObject.erase(first, last);
  // A list that drained is in order again, whatever was appended before.
  if (m_byTime.empty()) m_inOrder = true;
}

void CheckListIndex::Clear() {
  m_list.clear();
  m_byObject.clear();
  m_byTime.clear();
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
  const ByTime::iterator timed =
      IsComparable(time) ? m_byTime.emplace(time.m_dt, position) : m_byTime.end();
  m_byObject.emplace(position->p, Entry{position, timed});
}

void CheckListIndex::ResyncIfStale() {
  if (m_byObject.size() == m_list.size()) return;
  m_byObject.clear();
  m_byTime.clear();
  m_inOrder = true;
  for (auto it = m_list.begin(); it != m_list.end(); ++it) {
    const COleDateTime time = (*it)->GetRemindTime();
    if (IsComparable(time) && !m_byTime.empty() && time.m_dt < m_byTime.rbegin()->first)
      m_inOrder = false;
    Index(it, time);
  }
}
