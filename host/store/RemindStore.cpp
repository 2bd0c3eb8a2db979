#include "host/store/RemindStore.h"

#include <cstdint>
#include <cwctype>
#include <list>
#include <tuple>

#include "core/base/CNorvCommFun.h"
#include "core/base/CNorvXmlDocument.h"
#include "host/cli/DefinitionCheck.h"
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

namespace {

// FNV-1a, twice with different bases: 128 bits of a stable hash. Both
// halves go in one pass, their multiplications side by side.
CGuid ContentID(const std::string& text) {
  constexpr uint64_t kPrime = 0x100000001b3ULL;
  uint64_t high = 0xcbf29ce484222325ULL;
  uint64_t low = 0x84222325cbf29ce4ULL;
  for (unsigned char ch : text) {
    high = (high ^ ch) * kPrime;
    low = (low ^ ch) * kPrime;
  }
  // Shaped as a name-based GUID, 8-4-4-4-12: version 5, RFC 4122 variant.
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  wchar_t shaped[37];
  size_t at = 0;
  for (int nibble = 0; nibble < 32; ++nibble) {
    if (nibble == 8 || nibble == 12 || nibble == 16 || nibble == 20) shaped[at++] = L'-';
    const uint64_t half = nibble < 16 ? high : low;
    shaped[at++] = kDigits[(half >> (60 - 4 * (nibble % 16))) & 0xF];
  }
  shaped[at] = L'\0';
  shaped[14] = L'5';
  shaped[19] = L"89ab"[low >> 62];
  CGuid id;
  id.FromString(shaped);
  return id;
}

// What the library's parser leaves out of a definition its rendering wrote.
void TakeExtras(const DefinitionExtras& extras, CNorvRemind& remind) {
  if (extras.state) remind.m_nState = *extras.state;
  if (extras.regularValue && remind.m_Repeat.m_nRegularType != 3) {
    remind.m_Repeat.m_nRegularValue = *extras.regularValue;
  }
  if (extras.count) remind.m_Repeat.m_nCount = *extras.count;
}

}  // namespace

bool ParseDefinition(const std::string& utf8, const std::string& source,
                     const DefinitionOptions& options, ParsedDefinition& parsed,
                     CString& errorText) {
  DefinitionCheck check;
  std::string fault;
  if (!check.Parse(utf8, source, fault) ||
      (!options.force && check.FindFault(COleDateTime::GetCurrentTime(), fault))) {
    errorText = Widen(fault);
    return false;
  }
  CNorvXmlDocument document;
  if (!CNorvCommFun::ParseXML(CString::FromUtf8(utf8), document)) {
    errorText = Widen(source + ": " +
                      Localized("the definition is not well-formed XML", "定义不是格式正确的 XML"));
    return false;
  }
  CNorvBasePtr<CNorvRemind> remind(new CNorvRemind);
  remind->m_strCreatorID = Widen(options.creator.id);
  remind->m_strCreatorName = Widen(options.creator.name);
  CString reason;
  // The parser takes style texts the loaders refuse; such a remind would be
  // stored and then never fire.
  std::list<CNorvBasePtr<CNorvRemindStyleItem>> items;
  if (!remind->ParseXML(document.GetRootElement(), reason) ||
      !CheckLoadable(*remind, items, reason)) {
    errorText =
        Widen(source + ": " + Localized("not a valid definition (library: ", "定义无效（库：") +
              Narrow(reason) + Localized(")", "）"));
    return false;
  }
  const DefinitionExtras extras = check.Extras();
  TakeExtras(extras, *remind);
  parsed.idGiven = !extras.id.empty() && remind->m_ID.FromString(Widen(extras.id));
  parsed.stateGiven = extras.state.has_value();
  if (options.idFromContent) parsed.canonical = CanonicalDefinition(*remind);
  if (!parsed.idGiven) {
    if (options.idFromContent) {
      remind->m_ID = ContentID(parsed.canonical);
    } else {
      remind->m_ID.NewID();
    }
  }
  parsed.remind = remind;
  return true;
}

std::string CanonicalDefinition(CNorvRemind& remind) {
  const CGuid id = remind.m_ID;
  const short state = remind.m_nState;
  const int count = remind.m_Repeat.m_nCount;
  // The loaders read receivers back in this order, whatever order they had.
  std::list<CNorvBasePtr<CEmItem>> receivers = remind.m_lstReceiver;
  remind.m_lstReceiver.sort([](const auto& a, const auto& b) {
    return std::tie(a->m_nReceiveType, a->m_strReceiveName.str(), a->m_strReceiveID.str()) <
           std::tie(b->m_nReceiveType, b->m_strReceiveName.str(), b->m_strReceiveID.str());
  });
  remind.m_ID = CGuid();
  remind.m_nState = norvcode::kRemindActive;
  remind.m_Repeat.m_nCount = 0;
  const std::string text = remind.GenInfo_XML().ToUtf8();
  remind.m_ID = id;
  remind.m_nState = state;
  remind.m_Repeat.m_nCount = count;
  remind.m_lstReceiver.swap(receivers);
  return text;
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

bool UpdateRemind(HostDatabase& database, CNorvRemind& remind, short previousType,
                  CString& errorText) {
  CSession& session = database.session();
  Transaction transaction(database);
  return transaction.Begin(&errorText) &&
         remind.DBUpdate(session, database.kind(), previousType, &errorText) &&
         CNorvRemind::DBDeleteReceiver(session, remind.m_ID, &errorText) &&
         remind.DBInsertReceiver(session, &errorText) && transaction.Commit(&errorText);
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

bool FindRemindID(HostDatabase& database, const std::string& text, CGuid& id, CString& reason) {
  std::vector<CGuid> ids;
  if (!ListRemindIDs(database, false, ids, &reason)) {
    reason = L"cannot read the reminds: " + reason;
    return false;
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
    return true;
  }
  reason = Widen(matches.empty() ? "no remind with the identifier '" + text + "'"
                                 : "'" + text + "' names " + std::to_string(matches.size()) +
                                       " reminds; give more of the identifier");
  return false;
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
