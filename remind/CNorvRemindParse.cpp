#include "remind/CNorvRemind.h"

namespace {

bool NameIs(const CNorvXmlNode& node, const wchar_t* name) {
  return node.GetName().CompareNoCase(name) == 0;
}

}  // namespace

bool CNorvRemind::ParseXML(const CNorvXmlNode& element, CString& errorText) {
  m_lstReceiver.clear();

  CString value;
  if (element.GetAttribute(L"Type", value)) m_nType = static_cast<short>(value.ToInt());

  if (m_nType == kOneOff) {
    if (!element.GetAttribute(L"RemindTime", value)) {
      errorText = L"未指定提醒的时间";
      return false;
    }
    if (!m_dtRemind.ParseDateTime(value)) {
      errorText = L"指定提醒的时间无效";
      return false;
    }
  } else if (!element.GetAttribute(L"InvalidDate", value)) {
    if (m_nType == kCustomStyle) {
      errorText = L"自定义类型的提醒未指定截止日期";
      return false;
    }
  } else if (!m_dtInvalid.ParseDateTime(value, VAR_DATEVALUEONLY) && m_nType == kCustomStyle) {
    // Other types go on with the invalid deadline, which counts as none.
    errorText = L"自定义类型的提醒指定截止日期无效";
    return false;
  }

  if (element.GetAttribute(L"From", value)) m_strFrom = value;
  if (element.GetAttribute(L"SendFlag", value)) m_nSendFlag = static_cast<short>(value.ToInt());

  for (CNorvXmlNode child = element.GetFirstChild(); !child.IsNull();
       child = child.GetNextSibling()) {
    if (!child.IsElement()) continue;
    if (NameIs(child, L"Content")) {
      m_strContent = child.GetText();
    } else if (NameIs(child, L"ContentType")) {
      m_strContentType = child.GetText();
    } else if (NameIs(child, L"RemindStyleDef")) {
      m_strRemindStyleDef = child.GetText();
    } else if (NameIs(child, L"Repeat")) {
      CString reason;
      if (m_nType == kPeriodic && !m_Repeat.ParseXML(child, reason)) {
        errorText.Format(L"周期类型的提醒，重复定义格式不正确，原因：%s", reason);
        return false;
      }
    } else if (NameIs(child, L"ReceiverList")) {
      if (!CEmItem::ParseEmXML(child, m_lstReceiver)) {
        errorText = L"提醒接收者信息定义不正确";
        return false;
      }
    }
  }

  if (m_nType == kPeriodic && m_Repeat.m_dtStart.GetStatus() != COleDateTime::valid) {
    errorText = L"周期提醒中未指定开始提醒的日期";
    return false;
  }
  if (m_nType == kCustomStyle && m_strRemindStyleDef.IsEmpty()) {
    errorText = L"自定义样式提醒未指定样式信息";
    return false;
  }
  if (m_strContent.IsEmpty()) {
    errorText = L"未指定提醒的内容";
    return false;
  }
  if (m_strContentType.IsEmpty()) m_strContentType = L"Text/Text";
  return true;
}
