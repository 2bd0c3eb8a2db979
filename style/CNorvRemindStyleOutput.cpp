#include "core/base/CNorvCommFun.h"
#include "core/base/CSingleLock.h"
#include "style/CNorvRemindStyle.h"

// The full forms read the definition under m_csDef, which SetInfo writes it
// under, before taking m_cs: the two locks are never held together. Every
// text, people and times included, comes from outside and is made safe for
// the notation, so a quote or backslash cannot break the output.

namespace {

// The pieces one notation writes around the same fields.
struct Notation {
  const wchar_t* listHead;  // identifier, order
  const wchar_t* fullHead;  // identifier, order, creator and modifier fields
  const wchar_t* isDefault;
  const wchar_t* open;       // after the head's attributes
  const wchar_t* separator;  // between the name and the definition
  const wchar_t* close;
  CString (*escape)(const CString&);
  CString (*member)(const wchar_t*, const CString&);
};

constexpr Notation kXml = {
    L"<Style ID='%s' Order='%d'",
    L"<Style ID='%s' Order='%d' Creator='%s' CreatorName='%s' CreaterTime='%s' "
    L"Modifier='%s' ModifierName='%s' ModifyTime='%s'",
    L" IsDefault='1'",
    L">",
    L"",
    L"</Style>",
    CNorvCommFun::EscapeXML,
    CNorvCommFun::GenXMLNodeStr};

constexpr Notation kJson = {
    L"{ \"ID\": \"%s\", \"Order\": \"%d\", ",
    L"{ \"ID\": \"%s\", \"Order\": \"%d\", \"Creator\": \"%s\", \"CreatorName\": \"%s\", "
    L"\"CreateTime\": \"%s\", \"Modifier\": \"%s\", \"ModifierName\": \"%s\", "
    L"\"ModifyTime\": \"%s\", ",
    L"\"IsDefault\": \"1\", ",
    L"",
    L", ",
    L" }",
    CNorvCommFun::EscapeJson,
    CNorvCommFun::GenJsonNodeStr};

// The flag and the name after the head; the caller holds the style's m_cs.
void AppendDefaultAndName(const CNorvRemindStyle& style, const Notation& notation, CString& text) {
  if (style.m_bDefault) text += notation.isDefault;
  text += notation.open;
  text += notation.member(L"Name", style.m_strName);
}

CString RenderList(CNorvRemindStyle& style, const Notation& notation) {
  CSingleLock lock(&style.m_cs, true);
  CString text;
  text.Format(notation.listHead, style.m_ID.GetString(), style.m_nOrder);
  AppendDefaultAndName(style, notation, text);
  text += notation.close;
  return text;
}

CString RenderFull(CNorvRemindStyle& style, const Notation& notation) {
  const CString def = style.GetDefInfo();
  CSingleLock lock(&style.m_cs, true);
  CString text;
  text.Format(notation.fullHead, style.m_ID.GetString(), style.m_nOrder,
              notation.escape(style.m_strCreatorID), notation.escape(style.m_strCreatorName),
              notation.escape(style.m_strCreateTime), notation.escape(style.m_strModifierID),
              notation.escape(style.m_strModifierName), notation.escape(style.m_strModifyTime));
  AppendDefaultAndName(style, notation, text);
  text += notation.separator;
  text += notation.member(L"Def", def);
  text += notation.close;
  return text;
}

}  // namespace

CString CNorvRemindStyle::GenListInfo_XML() { return RenderList(*this, kXml); }
CString CNorvRemindStyle::GenListInfo_Json() { return RenderList(*this, kJson); }
CString CNorvRemindStyle::GenInfo_XML() { return RenderFull(*this, kXml); }
CString CNorvRemindStyle::GenInfo_Json() { return RenderFull(*this, kJson); }
