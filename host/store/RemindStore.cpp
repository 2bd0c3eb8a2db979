#include "host/store/RemindStore.h"

#include <cwctype>
#include <list>

#include "core/base/CNorvCommFun.h"
#include "core/base/CNorvXmlDocument.h"
#include "host/cli/HostOptions.h"
#include "host/cli/HostText.h"
#include "host/store/RemindLoader.h"
#include "message/CNorvRemindAMMsg.h"
#include "message/CNorvRemindMsg.h"
#include "remind/internal/NorvCodes.h"
#include "repeat/CNorvRemindRepeat.h"

namespace norvhost {

namespace {

CString Quoted(const CGuid& id) {
  CString text;
  text.Format(L"'%s'", id.GetString1());
  return text;
}

// Hex digits of a typed identifier, lower case, without braces or hyphens.
std::wstring HexDigits(const CString& text) {
  std::wstring digits;
  for (wchar_t ch : text.str()) {
    if (ch == L'{' || ch == L'}' || ch == L'-') continue;
    digits += static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch)));
  }
  return digits;
}

}  // namespace

bool ParseDefinition(const std::string& utf8, const Creator& creator,
                     CNorvBasePtr<CNorvRemind>& remind, CString& errorText) {
  CNorvXmlDocument document;
  if (!CNorvCommFun::ParseXML(CString::FromUtf8(utf8), document)) {
    errorText = L"the definition is not well-formed XML";
    return false;
  }
  CNorvBasePtr<CNorvRemind> parsed(new CNorvRemind);
  parsed->m_ID.NewID();
  parsed->m_strCreatorID = Widen(creator.id);
  parsed->m_strCreatorName = Widen(creator.name);
  if (!parsed->ParseXML(document.GetRootElement(), errorText)) return false;
  // The parser takes style texts the loaders refuse; such a remind would be
  // stored and then never fire.
  std::list<CNorvBasePtr<CNorvRemindStyleItem>> items;
  if (!CheckLoadable(*parsed, items, errorText)) return false;
  remind = parsed;
  return true;
}

bool StoreReminds(HostDatabase& database, const std::vector<CNorvRemind*>& reminds,
                  CString& errorText) {
  Transaction transaction(database);
  if (!transaction.Begin(&errorText)) return false;
  for (CNorvRemind* remind : reminds) {
    if (!remind->DBInsert(database.session(), database.kind(), &errorText) ||
        !remind->DBInsertReceiver(database.session(), &errorText)) {
      return false;
    }
  }
  return transaction.Commit(&errorText);
}

bool StoreRemind(HostDatabase& database, CNorvRemind* remind, CString& errorText) {
  return StoreReminds(database, {remind}, errorText);
}

bool ListRemindIDs(HostDatabase& database, bool activeOnly, std::vector<CGuid>& ids,
                   CString* errorText) {
  std::vector<CString> texts;
  CString query = L"SELECT CN_G_ID FROM NORV_REMIND_DEF ORDER BY CN_T_CREATE, CN_G_ID";
  if (activeOnly) {
    query.Format(
        L"SELECT CN_G_ID FROM NORV_REMIND_DEF WHERE CN_N_STATE = %d ORDER BY "
        L"CN_T_CREATE, CN_G_ID",
        norvcode::kRemindActive);
  }
  if (!database.QueryColumn(query, texts, errorText)) return false;
  ids.clear();
  for (const CString& text : texts) {
    CGuid id;
    if (id.FromString1(text)) ids.push_back(id);
  }
  return true;
}

int LoadReminds(HostDatabase& database, bool activeOnly,
                std::vector<CNorvBasePtr<CNorvRemind>>& reminds) {
  std::vector<UnloadableRemind> unloadable;
  CString reason;
  if (!ReadReminds(database, activeOnly, reminds, unloadable, reason)) {
    PrintError("cannot read the reminds: " + Narrow(reason));
    return kExitFailure;
  }
  for (const UnloadableRemind& remind : unloadable) {
    PrintError("remind " + Narrow(remind.first.GetString1()) +
               " cannot be loaded: " + Narrow(remind.second));
  }
  return unloadable.empty() ? kExitOk : kExitFailure;
}

int ResolveRemindID(HostDatabase& database, const std::string& text, CGuid& id) {
  CString reason;
  std::vector<CGuid> ids;
  if (!ListRemindIDs(database, false, ids, &reason)) {
    PrintError("cannot read the reminds: " + Narrow(reason));
    return kExitFailure;
  }
  const std::wstring wanted = HexDigits(Widen(text));
  std::vector<CGuid> matches;
  for (const CGuid& candidate : ids) {
    const std::wstring digits = HexDigits(candidate.GetString1());
    if (!wanted.empty() && digits.compare(0, wanted.size(), wanted) == 0) {
      matches.push_back(candidate);
    }
  }
  if (matches.size() == 1) {
    id = matches.front();
    return kExitOk;
  }
  PrintError(matches.empty() ? "no remind with the identifier '" + text + "'"
                             : "'" + text + "' names " + std::to_string(matches.size()) +
                                   " reminds; give more of the identifier");
  return kExitFailure;
}

int LoadRemind(HostDatabase& database, const CGuid& id, CNorvBasePtr<CNorvRemind>& remind,
               CString& errorText) {
  CNorvBasePtr<CNorvRemind> loaded(new CNorvRemind);
  const int result = loaded->DBLoadData(database.session(), id, errorText);
  if (result == 1) remind = loaded;
  return result;
}

bool DeleteRemind(HostDatabase& database, const CGuid& id, CString& errorText) {
  std::vector<CString> inboxReceivers;
  CString query;
  query.Format(L"SELECT DISTINCT CN_S_RECEIVER FROM NORV_REMIND_MSG WHERE CN_G_REMIND_ID = %s",
               Quoted(id));
  if (!database.QueryColumn(query, inboxReceivers, &errorText)) return false;

  CSession& session = database.session();
  Transaction transaction(database);
  if (!transaction.Begin(&errorText)) return false;
  for (const CString& receiver : inboxReceivers) {
    if (!CNorvRemindMsg::DBDelete(session, id, receiver, &errorText)) return false;
  }
  if (!CNorvRemindAMMsg::DBDelete3(session, id, &errorText)) return false;
  if (!CNorvRemindRepeat::DBDelete(session, id, &errorText)) return false;
  if (!CNorvRemind::DBDeleteReceiver(session, id, &errorText)) return false;
  if (!CNorvRemind::DBDelete(session, id, &errorText)) return false;
  return transaction.Commit(&errorText);
}

bool SetRemindState(HostDatabase& database, const CGuid& id, short state, CString& errorText) {
  Transaction transaction(database);
  if (!transaction.Begin(&errorText)) return false;
  if (!CNorvRemind::DBSetState(database.session(), id, state, &errorText)) return false;
  if (state != norvcode::kRemindActive) {
    CString withdraw;
    withdraw.Format(
        L"UPDATE NORV_REMIND_MSG_AM SET CN_N_STATUS = %d "
        L"WHERE CN_G_REMIND_ID = %s AND CN_N_STATUS = %d",
        norvcode::kAMExpired, Quoted(id), norvcode::kAMWaiting);
    if (!database.Run(withdraw, &errorText)) return false;
  }
  return transaction.Commit(&errorText);
}

}  // namespace norvhost
