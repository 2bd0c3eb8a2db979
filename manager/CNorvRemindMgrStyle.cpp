#include <cassert>

#include "core/base/CSingleLock.h"
#include "manager/CNorvRemindMgr.h"

namespace {

CString NameKey(CString name) {
  name.MakeLower();
  return name;
}

short OrderOf(CNorvRemindStyle* style) {
  CSingleLock lock(&style->m_cs, true);
  return style->m_nOrder;
}

CGuid IdOf(CNorvRemindStyle* style) {
  CSingleLock lock(&style->m_cs, true);
  return style->m_ID;
}

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
  auto entry = StyleIDMap.find(id);
  if (entry == StyleIDMap.end()) return false;
  removed = entry->second;
  StyleIDMap.erase(entry);
  StyleNameMap.erase(NameKey(removed->GetName()));
  RemoveFromStyleList(removed);
  return true;
}

bool CNorvRemindMgr::RemoveRemindStyle(CString name) {
  if (name.IsEmpty()) return false;
  const CString key = NameKey(name);
  CNorvBasePtr<CNorvRemindStyle> removed;  // released after the lock
  CSingleLock lock(&StyleLock, true);
  auto entry = StyleNameMap.find(key);
  if (entry == StyleNameMap.end()) return false;
  removed = entry->second;
  StyleNameMap.erase(entry);
  StyleIDMap.erase(IdOf(removed));
  RemoveFromStyleList(removed);
  return true;
}

void CNorvRemindMgr::RemoveFromStyleList(CNorvRemindStyle* style) {
  StyleList.remove_if(
      [style](const CNorvBasePtr<CNorvRemindStyle>& entry) { return entry == style; });
}

CNorvBasePtr<CNorvRemindStyle> CNorvRemindMgr::GetRemindStyle(CGuid id) {
  if (!id.IsValid()) return nullptr;
  CSingleLock lock(&StyleLock, true);
  auto entry = StyleIDMap.find(id);
  return entry == StyleIDMap.end() ? nullptr : entry->second;
}

CNorvBasePtr<CNorvRemindStyle> CNorvRemindMgr::GetRemindStyle(CString name) {
  if (name.IsEmpty()) return nullptr;
  const CString key = NameKey(name);
  CSingleLock lock(&StyleLock, true);
  auto entry = StyleNameMap.find(key);
  return entry == StyleNameMap.end() ? nullptr : entry->second;
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
  CSingleLock lock(&StyleLock, true);
  return DefaultStyle;
}

CString CNorvRemindMgr::GenRemindStyleListInfo_XML() {
  StyleListType styles;
  {
    CSingleLock lock(&StyleLock, true);
    styles = StyleList;
  }
  CString text;
  for (CNorvRemindStyle* style : styles) text += style->GenListInfo_XML();
  if (text.IsEmpty()) return text;
  return L"<Body>" + text + L"</Body>";
}

CString CNorvRemindMgr::GenRemindStyleListInfo_Json() {
  StyleListType styles;
  {
    CSingleLock lock(&StyleLock, true);
    styles = StyleList;
  }
  CString text;
  for (CNorvRemindStyle* style : styles) text += L", " + style->GenListInfo_Json();
  if (text.IsEmpty()) return text;
  return L"[ " + text.Mid(2) + L" ]";
}
