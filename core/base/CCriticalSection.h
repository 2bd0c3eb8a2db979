#ifndef NORV_CORE_BASE_CCRITICALSECTION_H_
#define NORV_CORE_BASE_CCRITICALSECTION_H_

#include <atomic>
#include <cassert>
#include <cstdint>
#include <thread>

#include "core/base/NorvExport.h"

// A re-entrant lock: the thread that holds it may take it again.
//
// Every remind and message carries several, so it is kept to 16 bytes (a
// std::recursive_mutex alone takes 40): one word that waiters sleep on
// through the system's futex, the owner, and the depth.
class NORV_EXPORT CCriticalSection {
 public:
  CCriticalSection() = default;
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  void Lock() {
    const std::thread::id self = std::this_thread::get_id();
    // Only this thread ever stores its own id, so reading it back means it
    // holds the lock already.
    if (m_owner.load(std::memory_order_relaxed) == self) {
      ++m_depth;
      return;
    }
    uint32_t expected = kFree;
    if (!m_state.compare_exchange_strong(expected, kHeld, std::memory_order_acquire)) LockSlow();
    m_owner.store(self, std::memory_order_relaxed);
    m_depth = 1;
  }

  // The calling thread must hold the lock.
  void Unlock() {
    assert(IsHeldByCurrentThread());
    if (--m_depth != 0) return;
    m_owner.store(std::thread::id(), std::memory_order_relaxed);
    if (m_state.exchange(kFree, std::memory_order_release) == kHeldWithWaiters) {
      m_state.notify_one();
    }
  }

  // For asserting a "caller holds the lock" precondition: only the answer
  // for the calling thread is reliable.
  bool IsHeldByCurrentThread() const {
    return m_owner.load(std::memory_order_relaxed) == std::this_thread::get_id();
  }

 private:
  static constexpr uint32_t kFree = 0;
  static constexpr uint32_t kHeld = 1;
  // Held, and someone may be asleep on it: the release must wake one.
  static constexpr uint32_t kHeldWithWaiters = 2;

  void LockSlow() {
    // Marking the word before sleeping makes the holder's release wake us.
    while (m_state.exchange(kHeldWithWaiters, std::memory_order_acquire) != kFree) {
      m_state.wait(kHeldWithWaiters, std::memory_order_relaxed);
    }
  }

  std::atomic<uint32_t> m_state{kFree};
  uint32_t m_depth = 0;  // written by the holder only
  std::atomic<std::thread::id> m_owner;
};

#endif  // NORV_CORE_BASE_CCRITICALSECTION_H_
