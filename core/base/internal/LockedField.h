#ifndef NORV_CORE_BASE_INTERNAL_LOCKEDFIELD_H_
#define NORV_CORE_BASE_INTERNAL_LOCKEDFIELD_H_

#include <utility>

#include "core/base/CCriticalSection.h"
#include "core/base/CSingleLock.h"

// Internal: one field read or written under the lock that guards it, for
// the accessors that need nothing else held.
namespace norvlock {

// A copy of `field`, taken while `section` is held.
template <typename T>
T CopyOf(CCriticalSection& section, const T& field) {
  CSingleLock lock(&section, true);
  return field;
}

// Stores `value` in `field` while `section` is held.
template <typename T, typename V>
void Store(CCriticalSection& section, T& field, V&& value) {
  CSingleLock lock(&section, true);
  field = std::forward<V>(value);
}

}  // namespace norvlock

#endif  // NORV_CORE_BASE_INTERNAL_LOCKEDFIELD_H_
