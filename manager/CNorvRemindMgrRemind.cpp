#include "core/base/CSingleLock.h"
#include "core/base/internal/LockedField.h"
#include "manager/CNorvRemindMgr.h"
#include "manager/internal/RegistryMap.h"

bool CNorvRemindMgr::AddRemind(CNorvRemind* remind) {
  if (remind == nullptr) return false;
  const CGuid id = remind->m_ID;
  if (!id.IsValid()) return false;
  CSingleLock lock(&RemindLock, true);
  // try_emplace builds no node for a taken identifier, so a refused remind
  // never gains and drops the reference that would delete it. Loading
  // registers in identifier order and new identifiers mostly grow: the end,
  // tried first, spares the walk down the tree.
  const size_t before = RemindMap.size();
  RemindMap.try_emplace(RemindMap.end(), id, remind);
  return RemindMap.size() != before;
}

bool CNorvRemindMgr::RemoveRemind(CGuid id) {
  if (!id.IsValid()) return false;
  CNorvBasePtr<CNorvRemind> removed;  // released after the lock
  CSingleLock lock(&RemindLock, true);
  removed = norvregistry::Take(RemindMap, id);
  return removed != nullptr;
}

CNorvBasePtr<CNorvRemind> CNorvRemindMgr::GetRemind(CGuid id) {
  if (!id.IsValid()) return nullptr;
  CSingleLock lock(&RemindLock, true);
  return norvregistry::Find(RemindMap, id);
}

void CNorvRemindMgr::GetRemindList(RemindList& reminds) {
  const RemindMapType copy = norvlock::CopyOf(RemindLock, RemindMap);
  reminds.clear();
  for (const auto& entry : copy) reminds.push_back(entry.second);
}
