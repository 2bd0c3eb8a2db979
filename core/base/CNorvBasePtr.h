#ifndef NORV_CORE_BASE_CNORVBASEPTR_H_
#define NORV_CORE_BASE_CNORVBASEPTR_H_

#include "core/base/CNorvBase.h"

// The static type behind CNorvBasePtr<T>::operator->: every public member of
// T stays reachable except AddRef and Release, so code using the arrow cannot
// upset the count the smart pointer keeps. No object of this type is made.
template <class T>
class _NoAddRefReleaseOnCNorvBasePtr : public T {
 public:
  _NoAddRefReleaseOnCNorvBasePtr() = default;
  virtual ~_NoAddRefReleaseOnCNorvBasePtr() = default;

 private:
  using T::AddRef;
  using T::Release;
};

// Intrusive smart pointer over a CNorvBase object. Assignment takes the new
// reference before dropping the old one, so self-assignment is safe.
template <class T>
class CNorvBasePtr {
 public:
  CNorvBasePtr() : p(nullptr) {}
  CNorvBasePtr(T* other) : p(other) { AddRefPointer(p); }
  CNorvBasePtr(const CNorvBasePtr<T>& other) : p(other.p) { AddRefPointer(p); }
  ~CNorvBasePtr() { ReleasePointer(p); }

  T* operator=(T* other) {
    AddRefPointer(other);
    ReleasePointer(p);
    p = other;
    return p;
  }
  T* operator=(const CNorvBasePtr<T>& other) { return *this = other.p; }

  bool operator!() const { return p == nullptr; }
  bool operator==(T* other) const { return p == other; }
  operator T*() const { return p; }
  _NoAddRefReleaseOnCNorvBasePtr<T>* operator->() const {
    return static_cast<_NoAddRefReleaseOnCNorvBasePtr<T>*>(p);
  }

  T* p;

 private:
  static void AddRefPointer(T* object) {
    if (object != nullptr) static_cast<CNorvBase*>(object)->AddRef();
  }
  static void ReleasePointer(T* object) {
    if (object != nullptr) static_cast<CNorvBase*>(object)->Release();
  }
};

#endif  // NORV_CORE_BASE_CNORVBASEPTR_H_
