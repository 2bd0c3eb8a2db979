#include "remind/CEmItem.h"

#include <memory>

#include "core/base/CNorvCommFun.h"

bool CEmItem::ParseEmXML(const CNorvXmlNode& element, std::list<CNorvBasePtr<CEmItem>>& items) {
  for (CNorvXmlNode child = element.GetFirstChild(); !child.IsNull();
       child = child.GetNextSibling()) {
    if (!child.IsElement() || child.GetName().CompareNoCase(L"Receiver") != 0) continue;
    // Owned here until it proves valid, so a rejected receiver is freed at once.
    auto item = std::make_unique<CEmItem>();
    CString type;
    if (child.GetAttribute(L"Type", type)) item->m_nReceiveType = static_cast<short>(type.ToInt());
    child.GetAttribute(L"ID", item->m_strReceiveID);
    child.GetAttribute(L"Name", item->m_strReceiveName);
    if (item->m_strReceiveID.IsEmpty()) return false;
    items.emplace_back(item.release());
  }
  return true;
}

CString CEmItem::GenEmInfo_XML() const {
  CString text;
  text.Format(L"<Receiver Type='%d' ID='%s' Name='%s' />", m_nReceiveType,
              CNorvCommFun::EscapeXML(m_strReceiveID), CNorvCommFun::EscapeXML(m_strReceiveName));
  return text;
}

CString CEmItem::GenEmInfo_Json() const {
  CString text;
  text.Format(L"{ \"Type\": \"%d\", \"ID\": \"%s\", \"Name\": \"%s\" }", m_nReceiveType,
              CNorvCommFun::EscapeJson(m_strReceiveID), CNorvCommFun::EscapeJson(m_strReceiveName));
  return text;
}
