#include "core/CMsg.h"

void CMsg::SetAttrib(const CString& name, const CString& value) {
  for (auto& attrib : m_attribs) {
    if (attrib.first == name) {
      attrib.second = value;
      return;
    }
  }
  m_attribs.emplace_back(name, value);
}

CString CMsg::GetAttrib(const CString& name) const {
  for (const auto& attrib : m_attribs) {
    if (attrib.first == name) return attrib.second;
  }
  return CString();
}
