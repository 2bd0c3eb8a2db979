#include <cassert>

#include "core/base/CSingleLock.h"
#include "core/base/internal/LockedField.h"
#include "manager/CNorvRemindMgr.h"
#include "manager/internal/RegistryMap.h"

namespace {

CString NameKey(CString name) {
  name.MakeLower();
  return name;
}

short OrderOf(CNorvRemindStyle* style) { return norvlock::CopyOf(style->m_cs, style->m_nOrder); }

}  // namespace

bool CNorvRemindMgr::AddRemindStyle(CNorvRemindStyle* style, bool sorted) {
  if (style == nullptr) return false;
  CGuid id;
  CString name;
  short order;
  {
    CSingleLock lock(&style->m_cs, true);
    id = style->m_ID;
    name = style->m_strName;
    order = style->m_nOrder;
  }
  if (!id.IsValid() || name.IsEmpty()) return false;
  const CString key = NameKey(name);

  CSingleLock lock(&StyleLock, true);
  if (StyleIDMap.count(id) != 0 || StyleNameMap.count(key) != 0) return false;
  StyleIDMap.emplace(id, style);
  StyleNameMap.emplace(key, style);
  StyleList.insert(sorted ? FindRemindStyleOrder(order, name) : StyleList.end(), style);
  return true;
}

CNorvRemindMgr::StyleListType::iterator CNorvRemindMgr::FindRemindStyleOrder(short order,
                                                                             CString name) {
  assert(StyleLock.IsHeldByCurrentThread());
  for (auto it = StyleList.begin(); it != StyleList.end(); ++it) {
    const short itemOrder = OrderOf(*it);
    if (itemOrder > order || (itemOrder == order && name < (*it)->GetName())) return it;
  }
  return StyleList.end();
}

void CNorvRemindMgr::AlterRemindStyleOrder(CNorvRemindStyle* style, short order) {
  if (style == nullptr) return;
  CNorvBasePtr<CNorvRemindStyle> held(style);  // the list may hold the last reference
  const CString name = style->GetName();
  CSingleLock lock(&StyleLock, true);
  RemoveFromStyleList(style);
  StyleList.insert(FindRemindStyleOrder(order, name), style);
}

short CNorvRemindMgr::GetRemindStyleMaxOrder() {
  CSingleLock lock(&StyleLock, true);
  return StyleList.empty() ? 0 : OrderOf(StyleList.back());
}

// Each removal erases the other map's entry under the style's current key,
// not by identity, as the registry always has: after a rename the style
// stays findable by its new name, and a style that has since taken its old
// name loses that entry. A renamed style leaves entirely only by its new name.
bool CNorvRemindMgr::RemoveRemindStyle(CGuid id) {
  if (!id.IsValid()) return false;
  CNorvBasePtr<CNorvRemindStyle> removed;  // released after the lock
  CSingleLock lock(&StyleLock, true);
  removed = norvregistry::Take(StyleIDMap, id);
  if (!removed) return false;
  StyleNameMap.erase(NameKey(removed->GetName()));
  RemoveFromStyleList(removed);
  return true;
}

bool CNorvRemindMgr::RemoveRemindStyle(CString name) {
  if (name.IsEmpty()) return false;
  const CString key = NameKey(name);
  CNorvBasePtr<CNorvRemindStyle> removed;  // released after the lock
  CSingleLock lock(&StyleLock, true);
  removed = norvregistry::Take(StyleNameMap, key);
  if (!removed) return false;
  StyleIDMap.erase(norvlock::CopyOf(removed->m_cs, removed->m_ID));
  RemoveFromStyleList(removed);
  return true;
}

void CNorvRemindMgr::RemoveFromStyleList(CNorvRemindStyle* style) {
  assert(StyleLock.IsHeldByCurrentThread());
  StyleList.remove_if(
      [style](const CNorvBasePtr<CNorvRemindStyle>& entry) { return entry == style; });
}

CNorvBasePtr<CNorvRemindStyle> CNorvRemindMgr::GetRemindStyle(CGuid id) {
  if (!id.IsValid()) return nullptr;
  CSingleLock lock(&StyleLock, true);
  return norvregistry::Find(StyleIDMap, id);
}

CNorvBasePtr<CNorvRemindStyle> CNorvRemindMgr::GetRemindStyle(CString name) {
  if (name.IsEmpty()) return nullptr;
  const CString key = NameKey(name);
  CSingleLock lock(&StyleLock, true);
  return norvregistry::Find(StyleNameMap, key);
}

bool CNorvRemindMgr::RenameRemindStyle(CString oldName, CString newName) {
  if (oldName.IsEmpty() || newName.IsEmpty()) return false;
  const CString oldKey = NameKey(oldName);
  const CString newKey = NameKey(newName);
  CSingleLock lock(&StyleLock, true);
  if (StyleNameMap.count(newKey) != 0) return false;
  auto entry = StyleNameMap.find(oldKey);
  if (entry == StyleNameMap.end()) return false;
  CNorvBasePtr<CNorvRemindStyle> style = entry->second;
  StyleNameMap.erase(entry);
  StyleNameMap.emplace(newKey, style);
  return true;
}

void CNorvRemindMgr::SetDefRemindStyle(CNorvRemindStyle* style) {
  CNorvBasePtr<CNorvRemindStyle> previous;  // released after the lock
  CSingleLock lock(&StyleLock, true);
  previous = DefaultStyle;
  DefaultStyle = style;
}

CNorvBasePtr<CNorvRemindStyle> CNorvRemindMgr::GetDefRemindStyle() {
  return norvlock::CopyOf(StyleLock, DefaultStyle);
}

CString CNorvRemindMgr::GenRemindStyleListInfo_XML() {
  const StyleListType styles = norvlock::CopyOf(StyleLock, StyleList);
  CString text;
  for (CNorvRemindStyle* style : styles) text += style->GenListInfo_XML();
  if (text.IsEmpty()) return text;
  return L"<Body>" + text + L"</Body>";
}

CString CNorvRemindMgr::GenRemindStyleListInfo_Json() {
  const StyleListType styles = norvlock::CopyOf(StyleLock, StyleList);
  CString text;
  for (CNorvRemindStyle* style : styles) text += L", " + style->GenListInfo_Json();
  if (text.IsEmpty()) return text;
  return L"[ " + text.Mid(2) + L" ]";
}
