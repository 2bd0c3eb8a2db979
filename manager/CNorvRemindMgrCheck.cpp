#include <cassert>
#include <vector>

#include "core/base/COleDateTime.h"
#include "core/base/CSingleLock.h"
#include "manager/CNorvRemindMgr.h"
#include "manager/internal/CheckListIndex.h"

namespace {

// Only a valid time strictly after a valid moment counts as later; an
// invalid time is therefore due at once.
bool IsLater(const COleDateTime& time, const COleDateTime& moment) {
  return time.GetStatus() == COleDateTime::valid && moment.GetStatus() == COleDateTime::valid &&
         time > moment;
}

}  // namespace

void CNorvRemindMgr::CheckIndexDeleter::operator()(CheckListIndex* index) const { delete index; }

CheckListIndex& CNorvRemindMgr::CheckIndex() {
  assert(RemindAMMsgLock.IsHeldByCurrentThread());
  if (!m_checkIndex) m_checkIndex.reset(new CheckListIndex(RemindAMMsgList));
  return *m_checkIndex;
}

void CNorvRemindMgr::AddRemindAMMsg(CNorvRemindAMMsg* message, bool sorted) {
  if (message == nullptr) return;
  CSingleLock lock(&RemindAMMsgLock, true);
  CheckIndex().Insert(message, sorted);
}

void CNorvRemindMgr::RemoveRemindAMMsg(CNorvRemindAMMsg* message) {
  if (message == nullptr) return;
  CSingleLock lock(&RemindAMMsgLock, true);
  CheckIndex().Erase(message);
}

void CNorvRemindMgr::CheckAMMsg() {
  std::lock_guard<std::mutex> pass(m_checkPassMutex);

  // Only the due head of the list is taken: a pass then costs the same per
  // due message however many wait behind it. The lock is held for nothing
  // but taking the references.
  const COleDateTime now = COleDateTime::GetCurrentTime();
  std::vector<CNorvBasePtr<CNorvRemindAMMsg>> due;
  {
    CSingleLock lock(&RemindAMMsgLock, true);
    for (const CNorvBasePtr<CNorvRemindAMMsg>& message : RemindAMMsgList) {
      if (IsLater(message->GetRemindTime(), now)) break;
      due.push_back(message);
    }
  }
  for (CNorvRemindAMMsg* message : due) {
    AddSendAMMsg(message);
    RemoveRemindAMMsg(message);
    CNorvBasePtr<CNorvRemind> remind = GetRemind(message->m_RemindID);
    if (remind) remind->RemoveAMMsg(message->m_ID);
  }
}
