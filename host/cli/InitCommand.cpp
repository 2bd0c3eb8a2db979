#include "host/cli/HostCommands.h"
#include "host/cli/HostText.h"
#include "host/store/HostDatabase.h"

namespace norvhost {

int RunInit(const Invocation& invocation) {
  HostDatabase database(ResolveDatabase(invocation));
  bool created = false;
  CString reason;
  const OpenResult result = database.OpenForInit(created, reason);
  if (int code = OpenExitCode(database, result, reason); code != kExitOk) return code;
  PrintLine((created ? "created the tables in " : "the tables already exist in ") +
            database.settings().display);
  return kExitOk;
}

}  // namespace norvhost
