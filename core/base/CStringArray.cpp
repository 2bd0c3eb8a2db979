#include "core/base/CStringArray.h"

#include <stdexcept>

const CString& CStringArray::GetAt(int index) const {
  if (index < 0 || index >= GetSize()) {
    throw std::invalid_argument("CStringArray: index out of range");
  }
  return m_items[static_cast<size_t>(index)];
}

CString& CStringArray::operator[](int index) {
  if (index < 0 || index >= GetSize()) {
    throw std::invalid_argument("CStringArray: index out of range");
  }
  return m_items[static_cast<size_t>(index)];
}
