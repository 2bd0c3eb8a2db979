#include "core/base/CNorvCommFun.h"
#include "core/base/CSingleLock.h"
#include "repeat/CNorvRemindRepeat.h"

namespace {

// The pieces one notation writes around the same fields; the end date and
// the count appear only where the rule has them.
struct Notation {
  const wchar_t* head;  // time, type, interval, value, range, start
  const wchar_t* end;
  const wchar_t* count;  // number and count
  const wchar_t* close;
  CString (*escape)(const CString&);
};

constexpr Notation kXml = {
    L"<Repeat RemindTime='%s' RegularType='%d' Interval='%d' RagularValue='%d' "
    L"RegularRange='%d' DTStart='%s'",
    L" DTEnd='%s'", L" Num='%d' Count='%d'", L" />", CNorvCommFun::EscapeXML};

constexpr Notation kJson = {
    L"\"Repeat\": { \"RemindTime\": \"%s\", \"RegularType\": \"%d\", "
    L"\"Interval\": \"%d\", \"RagularValue\": \"%d\", \"RegularRange\": \"%d\", "
    L"\"DTStart\": \"%s\"",
    L", \"DTEnd\": \"%s\"", L", \"Num\": \"%d\", \"Count\": \"%d\"", L" }",
    CNorvCommFun::EscapeJson};

CString Render(const CNorvRemindRepeat& repeat, const Notation& notation) {
  CSingleLock lock(&repeat.m_cs, true);
  CString text;
  text.Format(notation.head, notation.escape(repeat.m_strRemindTime), repeat.m_nRegularType,
              repeat.m_nInterval, repeat.m_nRegularValue, repeat.m_nRegularRange,
              repeat.m_dtStart.Format(L"%Y-%m-%d"));
  if (repeat.m_dtEnd.GetStatus() == COleDateTime::valid) {
    text.AppendFormat(notation.end, repeat.m_dtEnd.Format(L"%Y-%m-%d"));
  }
  if (repeat.m_nRegularRange == 1) {
    text.AppendFormat(notation.count, repeat.m_nNum, repeat.m_nCount);
  }
  text += notation.close;
  return text;
}

}  // namespace

CString CNorvRemindRepeat::GenInfo_XML() const { return Render(*this, kXml); }

CString CNorvRemindRepeat::GenInfo_Json() const { return Render(*this, kJson); }
