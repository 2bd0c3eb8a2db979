#ifndef NORV_CORE_BASE_CCRITICALSECTION_H_
#define NORV_CORE_BASE_CCRITICALSECTION_H_

#include <atomic>
#include <mutex>
#include <thread>

#include "core/base/NorvExport.h"

// A re-entrant lock: the thread that holds it may take it again.
class NORV_EXPORT CCriticalSection {
 public:
  CCriticalSection() = default;
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  void Lock() {
    m_mutex.lock();
    if (m_depth++ == 0) m_owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
  }
  void Unlock() {
    if (--m_depth == 0) m_owner.store(std::thread::id(), std::memory_order_relaxed);
    m_mutex.unlock();
  }

  // For asserting a "caller holds the lock" precondition: only the answer
  // for the calling thread is reliable.
  bool IsHeldByCurrentThread() const {
    return m_owner.load(std::memory_order_relaxed) == std::this_thread::get_id();
  }

 private:
  std::recursive_mutex m_mutex;
  std::atomic<std::thread::id> m_owner;
  int m_depth = 0;  // guarded by m_mutex
};

#endif  // NORV_CORE_BASE_CCRITICALSECTION_H_
