#ifndef NORV_CORE_BASE_CSINGLELOCK_H_
#define NORV_CORE_BASE_CSINGLELOCK_H_

#include "core/base/CCriticalSection.h"
#include "core/base/NorvExport.h"

// Scoped holder of a CCriticalSection; releases it when the scope ends.
class NORV_EXPORT CSingleLock {
 public:
  explicit CSingleLock(CCriticalSection* section, bool initialLock = false) : m_section(section) {
    if (initialLock) Lock();
  }
  ~CSingleLock() { Unlock(); }
  CSingleLock(const CSingleLock&) = delete;
  CSingleLock& operator=(const CSingleLock&) = delete;

  void Lock() {
    if (m_section != nullptr && !m_locked) {
      m_section->Lock();
      m_locked = true;
    }
  }
  void Unlock() {
    if (m_locked) {
      m_section->Unlock();
      m_locked = false;
    }
  }
  bool IsLocked() const { return m_locked; }

 private:
  CCriticalSection* m_section;
  bool m_locked = false;
};

#endif  // NORV_CORE_BASE_CSINGLELOCK_H_
