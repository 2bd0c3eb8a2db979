#ifndef NORV_HOST_STORE_REMINDSTORE_H_
#define NORV_HOST_STORE_REMINDSTORE_H_

#include <string>
#include <vector>

#include "core/base/CGuid.h"
#include "core/base/CNorvBasePtr.h"
#include "core/base/CString.h"
#include "host/cli/HostSettings.h"
#include "host/store/HostDatabase.h"
#include "remind/CNorvRemind.h"

namespace norvhost {

// How a definition is taken.
struct DefinitionOptions {
  Creator creator;
  // Stores what the host's checks refuse (the library's own checks stay).
  bool force = false;
  // Without an ID attribute: an identifier derived from the content, so
  // that the same definition always names the same remind; a fresh one
  // otherwise.
  bool idFromContent = false;
};

// A parsed remind and what its definition said of the parts a stored
// remind otherwise keeps.
struct ParsedDefinition {
  CNorvBasePtr<CNorvRemind> remind;
  bool idGiven = false;
  bool stateGiven = false;
  // With DefinitionOptions::idFromContent: CanonicalDefinition(*remind).
  std::string canonical;
};

// A remind from a definition text named `source` in messages: the XML read
// with positions, the host's checks (see DefinitionCheck), the library's
// parser, and the parts its own rendering writes (ID, State, Count, the
// "RagularValue" spelling) taken back, so a rendered remind reads back the
// same. False with the whole message, source and line included.
bool ParseDefinition(const std::string& utf8, const std::string& source,
                     const DefinitionOptions& options, ParsedDefinition& parsed,
                     CString& errorText);

// The remind's definition without its identifier, state and firings: equal
// for two reminds that fire alike. In UTF-8, as it is hashed and an import
// keeps one for every definition. Renders `remind`, which nobody else may
// use meanwhile.
std::string CanonicalDefinition(CNorvRemind& remind);

// Stores parsed reminds with their receivers and repeat rules in one
// transaction, all or nothing.
bool StoreReminds(HostDatabase& database, const std::vector<CNorvRemind*>& reminds,
                  CString& errorText);
bool StoreRemind(HostDatabase& database, CNorvRemind* remind, CString& errorText);

// Rewrites a stored remind's definition and receivers in one transaction,
// keeping its firings and messages. `previousType` is the stored type.
bool UpdateRemind(HostDatabase& database, CNorvRemind& remind, short previousType,
                  CString& errorText);

// The identifiers of the stored reminds, oldest first.
bool ListRemindIDs(HostDatabase& database, bool activeOnly, std::vector<CGuid>& ids,
                   CString* errorText);

// The remind a user named: a whole identifier in either form, or a prefix
// of exactly one. False with the reason, worded for the user.
bool FindRemindID(HostDatabase& database, const std::string& text, CGuid& id, CString& reason);

// 1 loaded, 0 no such remind, -1 failure with the library's reason.
int LoadRemind(HostDatabase& database, const CGuid& id, CNorvBasePtr<CNorvRemind>& remind,
               CString& errorText);

// The remind with its receivers, repeat row, instant messages and inbox
// rows, all or nothing.
bool DeleteRemind(HostDatabase& database, const CGuid& id, CString& errorText);

// Sets the state; leaving the active state also withdraws the instant
// messages still waiting (status 3, expired before sending).
bool SetRemindState(HostDatabase& database, const CGuid& id, short state, CString& errorText);

}  // namespace norvhost

#endif  // NORV_HOST_STORE_REMINDSTORE_H_
