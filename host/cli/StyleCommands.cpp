// style add, list, show, rename, reorder, default and delete.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <list>

#include "core/base/CNorvCommFun.h"
#include "core/base/CNorvXmlDocument.h"
#include "core/base/CSingleLock.h"
#include "host/cli/HostCommands.h"
#include "host/cli/HostText.h"
#include "host/cli/TextTable.h"
#include "host/store/HostDatabase.h"
#include "host/store/RemindSchedule.h"
#include "manager/CNorvRemindMgr.h"
#include "style/CNorvRemindStyle.h"
#include "style/CNorvRemindStyleItem.h"

namespace norvhost {

namespace {

// The stored styles in a manager's style registry, loaded the way the
// manager loads them at start, without the rest of its start-up.
class StyleCatalog {
 public:
  explicit StyleCatalog(const Invocation& invocation) : m_database(ResolveDatabase(invocation)) {}

  // Opens the database and loads the styles. Prints the reason of a failure
  // and returns an exit code, as OpenDatabase does.
  int Open() {
    if (int code = OpenDatabase(m_database); code != kExitOk) return code;
    CString reason;
    if (!m_registry.DBLoadRemindStyle(m_database.session(), &reason)) {
      return Failure("cannot read the styles", reason);
    }
    return kExitOk;
  }

  // The style a user named, by name (any case) or identifier; null with
  // the reason when there is none.
  CNorvBasePtr<CNorvRemindStyle> Find(const std::string& text, CString& reason) {
    CNorvBasePtr<CNorvRemindStyle> style = m_registry.GetRemindStyle(Widen(text));
    CGuid id;
    if (!style && id.FromString(Widen(text))) style = m_registry.GetRemindStyle(id);
    if (!style) reason = Widen("no style named '" + text + "'");
    return style;
  }

  // Flags `chosen` as the default and every other style as not; the caller
  // holds the transaction.
  bool FlagDefault(CNorvRemindStyle& chosen, CString& reason) {
    for (auto& style : m_registry.StyleList) {
      if (style == &chosen || !style->IsDefault()) continue;
      if (!style->DBSetDefault(session(), false, &reason)) return false;
    }
    return chosen.DBSetDefault(session(), true, &reason);
  }

  CNorvRemindMgr& registry() { return m_registry; }
  HostDatabase& database() { return m_database; }
  CSession& session() { return m_database.session(); }

 private:
  HostDatabase m_database;
  CNorvRemindMgr m_registry;
};

// A style from a style element. `hasOrder` tells whether the element gave
// the display order.
bool ParseStyle(const std::string& text, CNorvRemindStyle& style, bool& hasOrder, CString& reason) {
  CNorvXmlDocument document;
  if (!CNorvCommFun::ParseXML(Widen(text), document)) {
    reason = L"the style is not well-formed XML";
    return false;
  }
  const CNorvXmlNode element = document.GetRootElement();
  if (!style.ParseXML(element, reason)) return false;
  CString order;
  hasOrder = element.GetAttribute(L"Order", order);
  // The manager drops a style whose items do not parse when it loads, so
  // such a style is refused here instead of being stored unusable.
  std::list<CNorvBasePtr<CNorvRemindStyleItem>> items;
  return CNorvRemindStyleItem::ParseListXML(style.GetDefInfo(), items, reason);
}

short ParseOrder(const std::string& text) {
  char* end = nullptr;
  const long order = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || order < -32768 || order > 32767) {
    throw UsageError("ORDER is a whole number from -32768 to 32767, not '" + text + "'");
  }
  return static_cast<short>(order);
}

void PrintStyleTable(StyleCatalog& catalog) {
  if (catalog.registry().StyleList.empty()) {
    PrintLine(std::string("no styles"));
    return;
  }
  CNorvBasePtr<CNorvRemindStyle> defaultStyle = catalog.registry().GetDefRemindStyle();
  TextTable table;
  table.AddColumn(L"ORDER");
  table.AddColumn(L"NAME", 24);
  table.AddColumn(L"DEFAULT");
  table.AddColumn(L"ITEMS (days before, time)", 48);
  table.AddColumn(L"ID");
  for (auto& style : catalog.registry().StyleList) {
    CString order;
    order.Format(L"%d", style->GetOrder());
    CString items;
    {
      CSingleLock hold(&style->m_csDef, true);
      items = DescribeItems(style->m_lstStyleItem, style->m_csDef);
    }
    table.AddRow({order, style->GetName(), style == defaultStyle ? L"yes" : L"", items,
                  ShortID(style->m_ID.GetString1())});
  }
  std::fputs(table.Render().c_str(), stdout);
}

// What a change did ("is now the default"), or "" with the reason it failed.
using StyleChange =
    std::function<std::string(StyleCatalog& catalog, CNorvRemindStyle& style, CString& reason)>;

// Applies `change` to the style the first argument names and says how it went.
int ChangeStyle(const Invocation& invocation, const StyleChange& change) {
  StyleCatalog catalog(invocation);
  if (int code = catalog.Open(); code != kExitOk) return code;
  CString reason;
  CNorvBasePtr<CNorvRemindStyle> style = catalog.Find(invocation.args[0], reason);
  if (!style) return Failure(reason);
  const std::string name = Narrow(style->GetName());
  const std::string done = change(catalog, *style, reason);
  if (done.empty()) return Failure("cannot change style '" + name + "'", reason);
  PrintLine("style '" + name + "' " + done);
  return kExitOk;
}

}  // namespace

int RunStyleAdd(const Invocation& invocation) {
  std::string text;
  std::string source;
  CString reason;
  if (!ReadInputText(invocation, text, source, reason)) return Failure(reason);
  StyleCatalog catalog(invocation);
  if (int code = catalog.Open(); code != kExitOk) return code;

  CNorvBasePtr<CNorvRemindStyle> style(new CNorvRemindStyle);
  style->m_ID.NewID();
  bool hasOrder = false;
  if (!ParseStyle(text, *style, hasOrder, reason)) return Failure(source, reason);
  if (catalog.registry().GetRemindStyle(style->GetName())) {
    return Failure(source, L"a style named '" + style->GetName() + L"' exists already");
  }
  if (!hasOrder) {
    style->SetOrder(static_cast<short>(catalog.registry().GetRemindStyleMaxOrder() + 1));
  }
  const Creator creator = ResolveCreator(invocation);
  style->m_strCreatorID = style->m_strModifierID = Widen(creator.id);
  style->m_strCreatorName = style->m_strModifierName = Widen(creator.name);

  Transaction transaction(catalog.database());
  if (!transaction.Begin(&reason) ||
      !style->DBInsert(catalog.session(), catalog.database().kind(), &reason) ||
      (invocation.Has("default") && !catalog.FlagDefault(*style, reason)) ||
      !transaction.Commit(&reason)) {
    return Failure("cannot store the style", reason);
  }
  PrintLine(style->m_ID.GetString1());
  return kExitOk;
}

int RunStyleList(const Invocation& invocation) {
  RequireOneFormat(invocation);
  StyleCatalog catalog(invocation);
  if (int code = catalog.Open(); code != kExitOk) return code;
  if (invocation.Has("xml")) {
    PrintLine(catalog.registry().GenRemindStyleListInfo_XML());
  } else if (invocation.Has("json")) {
    PrintLine(catalog.registry().GenRemindStyleListInfo_Json());
  } else {
    PrintStyleTable(catalog);
  }
  return kExitOk;
}

int RunStyleShow(const Invocation& invocation) {
  StyleCatalog catalog(invocation);
  if (int code = catalog.Open(); code != kExitOk) return code;
  CString reason;
  CNorvBasePtr<CNorvRemindStyle> style = catalog.Find(invocation.args[0], reason);
  if (!style) return Failure(reason);
  PrintLine(invocation.Has("json") ? style->GenInfo_Json() : style->GenInfo_XML());
  return kExitOk;
}

int RunStyleRename(const Invocation& invocation) {
  const std::string newName = invocation.args[1];
  return ChangeStyle(
      invocation,
      [&](StyleCatalog& catalog, CNorvRemindStyle& style, CString& reason) -> std::string {
        if (newName.empty()) {
          reason = L"the new name is empty";
          return "";
        }
        if (!catalog.registry().RenameRemindStyle(style.GetName(), Widen(newName))) {
          reason = Widen("a style named '" + newName + "' exists already");
          return "";
        }
        if (!style.DBRename(catalog.session(), Widen(newName), &reason)) return "";
        return "renamed to '" + newName + "'";
      });
}

int RunStyleReorder(const Invocation& invocation) {
  const short order = ParseOrder(invocation.args[1]);
  return ChangeStyle(
      invocation,
      [&](StyleCatalog& catalog, CNorvRemindStyle& style, CString& reason) -> std::string {
        if (!style.DBSetOrder(catalog.session(), order, &reason)) return "";
        return "now has the order " + std::to_string(order);
      });
}

int RunStyleDefault(const Invocation& invocation) {
  return ChangeStyle(
      invocation,
      [](StyleCatalog& catalog, CNorvRemindStyle& style, CString& reason) -> std::string {
        Transaction transaction(catalog.database());
        if (!transaction.Begin(&reason) || !catalog.FlagDefault(style, reason) ||
            !transaction.Commit(&reason)) {
          return "";
        }
        return "is now the default";
      });
}

int RunStyleDelete(const Invocation& invocation) {
  return ChangeStyle(
      invocation,
      [](StyleCatalog& catalog, CNorvRemindStyle& style, CString& reason) -> std::string {
        CGuid id = style.m_ID;
        return CNorvRemindStyle::DBDelete(catalog.session(), id, &reason) ? "deleted" : "";
      });
}

}  // namespace norvhost
