#include "repeat/CNorvRemindRepeat.h"

#include <utility>

#include "core/base/CSingleLock.h"

void CNorvRemindRepeat::SetInfo(CNorvRemindRepeat* source) {
  if (source == nullptr) return;
  CSingleLock lock(&m_cs, true);
  CNorvRepeat::SetInfo(source);
  m_strRemindTime = source->m_strRemindTime;
}

void CNorvRemindRepeat::GetInfo(CNorvRemindRepeat* target) const {
  if (target == nullptr) return;
  CSingleLock lock(&m_cs, true);
  CNorvRepeat::GetInfo(target);
  target->m_strRemindTime = m_strRemindTime;
}

bool CNorvRemindRepeat::GetRemindTime(CString day, COleDateTime& result) const {
  if (day.IsEmpty()) return false;
  // "<day> <time>:0", joined rather than formatted: `due` asks this of
  // every remind.
  CString text = std::move(day);
  {
    // The remind calls this under its own lock; ours keeps the text whole
    // against a copy running on another thread.
    CSingleLock lock(&m_cs, true);
    text += L" ";
    text += m_strRemindTime;
  }
  text += L":0";
  return result.ParseDateTime(text);
}

bool CNorvRemindRepeat::ParseXML(const CNorvXmlNode& element, CString& errorText) {
  if (!CNorvRepeat::ParseXML(element, errorText)) return false;
  CString time;
  if (!element.GetAttribute(L"RemindTime", time)) {
    errorText = L"未指定提醒时间";
    return false;
  }
  m_strRemindTime = time;
  if (!IsValidTime(m_strRemindTime)) {
    errorText.Format(L"指定提醒时间“%s”无效", m_strRemindTime);
    return false;
  }
  return true;
}
