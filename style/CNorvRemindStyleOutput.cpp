#include "core/CNorvCommFun.h"
#include "core/CSingleLock.h"
#include "style/CNorvRemindStyle.h"

// The full forms copy the definition under its own lock before m_cs is
// taken, so the two locks are never held together. Attribute values are
// escaped like the member texts: a quote in a name must not end the element.

namespace {

CString Xml(const CString& value) { return CNorvCommFun::EscapeXML(value); }
CString Json(const CString& value) { return CNorvCommFun::EscapeJson(value); }

}  // namespace

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
      m_ID.GetString(), m_nOrder, Xml(m_strCreatorID), Xml(m_strCreatorName),
      Xml(m_strCreateTime), Xml(m_strModifierID), Xml(m_strModifierName), Xml(m_strModifyTime));
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
      m_ID.GetString(), m_nOrder, Json(m_strCreatorID), Json(m_strCreatorName),
      Json(m_strCreateTime), Json(m_strModifierID), Json(m_strModifierName),
      Json(m_strModifyTime));
  if (m_bDefault) text += L"\"IsDefault\": \"1\", ";
  text += CNorvCommFun::GenJsonNodeStr(L"Name", m_strName);
  text += L", ";
  text += CNorvCommFun::GenJsonNodeStr(L"Def", def);
  text += L" }";
  return text;
}
