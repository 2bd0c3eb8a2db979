#include "repeat/CNorvRepeat.h"

#include "core/base/CSingleLock.h"
#include "core/base/internal/LockedField.h"

namespace {

void CopyRule(const CNorvRepeat& from, CNorvRepeat& to) {
  to.m_nRegularType = from.m_nRegularType;
  to.m_nInterval = from.m_nInterval;
  to.m_nRegularValue = from.m_nRegularValue;
  to.m_nRegularRange = from.m_nRegularRange;
  to.m_nNum = from.m_nNum;
  to.m_nCount = from.m_nCount;
  to.m_dtStart = from.m_dtStart;
  to.m_dtEnd = from.m_dtEnd;
}

// Definitions carry numbers as decimal text; the fields keep their own width.
bool ReadShort(const CNorvXmlNode& element, const wchar_t* name, short& field) {
  CString text;
  if (!element.GetAttribute(name, text)) return false;
  field = static_cast<short>(text.ToInt());
  return true;
}

}  // namespace

void CNorvRepeat::SetInfo(CNorvRepeat* source) {
  if (source == nullptr) return;
  CSingleLock lock(&m_cs, true);
  CopyRule(*source, *this);
}

void CNorvRepeat::GetInfo(CNorvRepeat* target) const {
  if (target == nullptr) return;
  CSingleLock lock(&m_cs, true);
  CopyRule(*this, *target);
}

short CNorvRepeat::GetReqularType() const { return norvlock::CopyOf(m_cs, m_nRegularType); }
short CNorvRepeat::GetInterval() const { return norvlock::CopyOf(m_cs, m_nInterval); }
short CNorvRepeat::GetRegularValue() const { return norvlock::CopyOf(m_cs, m_nRegularValue); }
short CNorvRepeat::GetRegularRange() const { return norvlock::CopyOf(m_cs, m_nRegularRange); }

void CNorvRepeat::GetRepeatNum(int& num, int& count) const {
  CSingleLock lock(&m_cs, true);
  num = m_nNum;
  count = m_nCount;
}

int CNorvRepeat::GetRepeatNum() const { return norvlock::CopyOf(m_cs, m_nNum); }

int CNorvRepeat::IncRepeatCount() {
  CSingleLock lock(&m_cs, true);
  return ++m_nCount;
}

bool CNorvRepeat::IsValidTime(CString time) const {
  time += L":0";
  COleDateTime parsed;
  return parsed.ParseDateTime(time, VAR_TIMEVALUEONLY);
}

bool CNorvRepeat::ParseXML(const CNorvXmlNode& element, CString& errorText) {
  CString text;
  if (!element.GetAttribute(L"DTStart", text)) {
    errorText = L"未指定开始日期 DTStart";
    return false;
  }
  if (!m_dtStart.ParseDateTime(text, VAR_DATEVALUEONLY)) {
    errorText = L"指定开始日期 DTStart 无效";
    return false;
  }
  if (element.GetAttribute(L"DTEnd", text) && !text.IsEmpty() &&
      !m_dtEnd.ParseDateTime(text, VAR_DATEVALUEONLY)) {
    errorText = L"指定结束日期 DTEnd 无效";
    return false;
  }
  ReadShort(element, L"RegularType", m_nRegularType);
  ReadShort(element, L"Interval", m_nInterval);
  // A yearly rule takes its day from the start date alone.
  if (m_nRegularType != 3) ReadShort(element, L"RegularValue", m_nRegularValue);
  ReadShort(element, L"RegularRange", m_nRegularRange);
  if (m_nRegularRange == 1) {
    short num = 0;
    if (!ReadShort(element, L"Num", num)) {
      errorText = L"未指定重复次数";
      return false;
    }
    m_nNum = num;
    if (m_nNum == 0) {
      errorText = L"指定重复次数不正确";
      return false;
    }
  }
  return true;
}
