#include "core/im/CMsg.h"

#include <utility>

void CMsg::SetAttrib(CString name, CString value) {
  for (auto& attrib : m_attribs) {
    if (attrib.first == name) {
      attrib.second = std::move(value);
      return;
    }
  }
  m_attribs.emplace_back(std::move(name), std::move(value));
}

CString CMsg::GetAttrib(const CString& name) const {
  for (const auto& attrib : m_attribs) {
    if (attrib.first == name) return attrib.second;
  }
  return CString();
}
