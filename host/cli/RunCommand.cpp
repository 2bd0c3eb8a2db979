// run: the delivery daemon.
#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <system_error>

#include "core/im/NorvIMError.h"
#include "host/cli/HostCommands.h"
#include "host/cli/HostText.h"
#include "host/daemon/Daemon.h"
#include "host/daemon/NetworkProbe.h"
#include "host/store/HostDatabase.h"

namespace norvhost {

namespace {

std::chrono::seconds ParseSeconds(const Invocation& invocation, const std::string& name,
                                  long fallback) {
  const std::string text = invocation.Get(name, std::to_string(fallback));
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value <= 0 || value > 86400 * 366) {
    throw UsageError("--" + name + " needs a number of seconds above 0, not '" + text + "'");
  }
  return std::chrono::seconds(value);
}

// The outbox's folder must exist before the first send. Only the data
// folder is made here: a folder the user named but lacks is a mistake.
bool PrepareOutbox(const IMSettings& im, const std::string& dataFolder) {
  std::string reason;
  if (im.isDefault && !CreatePrivateFolder(dataFolder, reason)) {
    PrintError(reason);
    return false;
  }
  const std::filesystem::path folder = std::filesystem::path(im.server.substr(5)).parent_path();
  std::error_code failed;
  if (folder.empty() || std::filesystem::is_directory(folder, failed)) return true;
  PrintError("the folder of the outbox " + folder.string() + " does not exist; create it first");
  return false;
}

// Two daemons on one database would both send every waiting message, so
// a second one on this machine is refused. The lock goes with the process.
bool LockDatabase(const std::string& dataFolder, const DatabaseSettings& database) {
  const std::string path = dataFolder + "/run-" +
                           std::to_string(std::hash<std::string>()(database.connection)) + ".lock";
  const int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (descriptor >= 0 && flock(descriptor, LOCK_EX | LOCK_NB) == 0) return true;
  PrintError(descriptor < 0 ? "cannot create " + path + ": " + std::strerror(errno)
                            : "another norvremind run is using " + database.display);
  return false;
}

}  // namespace

int RunDaemon(const Invocation& invocation) {
  const DatabaseSettings databaseSettings = ResolveDatabase(invocation);
  const std::string dataFolder =
      databaseSettings.dataFolder.empty() ? DataFolder() : databaseSettings.dataFolder;
  DaemonOptions options;
  options.im = ResolveIM(invocation, dataFolder);
  options.logFolder = dataFolder;
  options.poll = ParseSeconds(invocation, "poll", 5);
  options.catchUp = ParseSeconds(invocation, "catch-up", 3600);
  options.retryBase = ParseSeconds(invocation, "retry-after", 2);
  options.lookAhead = ParseSeconds(invocation, "look-ahead", 3600);
  // The built-in XMPP transport takes its timeout from the environment.
  setenv(kNorvIMTimeoutVariable,
         std::to_string(ParseSeconds(invocation, "timeout", 5).count()).c_str(), 1);
  options.untilIdle = invocation.Has("until-idle");
  if (invocation.Has("exit-after")) options.exitAfter = ParseSeconds(invocation, "exit-after", 0);

  if (options.im.isFile) {
    if (!PrepareOutbox(options.im, dataFolder)) return kExitUnavailable;
  } else if (std::string reason; !CanConnect(options.im.server, options.im.port, reason)) {
    PrintError("cannot reach the XMPP server " + options.im.server + ":" +
               std::to_string(options.im.port) + ": " + reason);
    return kExitUnavailable;
  }
  if (std::string reason; !CreatePrivateFolder(dataFolder, reason)) {
    PrintError(reason);
    return kExitUnavailable;
  }
  if (!LockDatabase(dataFolder, databaseSettings)) return kExitFailure;

  HostDatabase database(databaseSettings);
  if (int code = database.Open(); code != kExitOk) return code;
  Daemon daemon(database, std::move(options));
  return daemon.Run();
}

}  // namespace norvhost
