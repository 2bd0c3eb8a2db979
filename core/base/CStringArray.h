#ifndef NORV_CORE_BASE_CSTRINGARRAY_H_
#define NORV_CORE_BASE_CSTRINGARRAY_H_

#include <vector>

#include "core/base/CString.h"
#include "core/base/NorvExport.h"

// A growable array of texts; an index out of range throws
// std::invalid_argument.
class NORV_EXPORT CStringArray {
 public:
  int GetSize() const { return static_cast<int>(m_items.size()); }
  int Add(const CString& text) {
    m_items.push_back(text);
    return GetSize() - 1;
  }
  const CString& GetAt(int index) const;
  CString& operator[](int index);
  const CString& operator[](int index) const { return GetAt(index); }
  void RemoveAll() { m_items.clear(); }

 private:
  std::vector<CString> m_items;
};

#endif  // NORV_CORE_BASE_CSTRINGARRAY_H_
