#include "style/CNorvRemindStyleItem.h"

#include <memory>

#include "core/base/CNorvCommFun.h"
#include "core/base/CNorvXmlDocument.h"
#include "core/base/COleDateTime.h"
#include "core/base/CSingleLock.h"

namespace {

bool IsItemElement(const CNorvXmlNode& node) {
  return node.IsElement() && node.GetName().CompareNoCase(L"Item") == 0;
}

bool ComesBefore(const CNorvRemindStyleItem& a, const CNorvRemindStyleItem& b) {
  unsigned int dayA = static_cast<unsigned int>(a.m_nDay);
  unsigned int dayB = static_cast<unsigned int>(b.m_nDay);
  if (dayA != dayB) return dayA < dayB;
  return a.m_strTime < b.m_strTime;
}

}  // namespace

CNorvRemindStyleItem::CNorvRemindStyleItem() : m_nDay(0) {}

CNorvRemindStyleItem::~CNorvRemindStyleItem() = default;

bool CNorvRemindStyleItem::ParseXML(const CNorvXmlNode& element, CString& errorText) {
  CString value;
  if (!element.GetAttribute(L"Day", value)) {
    errorText = L"未指定提前天数 Day";
    return false;
  }
  m_nDay = value.ToInt();

  if (!element.GetAttribute(L"Time", m_strTime)) {
    errorText = L"未指定提醒时间 Time";
    return false;
  }
  if (m_strTime.IsEmpty()) {
    errorText = L"指定提醒时间 Time 值为空";
    return false;
  }
  m_strTime += L":00";
  COleDateTime time;
  if (!time.ParseDateTime(m_strTime, VAR_TIMEVALUEONLY)) {
    errorText = L"指定提醒时间 Time 值无效";
    return false;
  }
  m_strTime = time.Format(L"%H:%M");
  return true;
}

bool CNorvRemindStyleItem::ParseListXML(CString text,
                                        std::list<CNorvBasePtr<CNorvRemindStyleItem>>& items,
                                        CString& errorText) {
  if (text.IsEmpty()) return true;
  CNorvXmlDocument document;
  if (!CNorvCommFun::ParseXML(text, document)) {
    errorText = L"XML数据格式异常";
    return false;
  }
  return ParseListXML(document.GetRootElement(), items, errorText);
}

bool CNorvRemindStyleItem::ParseListXML(const CNorvXmlNode& element,
                                        std::list<CNorvBasePtr<CNorvRemindStyleItem>>& items,
                                        CString& errorText) {
  items.clear();
  for (CNorvXmlNode child = element.GetFirstChild(); !child.IsNull();
       child = child.GetNextSibling()) {
    if (!IsItemElement(child)) continue;
    auto item = std::make_unique<CNorvRemindStyleItem>();
    if (!item->ParseXML(child, errorText)) return false;
    items.push_back(CNorvBasePtr<CNorvRemindStyleItem>(item.release()));
  }
  return true;
}

void CNorvRemindStyleItem::SortStyleItemList(std::list<CNorvBasePtr<CNorvRemindStyleItem>>& items,
                                             bool ascending) {
  // std::list::sort is stable, and reversing the comparison (not the result)
  // keeps equal items in their order in both directions.
  if (ascending) {
    items.sort([](const auto& a, const auto& b) { return ComesBefore(*a.p, *b.p); });
  } else {
    items.sort([](const auto& a, const auto& b) { return ComesBefore(*b.p, *a.p); });
  }
}

bool CNorvRemindStyleItem::IsSame(CNorvRemindStyleItem* other) {
  if (other == nullptr) return false;
  CSingleLock lock(&m_cs, true);
  return m_nDay == other->m_nDay && m_strTime == other->m_strTime;
}

CString CNorvRemindStyleItem::GenInfo_XML() {
  CSingleLock lock(&m_cs, true);
  CString text;
  text.Format(L"<Item Day='%d' Time='%s' />", m_nDay, m_strTime);
  return text;
}

CString CNorvRemindStyleItem::GenInfo_Json() {
  CSingleLock lock(&m_cs, true);
  CString text;
  text.Format(L"{ \"Day\": \"%d\", \"Time\": \"%s\" }", m_nDay, m_strTime);
  return text;
}
