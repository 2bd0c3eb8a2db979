#include "message/CNorvRemindMsg.h"

#include "core/base/CSingleLock.h"

CNorvRemindMsg::CNorvRemindMsg() : m_dtRemind(0.0) {}

CNorvRemindMsg::~CNorvRemindMsg() = default;

COleDateTime CNorvRemindMsg::GetRemindTime() {
  CSingleLock lock(&m_cs, true);
  return m_dtRemind;
}
