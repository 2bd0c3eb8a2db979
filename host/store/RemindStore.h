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

// A new remind from a definition text: a fresh identifier, the creator, and
// the library's parser, checked as the loaders will check it. False with the
// reason (the library's text where the library found the fault).
bool ParseDefinition(const std::string& utf8, const Creator& creator,
                     CNorvBasePtr<CNorvRemind>& remind, CString& errorText);

// Stores parsed reminds with their receivers and repeat rules in one
// transaction, all or nothing.
bool StoreReminds(HostDatabase& database, const std::vector<CNorvRemind*>& reminds,
                  CString& errorText);
bool StoreRemind(HostDatabase& database, CNorvRemind* remind, CString& errorText);

// The identifiers of the stored reminds, oldest first.
bool ListRemindIDs(HostDatabase& database, bool activeOnly, std::vector<CGuid>& ids,
                   CString* errorText);

// Every stored remind (the active ones only when `activeOnly`), oldest
// first, read in bulk. A remind that cannot be loaded is reported and left
// out, and makes the result kExitFailure.
int LoadReminds(HostDatabase& database, bool activeOnly,
                std::vector<CNorvBasePtr<CNorvRemind>>& reminds);

// The remind a user named: a whole identifier in either form, or a prefix
// of exactly one. Prints the reason and returns an exit code on failure.
int ResolveRemindID(HostDatabase& database, const std::string& text, CGuid& id);

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
