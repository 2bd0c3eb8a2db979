// style add, list, show, rename, reorder, default and delete.
#include <cstdio>
#include <cstdlib>
#include <list>

#include "core/CNorvCommFun.h"
#include "core/CNorvXmlDocument.h"
#include "core/CSingleLock.h"
#include "host/HostCommands.h"
#include "host/HostDatabase.h"
#include "host/HostText.h"
#include "host/TextTable.h"
#include "manager/CNorvRemindMgr.h"
#include "style/CNorvRemindStyle.h"
#include "style/CNorvRemindStyleItem.h"

namespace norvhost {

namespace {

// The stored styles in the manager's style registry, loaded the way the
// manager loads them at start, without the rest of its start-up.
class StyleCatalog : public CNorvRemindMgr {
 public:
  bool Load(CSession& session, CString* errorText) {
    return DBLoadRemindStyle(session, errorText);
  }
};

// Opens the database and loads the styles; an exit code.
int OpenCatalog(HostDatabase& database, StyleCatalog& catalog) {
  if (int code = database.Open(); code != kExitOk) return code;
  CString reason;
  if (!catalog.Load(database.session(), &reason)) {
    PrintError("cannot read the styles: " + Narrow(reason));
    return kExitFailure;
  }
  return kExitOk;
}

// The style a user named, by name (any case) or identifier.
CNorvBasePtr<CNorvRemindStyle> FindStyle(StyleCatalog& catalog, const std::string& text) {
  CNorvBasePtr<CNorvRemindStyle> style = catalog.GetRemindStyle(Widen(text));
  CGuid id;
  if (!style && id.FromString(Widen(text))) style = catalog.GetRemindStyle(id);
  if (!style) PrintError("no style named '" + text + "'");
  return style;
}

short ParseOrder(const std::string& text) {
  char* end = nullptr;
  const long order = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || order < -32768 || order > 32767) {
    throw UsageError("ORDER is a whole number from -32768 to 32767, not '" + text + "'");
  }
  return static_cast<short>(order);
}

CString DescribeItems(CNorvRemindStyle& style) {
  CString text;
  CSingleLock hold(&style.m_csDef, true);
  for (auto& item : style.m_lstStyleItem) {
    if (!text.IsEmpty()) text += L", ";
    text.AppendFormat(L"%dd %s", item->m_nDay, item->m_strTime);
  }
  return text;
}

// Makes `chosen` the only style flagged as default, all or nothing.
bool MakeDefault(HostDatabase& database, StyleCatalog& catalog, CNorvRemindStyle* chosen,
                 CString& reason) {
  Transaction transaction(database);
  if (!transaction.Begin(&reason)) return false;
  for (auto& style : catalog.StyleList) {
    if (style == chosen || !style->IsDefault()) continue;
    if (!style->DBSetDefault(database.session(), false, &reason)) return false;
  }
  if (!chosen->DBSetDefault(database.session(), true, &reason)) return false;
  return transaction.Commit(&reason);
}

}  // namespace

int RunStyleAdd(const Invocation& invocation) {
  const std::string path = invocation.args.empty() ? "-" : invocation.args[0];
  const std::string source = path == "-" ? "standard input" : path;
  std::string text;
  if (path == "-") {
    text = ReadStandardInput();
  } else if (std::string error; !ReadTextFile(path, text, error)) {
    PrintError(error);
    return kExitFailure;
  }
  HostDatabase database(ResolveDatabase(invocation));
  StyleCatalog catalog;
  if (int code = OpenCatalog(database, catalog); code != kExitOk) return code;

  CNorvXmlDocument document;
  if (!CNorvCommFun::ParseXML(Widen(text), document)) {
    PrintError(source + ": the style is not well-formed XML");
    return kExitFailure;
  }
  const CNorvXmlNode element = document.GetRootElement();
  CNorvBasePtr<CNorvRemindStyle> style(new CNorvRemindStyle);
  style->m_ID.NewID();
  CString reason;
  if (!style->ParseXML(element, reason)) {
    PrintError(source + ": " + Narrow(reason));
    return kExitFailure;
  }
  // The manager drops a style whose items do not parse when it loads, so
  // such a style is refused here instead of being stored unusable.
  std::list<CNorvBasePtr<CNorvRemindStyleItem>> items;
  if (!CNorvRemindStyleItem::ParseListXML(style->GetDefInfo(), items, reason)) {
    PrintError(source + ": " + Narrow(reason));
    return kExitFailure;
  }
  if (catalog.GetRemindStyle(style->GetName())) {
    PrintError(source + ": a style named '" + Narrow(style->GetName()) + "' exists already");
    return kExitFailure;
  }
  CString order;
  if (!element.GetAttribute(L"Order", order)) {
    style->SetOrder(static_cast<short>(catalog.GetRemindStyleMaxOrder() + 1));
  }
  const Creator creator = ResolveCreator(invocation);
  style->m_strCreatorID = style->m_strModifierID = Widen(creator.id);
  style->m_strCreatorName = style->m_strModifierName = Widen(creator.name);

  if (!style->DBInsert(database.session(), database.kind(), &reason) ||
      (invocation.Has("default") && !MakeDefault(database, catalog, style, reason))) {
    PrintError("cannot store the style: " + Narrow(reason));
    return kExitFailure;
  }
  PrintLine(style->m_ID.GetString1());
  return kExitOk;
}

int RunStyleList(const Invocation& invocation) {
  if (invocation.Has("xml") && invocation.Has("json")) {
    throw UsageError("give --xml or --json, not both");
  }
  HostDatabase database(ResolveDatabase(invocation));
  StyleCatalog catalog;
  if (int code = OpenCatalog(database, catalog); code != kExitOk) return code;
  if (invocation.Has("xml")) {
    PrintLine(catalog.GenRemindStyleListInfo_XML());
    return kExitOk;
  }
  if (invocation.Has("json")) {
    PrintLine(catalog.GenRemindStyleListInfo_Json());
    return kExitOk;
  }
  if (catalog.StyleList.empty()) {
    PrintLine(std::string("no styles"));
    return kExitOk;
  }
  CNorvBasePtr<CNorvRemindStyle> defaultStyle = catalog.GetDefRemindStyle();
  TextTable table;
  table.AddColumn(L"ORDER");
  table.AddColumn(L"NAME", 24);
  table.AddColumn(L"DEFAULT");
  table.AddColumn(L"ITEMS", 48);
  table.AddColumn(L"ID");
  for (auto& style : catalog.StyleList) {
    CString order;
    order.Format(L"%d", style->GetOrder());
    table.AddRow({order, style->GetName(), style == defaultStyle ? L"yes" : L"",
                  DescribeItems(*style), ShortID(style->m_ID.GetString1())});
  }
  std::fputs(table.Render().c_str(), stdout);
  return kExitOk;
}

int RunStyleShow(const Invocation& invocation) {
  HostDatabase database(ResolveDatabase(invocation));
  StyleCatalog catalog;
  if (int code = OpenCatalog(database, catalog); code != kExitOk) return code;
  CNorvBasePtr<CNorvRemindStyle> style = FindStyle(catalog, invocation.args[0]);
  if (!style) return kExitFailure;
  PrintLine(invocation.Has("json") ? style->GenInfo_Json() : style->GenInfo_XML());
  return kExitOk;
}

int RunStyleRename(const Invocation& invocation) {
  HostDatabase database(ResolveDatabase(invocation));
  StyleCatalog catalog;
  if (int code = OpenCatalog(database, catalog); code != kExitOk) return code;
  const std::string& oldName = invocation.args[0];
  const std::string& newName = invocation.args[1];
  CNorvBasePtr<CNorvRemindStyle> style = FindStyle(catalog, oldName);
  if (!style) return kExitFailure;
  if (!catalog.RenameRemindStyle(style->GetName(), Widen(newName))) {
    PrintError(newName.empty() ? std::string("the new name is empty")
                               : "a style named '" + newName + "' exists already");
    return kExitFailure;
  }
  CString reason;
  if (!style->DBRename(database.session(), Widen(newName), &reason)) {
    PrintError("cannot rename the style: " + Narrow(reason));
    return kExitFailure;
  }
  PrintLine("renamed style '" + Narrow(style->GetName()) + "' to '" + newName + "'");
  return kExitOk;
}

int RunStyleReorder(const Invocation& invocation) {
  const short order = ParseOrder(invocation.args[1]);
  HostDatabase database(ResolveDatabase(invocation));
  StyleCatalog catalog;
  if (int code = OpenCatalog(database, catalog); code != kExitOk) return code;
  CNorvBasePtr<CNorvRemindStyle> style = FindStyle(catalog, invocation.args[0]);
  if (!style) return kExitFailure;
  CString reason;
  if (!style->DBSetOrder(database.session(), order, &reason)) {
    PrintError("cannot change the order: " + Narrow(reason));
    return kExitFailure;
  }
  PrintLine("style '" + Narrow(style->GetName()) + "' now has the order " +
            std::to_string(order));
  return kExitOk;
}

int RunStyleDefault(const Invocation& invocation) {
  HostDatabase database(ResolveDatabase(invocation));
  StyleCatalog catalog;
  if (int code = OpenCatalog(database, catalog); code != kExitOk) return code;
  CNorvBasePtr<CNorvRemindStyle> style = FindStyle(catalog, invocation.args[0]);
  if (!style) return kExitFailure;
  CString reason;
  if (!MakeDefault(database, catalog, style, reason)) {
    PrintError("cannot make the style the default: " + Narrow(reason));
    return kExitFailure;
  }
  PrintLine("style '" + Narrow(style->GetName()) + "' is now the default");
  return kExitOk;
}

int RunStyleDelete(const Invocation& invocation) {
  HostDatabase database(ResolveDatabase(invocation));
  StyleCatalog catalog;
  if (int code = OpenCatalog(database, catalog); code != kExitOk) return code;
  CNorvBasePtr<CNorvRemindStyle> style = FindStyle(catalog, invocation.args[0]);
  if (!style) return kExitFailure;
  CString reason;
  CGuid id = style->m_ID;
  if (!CNorvRemindStyle::DBDelete(database.session(), id, &reason)) {
    PrintError("cannot delete the style: " + Narrow(reason));
    return kExitFailure;
  }
  PrintLine("deleted style '" + Narrow(style->GetName()) + "'");
  return kExitOk;
}

}  // namespace norvhost
