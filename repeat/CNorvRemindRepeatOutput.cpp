#include "core/base/CNorvCommFun.h"
#include "core/base/CSingleLock.h"
#include "repeat/CNorvRemindRepeat.h"

CString CNorvRemindRepeat::GenInfo_XML() const {
  CSingleLock lock(&m_cs, true);
  CString text;
  text.Format(
      L"<Repeat RemindTime='%s' RegularType='%d' Interval='%d' RagularValue='%d' "
      L"RegularRange='%d' DTStart='%s'",
      CNorvCommFun::EscapeXML(m_strRemindTime), m_nRegularType, m_nInterval, m_nRegularValue,
      m_nRegularRange, m_dtStart.Format(L"%Y-%m-%d"));
  if (m_dtEnd.GetStatus() == COleDateTime::valid) {
    text.AppendFormat(L" DTEnd='%s'", m_dtEnd.Format(L"%Y-%m-%d"));
  }
  if (m_nRegularRange == 1) text.AppendFormat(L" Num='%d' Count='%d'", m_nNum, m_nCount);
  text += L" />";
  return text;
}

CString CNorvRemindRepeat::GenInfo_Json() const {
  CSingleLock lock(&m_cs, true);
  CString text;
  text.Format(
      L"\"Repeat\": { \"RemindTime\": \"%s\", \"RegularType\": \"%d\", "
      L"\"Interval\": \"%d\", \"RagularValue\": \"%d\", \"RegularRange\": \"%d\", "
      L"\"DTStart\": \"%s\"",
      CNorvCommFun::EscapeJson(m_strRemindTime), m_nRegularType, m_nInterval, m_nRegularValue,
      m_nRegularRange, m_dtStart.Format(L"%Y-%m-%d"));
  if (m_dtEnd.GetStatus() == COleDateTime::valid) {
    text.AppendFormat(L", \"DTEnd\": \"%s\"", m_dtEnd.Format(L"%Y-%m-%d"));
  }
  if (m_nRegularRange == 1)
    text.AppendFormat(L", \"Num\": \"%d\", \"Count\": \"%d\"", m_nNum, m_nCount);
  text += L" }";
  return text;
}
