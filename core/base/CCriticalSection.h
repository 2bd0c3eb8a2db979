#ifndef NORV_CORE_BASE_CCRITICALSECTION_H_
#define NORV_CORE_BASE_CCRITICALSECTION_H_

#include <mutex>

#include "core/base/NorvExport.h"

// A re-entrant lock: the thread that holds it may take it again.
class NORV_EXPORT CCriticalSection {
 public:
  CCriticalSection() = default;
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  void Lock() { m_mutex.lock(); }
  void Unlock() { m_mutex.unlock(); }

 private:
  std::recursive_mutex m_mutex;
};

#endif  // NORV_CORE_BASE_CCRITICALSECTION_H_
