#include "core/base/CSingleLock.h"
#include "remind/CNorvRemind.h"

void CNorvRemind::AddAMMsg(CNorvRemindAMMsg* msg) {
  if (msg == nullptr || !msg->m_ID.IsValid()) return;
  CSingleLock lock(&m_csAMMsg, true);
  // The first registration of an id wins; a later object is not taken.
  m_mapAMMsg.try_emplace(msg->m_ID, msg);
}

void CNorvRemind::RemoveAMMsg(CGuid msgID) {
  if (!msgID.IsValid()) return;
  CSingleLock lock(&m_csAMMsg, true);
  m_mapAMMsg.erase(msgID);
}

void CNorvRemind::GetAMMsgList(std::list<CNorvBasePtr<CNorvRemindAMMsg>>& msgs) {
  std::map<CGuid, CNorvBasePtr<CNorvRemindAMMsg>> copy = CopyAMMsgs();
  msgs.clear();
  for (const auto& entry : copy) msgs.push_back(entry.second);
}

bool CNorvRemind::HasRemindMsg() {
  CSingleLock lock(&m_csAMMsg, true);
  return !m_mapAMMsg.empty();
}

void CNorvRemind::CleanAMMsgList() {
  CSingleLock lock(&m_csAMMsg, true);
  m_mapAMMsg.clear();
}

bool CNorvRemind::DBDeleteAMMsg(CSession& session, CString* errorText) {
  std::map<CGuid, CNorvBasePtr<CNorvRemindAMMsg>> msgs = CopyAMMsgs();
  if (msgs.empty()) return true;
  if (msgs.size() == 1) {
    return CNorvRemindAMMsg::DBDelete(session, msgs.begin()->first, errorText);
  }
  CString idList;
  for (const auto& entry : msgs) idList.AppendFormat(L", '%s'", entry.first.GetString1());
  return CNorvRemindAMMsg::DBDelete2(session, idList.Mid(2), errorText);
}

std::map<CGuid, CNorvBasePtr<CNorvRemindAMMsg>> CNorvRemind::CopyAMMsgs() {
  CSingleLock lock(&m_csAMMsg, true);
  return m_mapAMMsg;
}
