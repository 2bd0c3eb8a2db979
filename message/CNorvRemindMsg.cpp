#include "message/CNorvRemindMsg.h"

#include "core/base/internal/LockedField.h"

CNorvRemindMsg::CNorvRemindMsg() : m_dtRemind(0.0) {}

CNorvRemindMsg::~CNorvRemindMsg() = default;

COleDateTime CNorvRemindMsg::GetRemindTime() { return norvlock::CopyOf(m_cs, m_dtRemind); }
