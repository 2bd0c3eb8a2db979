#include "remind/CNorvRemind.h"

#include "core/base/CSingleLock.h"
#include "core/base/internal/NorvClock.h"

CNorvRemind::CNorvRemind()
    : m_nState(0),
      m_nType(kOneOff),
      m_strCreateTime(norvclock::NowText()),
      m_nSendFlag(kAMFlag),
      m_strContentType(L"Text/Text") {}

// The members' destructors release the style items, receivers and instant
// messages held by reference.
CNorvRemind::~CNorvRemind() = default;

void CNorvRemind::SetState(short state) {
  CSingleLock lock(&m_cs, true);
  m_nState = state;
}

short CNorvRemind::GetState() {
  CSingleLock lock(&m_cs, true);
  return m_nState;
}

short CNorvRemind::GetType() {
  CSingleLock lock(&m_cs, true);
  return m_nType;
}

short CNorvRemind::GetSendFlag() {
  CSingleLock lock(&m_cs, true);
  return m_nSendFlag;
}

bool CNorvRemind::HasRepeat() { return GetType() == kPeriodic; }

COleDateTime CNorvRemind::GetInvalidDate() {
  CSingleLock lock(&m_cs, true);
  return m_dtInvalid;
}

bool CNorvRemind::HasAMFlag() { return (GetSendFlag() & kAMFlag) != 0; }

bool CNorvRemind::HasSMSFlag() { return (GetSendFlag() & kSMSFlag) != 0; }

bool CNorvRemind::HasEmailFlag() { return (GetSendFlag() & kEmailFlag) != 0; }

void CNorvRemind::GetContent(CString& content, CString& contentType) {
  CSingleLock lock(&m_cs, true);
  content = m_strContent;
  contentType = m_strContentType;
}

void CNorvRemind::GetReceiverList(std::list<CNorvBasePtr<CEmItem>>& receivers) {
  receivers = CopyReceivers();
}

void CNorvRemind::SetInfo(CNorvRemind* source) {
  CSingleLock lock(&m_cs, true);
  m_nState = source->m_nState;
  m_nType = source->m_nType;
  // A remind that stops being periodic keeps its old rule: only a periodic
  // source has a rule worth copying.
  if (m_nType == kPeriodic) m_Repeat.SetInfo(&source->m_Repeat);
  m_dtRemind = source->m_dtRemind;
  m_dtInvalid = source->m_dtInvalid;
  {
    CSingleLock styleLock(&m_csStyle, true);
    m_strRemindStyleDef = source->m_strRemindStyleDef;
    m_lstStyleItem = source->m_lstStyleItem;
  }
  m_nSendFlag = source->m_nSendFlag;
  m_strContent = source->m_strContent;
  m_strContentType = source->m_strContentType;
  CSingleLock receiverLock(&m_csReceiver, true);
  m_lstReceiver = source->m_lstReceiver;
}

void CNorvRemind::GetInfo(CNorvRemind* target) {
  CSingleLock lock(&m_cs, true);
  target->m_nState = m_nState;
  target->m_nType = m_nType;
  if (m_nType == kPeriodic) m_Repeat.GetInfo(&target->m_Repeat);
  target->m_dtRemind = m_dtRemind;
  target->m_dtInvalid = m_dtInvalid;
  target->m_nSendFlag = m_nSendFlag;
  target->m_strContent = m_strContent;
  target->m_strContentType = m_strContentType;
  target->m_lstReceiver = CopyReceivers();
}

std::list<CNorvBasePtr<CNorvRemindStyleItem>> CNorvRemind::CopyStyleItems() {
  CSingleLock lock(&m_csStyle, true);
  return m_lstStyleItem;
}

std::list<CNorvBasePtr<CEmItem>> CNorvRemind::CopyReceivers() {
  CSingleLock lock(&m_csReceiver, true);
  return m_lstReceiver;
}
