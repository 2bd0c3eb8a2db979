#ifndef NORV_HOST_CLI_HOSTCOMMANDS_H_
#define NORV_HOST_CLI_HOSTCOMMANDS_H_

#include <string>
#include <vector>

#include "core/base/CGuid.h"
#include "core/base/CNorvBasePtr.h"
#include "core/base/COleDateTime.h"
#include "core/base/CString.h"
#include "host/cli/HostOptions.h"
#include "host/store/HostDatabase.h"
#include "remind/CNorvRemind.h"

namespace norvhost {

class HostDatabase;

// Every command of the program, with its help text.
const std::vector<CommandSpec>& Commands();

// How failures travel. A command function (RunX, and the command bodies it
// hands its work to) prints what went wrong and returns an exit code:
// kExitOk, kExitFailure, kExitUsage or kExitUnavailable. Everything below
// it returns bool (or a result enum) and fills a `CString& reason`,
// printing no error. UsageError is thrown only while reading the command
// line and its arguments; main turns it into kExitUsage.

int RunInit(const Invocation& invocation);

int RunAdd(const Invocation& invocation);
int RunImport(const Invocation& invocation);
int RunExport(const Invocation& invocation);
int RunEdit(const Invocation& invocation);
int RunList(const Invocation& invocation);
int RunShow(const Invocation& invocation);
int RunState(const Invocation& invocation);
int RunDelete(const Invocation& invocation);

int RunStyleAdd(const Invocation& invocation);
int RunStyleList(const Invocation& invocation);
int RunStyleShow(const Invocation& invocation);
int RunStyleRename(const Invocation& invocation);
int RunStyleReorder(const Invocation& invocation);
int RunStyleDefault(const Invocation& invocation);
int RunStyleDelete(const Invocation& invocation);

int RunDue(const Invocation& invocation);
int RunNext(const Invocation& invocation);
int RunHistory(const Invocation& invocation);
int RunInbox(const Invocation& invocation);
int RunRead(const Invocation& invocation);

int RunDaemon(const Invocation& invocation);
int RunStatus(const Invocation& invocation);

// What several commands share.
// The text of the FILE argument, or of standard input without one or for
// "-"; `source` names it for messages. False with the reason. On a
// terminal it tells the user how to end the input.
bool ReadInputText(const Invocation& invocation, std::string& text, std::string& source,
                   CString& reason);
// Prints "<what>: <reason>" (or the reason alone) as an error and returns
// kExitFailure.
int Failure(const std::string& what, const CString& reason);
int Failure(const CString& reason);
// Prints the reason as an error and returns kExitUnavailable: something the
// command needs outside the program is missing or out of reach.
int Unavailable(const CString& reason);
// Prints what opening `database` reported, and `reason` unless `result` is
// kOpened; the exit code that goes with `result`.
int OpenExitCode(const HostDatabase& database, OpenResult result, const CString& reason);
// Opens `database` for a command; kExitOk, or the exit code with the reason printed.
int OpenDatabase(HostDatabase& database);
// The day YYYY-MM-DD the option `name` gives, at 00:00; throws UsageError.
COleDateTime ParseDayOption(const Invocation& invocation, const std::string& name);
// Throws UsageError when both --xml and --json are given.
void RequireOneFormat(const Invocation& invocation);
// The remind the user named (see FindRemindID); an exit code.
int ResolveRemindID(HostDatabase& database, const std::string& text, CGuid& id);
// Every stored remind (the active ones only when `activeOnly`), oldest
// first, read in bulk. A remind that cannot be loaded is reported and left
// out, and makes the result kExitFailure.
int LoadReminds(HostDatabase& database, bool activeOnly,
                std::vector<CNorvBasePtr<CNorvRemind>>& reminds);

}  // namespace norvhost

#endif  // NORV_HOST_CLI_HOSTCOMMANDS_H_
