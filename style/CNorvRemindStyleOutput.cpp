#include "core/base/CNorvCommFun.h"
#include "core/base/CSingleLock.h"
#include "style/CNorvRemindStyle.h"

// The full forms read the definition under m_csDef, which SetInfo writes it
// under, before taking m_cs: the two locks are never held together. Every
// text, people and times included, comes from outside and is made safe for
// the notation, so a quote or backslash cannot break the output.

CString CNorvRemindStyle::GenListInfo_XML() {
  CSingleLock lock(&m_cs, true);
  CString text;
  text.Format(L"<Style ID='%s' Order='%d'", m_ID.GetString(), m_nOrder);
  if (m_bDefault) text += L" IsDefault='1'";
  text += L">";
  text += CNorvCommFun::GenXMLNodeStr(L"Name", m_strName);
  text += L"</Style>";
  return text;
}

CString CNorvRemindStyle::GenListInfo_Json() {
  CSingleLock lock(&m_cs, true);
  CString text;
  text.Format(L"{ \"ID\": \"%s\", \"Order\": \"%d\", ", m_ID.GetString(), m_nOrder);
  if (m_bDefault) text += L"\"IsDefault\": \"1\", ";
  text += CNorvCommFun::GenJsonNodeStr(L"Name", m_strName);
  text += L" }";
  return text;
}

CString CNorvRemindStyle::GenInfo_XML() {
  CString def = GetDefInfo();
  CSingleLock lock(&m_cs, true);
  CString text;
  text.Format(
      L"<Style ID='%s' Order='%d' Creator='%s' CreatorName='%s' CreaterTime='%s' "
      L"Modifier='%s' ModifierName='%s' ModifyTime='%s'",
      m_ID.GetString(), m_nOrder, CNorvCommFun::EscapeXML(m_strCreatorID),
      CNorvCommFun::EscapeXML(m_strCreatorName), CNorvCommFun::EscapeXML(m_strCreateTime),
      CNorvCommFun::EscapeXML(m_strModifierID), CNorvCommFun::EscapeXML(m_strModifierName),
      CNorvCommFun::EscapeXML(m_strModifyTime));
  if (m_bDefault) text += L" IsDefault='1'";
  text += L">";
  text += CNorvCommFun::GenXMLNodeStr(L"Name", m_strName);
  text += CNorvCommFun::GenXMLNodeStr(L"Def", def);
  text += L"</Style>";
  return text;
}

CString CNorvRemindStyle::GenInfo_Json() {
  CString def = GetDefInfo();
  CSingleLock lock(&m_cs, true);
  CString text;
  text.Format(
      L"{ \"ID\": \"%s\", \"Order\": \"%d\", \"Creator\": \"%s\", \"CreatorName\": \"%s\", "
      L"\"CreateTime\": \"%s\", \"Modifier\": \"%s\", \"ModifierName\": \"%s\", "
      L"\"ModifyTime\": \"%s\", ",
      m_ID.GetString(), m_nOrder, CNorvCommFun::EscapeJson(m_strCreatorID),
      CNorvCommFun::EscapeJson(m_strCreatorName), CNorvCommFun::EscapeJson(m_strCreateTime),
      CNorvCommFun::EscapeJson(m_strModifierID), CNorvCommFun::EscapeJson(m_strModifierName),
      CNorvCommFun::EscapeJson(m_strModifyTime));
  if (m_bDefault) text += L"\"IsDefault\": \"1\", ";
  text += CNorvCommFun::GenJsonNodeStr(L"Name", m_strName);
  text += L", ";
  text += CNorvCommFun::GenJsonNodeStr(L"Def", def);
  text += L" }";
  return text;
}
