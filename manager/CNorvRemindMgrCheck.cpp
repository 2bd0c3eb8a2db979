#include "core/base/COleDateTime.h"
#include "core/base/CSingleLock.h"
#include "manager/CNorvRemindMgr.h"

namespace {

// Only a valid time strictly after a valid moment counts as later; an
// invalid time is therefore due at once and sorts behind everything.
bool IsLater(const COleDateTime& time, const COleDateTime& moment) {
  return time.GetStatus() == COleDateTime::valid &&
         moment.GetStatus() == COleDateTime::valid && time > moment;
}

}  // namespace

void CNorvRemindMgr::AddRemindAMMsg(CNorvRemindAMMsg* message, bool sorted) {
  if (message == nullptr) return;
  CSingleLock lock(&RemindAMMsgLock, true);
  auto position = RemindAMMsgList.end();
  if (sorted) {
    const COleDateTime time = message->GetRemindTime();
    for (auto it = RemindAMMsgList.begin(); it != RemindAMMsgList.end(); ++it) {
      if (IsLater((*it)->GetRemindTime(), time)) {
        position = it;
        break;
      }
    }
  }
  RemindAMMsgList.insert(position, message);
}

void CNorvRemindMgr::RemoveRemindAMMsg(CNorvRemindAMMsg* message) {
  if (message == nullptr) return;
  CSingleLock lock(&RemindAMMsgLock, true);
  RemindAMMsgList.remove_if(
      [message](const CNorvBasePtr<CNorvRemindAMMsg>& entry) { return entry == message; });
}

void CNorvRemindMgr::CheckAMMsg() {
  std::lock_guard<std::mutex> pass(m_checkPassMutex);

  AMMsgList snapshot;
  {
    CSingleLock lock(&RemindAMMsgLock, true);
    snapshot = RemindAMMsgList;
  }
  const COleDateTime now = COleDateTime::GetCurrentTime();
  for (CNorvRemindAMMsg* message : snapshot) {
    if (IsLater(message->GetRemindTime(), now)) break;
    AddSendAMMsg(message);
    RemoveRemindAMMsg(message);
    CNorvBasePtr<CNorvRemind> remind = GetRemind(message->m_RemindID);
    if (remind) remind->RemoveAMMsg(message->m_ID);
  }
}
