#include "core/base/CSingleLock.h"
#include "manager/CNorvRemindMgr.h"

bool CNorvRemindMgr::AddRemind(CNorvRemind* remind) {
  if (remind == nullptr) return false;
  const CGuid id = remind->m_ID;
  if (!id.IsValid()) return false;
  CSingleLock lock(&RemindLock, true);
  // try_emplace builds no node for a taken identifier, so a refused remind
  // never gains and drops the reference that would delete it.
  return RemindMap.try_emplace(id, remind).second;
}

bool CNorvRemindMgr::RemoveRemind(CGuid id) {
  if (!id.IsValid()) return false;
  CNorvBasePtr<CNorvRemind> removed;  // released after the lock
  CSingleLock lock(&RemindLock, true);
  auto entry = RemindMap.find(id);
  if (entry == RemindMap.end()) return false;
  removed = entry->second;
  RemindMap.erase(entry);
  return true;
}

CNorvBasePtr<CNorvRemind> CNorvRemindMgr::GetRemind(CGuid id) {
  if (!id.IsValid()) return nullptr;
  CSingleLock lock(&RemindLock, true);
  auto entry = RemindMap.find(id);
  return entry == RemindMap.end() ? nullptr : entry->second;
}

void CNorvRemindMgr::GetRemindList(RemindList& reminds) {
  RemindMapType copy;
  {
    CSingleLock lock(&RemindLock, true);
    copy = RemindMap;
  }
  reminds.clear();
  for (const auto& entry : copy) reminds.push_back(entry.second);
}
