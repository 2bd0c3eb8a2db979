// norvremind: the reference host of NorvRemindCore.
#include <sys/stat.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "host/cli/HostClock.h"
#include "host/cli/HostCommands.h"
#include "host/cli/HostOptions.h"
#include "host/cli/HostText.h"

int main(int argc, char** argv) {
  using namespace norvhost;
  // Everything this program creates holds reminds or their outcomes: the
  // owner's alone, whatever umask it was started with.
  umask(077);
  const std::vector<std::string> words(argv + 1, argv + argc);
  Invocation invocation;
  try {
    invocation = ParseCommandLine(words, Commands());
  } catch (const UsageError& error) {
    PrintError(error.what());
    return kExitUsage;
  }
  if (invocation.wantsVersion) {
    PrintLine(std::string("norvremind ") + NORV_VERSION);
    return kExitOk;
  }
  if (invocation.wantsHelp) {
    std::cout << (invocation.command ? CommandHelp(*invocation.command)
                                     : GroupHelp(invocation.group, Commands()));
    return kExitOk;
  }
  if (std::string error; !StartClock(error)) {
    PrintError(error);
    return kExitUsage;
  }
  try {
    return invocation.command->handler(invocation);
  } catch (const UsageError& error) {
    PrintError(error.what());
    return kExitUsage;
  } catch (const std::exception& error) {
    PrintError(std::string("unexpected failure: ") + error.what());
    return kExitFailure;
  }
}
