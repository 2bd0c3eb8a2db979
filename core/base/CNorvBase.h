#ifndef NORV_CORE_BASE_CNORVBASE_H_
#define NORV_CORE_BASE_CNORVBASE_H_

#include <atomic>

#include "core/base/NorvExport.h"

// Root of every shared object. A new object has no reference; the release
// that drops the last one destroys it.
class NORV_EXPORT CNorvBase {
 public:
  CNorvBase() = default;
  CNorvBase(const CNorvBase&) = delete;
  CNorvBase& operator=(const CNorvBase&) = delete;
  virtual ~CNorvBase() = default;

  long AddRef() { return m_nRefCount.fetch_add(1, std::memory_order_relaxed) + 1; }
  long Release() {
    long remaining = m_nRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (remaining == 0) delete this;
    return remaining;
  }

 private:
  std::atomic<long> m_nRefCount{0};
};

#endif  // NORV_CORE_BASE_CNORVBASE_H_
