#include "host/cli/HostCommands.h"
#include "host/cli/HostText.h"
#include "host/store/HostDatabase.h"

namespace norvhost {

int RunInit(const Invocation& invocation) {
  HostDatabase database(ResolveDatabase(invocation));
  bool created = false;
  if (int code = database.OpenForInit(created); code != kExitOk) return code;
  PrintLine((created ? "created the tables in " : "the tables already exist in ") +
            database.settings().display);
  return kExitOk;
}

}  // namespace norvhost
