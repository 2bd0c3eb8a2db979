#include "core/base/CNorvCommFun.h"
#include "core/base/CSingleLock.h"
#include "remind/CNorvRemind.h"

namespace {

constexpr wchar_t kDateTimeFormat[] = L"%Y-%m-%d %H:%M:%S";
constexpr wchar_t kDateFormat[] = L"%Y-%m-%d";

}  // namespace

// Callers hold m_cs.
CString CNorvRemind::GenHead_XML() {
  CString text;
  text.Format(L"<Remind ID='%s' State='%d' Type='%d' SendFlag='%d'", m_ID.GetString(), m_nState,
              m_nType, m_nSendFlag);
  if (m_nType == kOneOff) {
    text.AppendFormat(L" RemindTime='%s'", m_dtRemind.Format(kDateTimeFormat));
  } else if (m_dtInvalid.GetStatus() == COleDateTime::valid) {
    text.AppendFormat(L" InvalidDate='%s'", m_dtInvalid.Format(kDateFormat));
  }
  // From comes from outside: a quote in it must not end the attribute.
  if (!m_strFrom.IsEmpty()) text.AppendFormat(L" From='%s'", CNorvCommFun::EscapeXML(m_strFrom));
  return text;
}

// Callers hold m_cs.
CString CNorvRemind::GenHead_Json() {
  CString text;
  text.Format(L"{ \"ID\": \"%s\", \"State\": \"%d\", \"Type\": \"%d\", \"SendFlag\": \"%d\"",
              m_ID.GetString(), m_nState, m_nType, m_nSendFlag);
  if (m_nType == kOneOff) {
    text.AppendFormat(L", \"RemindTime\": \"%s\"", m_dtRemind.Format(kDateTimeFormat));
  } else if (m_dtInvalid.GetStatus() == COleDateTime::valid) {
    text.AppendFormat(L", \"InvalidDate\": \"%s\"", m_dtInvalid.Format(kDateFormat));
  }
  if (!m_strFrom.IsEmpty()) {
    text.AppendFormat(L", \"From\": \"%s\"", CNorvCommFun::EscapeJson(m_strFrom));
  }
  return text;
}

CString CNorvRemind::GenListInfo_XML() {
  CSingleLock lock(&m_cs, true);
  return GenHead_XML() + L" />";
}

CString CNorvRemind::GenListInfo_Json() {
  CSingleLock lock(&m_cs, true);
  return GenHead_Json() + L" }";
}

CString CNorvRemind::GenInfo_XML() {
  CSingleLock lock(&m_cs, true);
  CString text = GenHead_XML() + L">";
  text += CNorvCommFun::GenXMLNodeStr(L"Content", m_strContent);
  text += CNorvCommFun::GenXMLNodeStr(L"ContentType", m_strContentType);
  if (m_nType == kPeriodic) {
    text += m_Repeat.GenInfo_XML();
  } else if (m_nType == kCustomStyle) {
    text += CNorvCommFun::GenXMLNodeStr(L"RemindStyleDef", m_strRemindStyleDef);
  }
  text += GenReceiverInfo_XML();
  text += L"</Remind>";
  return text;
}

CString CNorvRemind::GenInfo_Json() {
  CSingleLock lock(&m_cs, true);
  CString text = GenHead_Json();
  text += L", " + CNorvCommFun::GenJsonNodeStr(L"Content", m_strContent);
  text += L", " + CNorvCommFun::GenJsonNodeStr(L"ContentType", m_strContentType);
  if (m_nType == kPeriodic) {
    text += L", " + m_Repeat.GenInfo_Json();
  } else if (m_nType == kCustomStyle) {
    text += L", " + CNorvCommFun::GenJsonNodeStr(L"RemindStyleDef", m_strRemindStyleDef);
  }
  CString receivers = GenReceiverInfo_Json();
  if (!receivers.IsEmpty()) text += L", " + receivers;
  text += L" }";
  return text;
}

CString CNorvRemind::GenReceiverInfo_XML() {
  CString items;
  for (const auto& receiver : CopyReceivers()) items += receiver->GenEmInfo_XML();
  if (items.IsEmpty()) return CString();
  return L"<ReceiverList>" + items + L"</ReceiverList>";
}

CString CNorvRemind::GenReceiverInfo_Json() {
  CString items;
  for (const auto& receiver : CopyReceivers()) items += L", " + receiver->GenEmInfo_Json();
  if (items.IsEmpty()) return CString();
  return L"\"ReceiverList\": [ " + items.Mid(2) + L" ]";
}
