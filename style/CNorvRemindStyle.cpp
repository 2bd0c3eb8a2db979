#include "style/CNorvRemindStyle.h"

#include "core/base/COleDateTime.h"
#include "core/base/CSingleLock.h"
#include "core/base/internal/LockedField.h"

CNorvRemindStyle::CNorvRemindStyle()
    : m_nOrder(0),
      m_bDefault(false),
      m_strCreateTime(COleDateTime::GetCurrentTime().Format(L"%Y-%m-%d %H:%M:%S")),
      m_strModifyTime(m_strCreateTime) {}

CNorvRemindStyle::~CNorvRemindStyle() = default;

void CNorvRemindStyle::SetInfo(CNorvRemindStyle* source) {
  {
    CSingleLock lock(&m_cs, true);
    m_strName = source->m_strName;
    m_nOrder = source->m_nOrder;
    m_strModifierID = source->m_strModifierID;
    m_strModifierName = source->m_strModifierName;
    m_strModifyTime = source->m_strModifyTime;
  }
  CSingleLock lock(&m_csDef, true);
  m_strDef = source->m_strDef;
  m_lstStyleItem = source->m_lstStyleItem;
}

void CNorvRemindStyle::GetInfo(CNorvRemindStyle* target) {
  // The definition has its own lock; the two are never held together.
  target->m_strDef = GetDefInfo();
  CSingleLock lock(&m_cs, true);
  target->m_strName = m_strName;
  target->m_nOrder = m_nOrder;
}

void CNorvRemindStyle::SetName(CString name) { norvlock::Store(m_cs, m_strName, name); }
CString CNorvRemindStyle::GetName() { return norvlock::CopyOf(m_cs, m_strName); }
void CNorvRemindStyle::SetOrder(short order) { norvlock::Store(m_cs, m_nOrder, order); }
short CNorvRemindStyle::GetOrder() { return norvlock::CopyOf(m_cs, m_nOrder); }
void CNorvRemindStyle::SetDefault(bool isDefault) { norvlock::Store(m_cs, m_bDefault, isDefault); }
bool CNorvRemindStyle::IsDefault() { return norvlock::CopyOf(m_cs, m_bDefault); }
CString CNorvRemindStyle::GetDefInfo() { return norvlock::CopyOf(m_csDef, m_strDef); }

bool CNorvRemindStyle::ParseXML(const CNorvXmlNode& element, CString& errorText) {
  CString order;
  if (element.GetAttribute(L"Order", order)) m_nOrder = static_cast<short>(order.ToInt());

  for (CNorvXmlNode child = element.GetFirstChild(); !child.IsNull();
       child = child.GetNextSibling()) {
    CString name = child.GetName();
    if (name.CompareNoCase(L"Name") == 0) {
      m_strName = child.GetText();
    } else if (name.CompareNoCase(L"Def") == 0) {
      m_strDef = child.GetText();
    }
  }

  if (m_strName.IsEmpty()) {
    errorText = L"未指定样式名称";
    return false;
  }
  if (m_strDef.IsEmpty()) {
    errorText = L"未设置样式的提醒定义";
    return false;
  }
  return true;
}
