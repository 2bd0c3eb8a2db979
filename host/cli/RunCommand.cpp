// run: the delivery daemon.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

constexpr long kLongestSeconds = 86400 * 366;
// Instant messages an hour late are deleted at start and at midnight, so a
// longer catch-up would retry what is no longer there.
constexpr long kLongestCatchUp = 3600;

std::chrono::seconds ParseSeconds(const Invocation& invocation, const std::string& name,
                                  long fallback, long most = kLongestSeconds) {
  const std::string text = invocation.Get(name, std::to_string(fallback));
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value <= 0) {
    throw UsageError("--" + name + " needs a number of seconds above 0, not '" + text + "'");
  }
  if (value > most) {
    throw UsageError("--" + name + " is at most " + std::to_string(most) + " seconds, not '" +
                     text + "'");
  }
  return std::chrono::seconds(value);
}

// The outbox's folder must exist before the first send. Only the data
// folder is made here: a folder the user named but lacks is a mistake.
bool PrepareOutbox(const IMSettings& im, const std::string& dataFolder, CString& reason) {
  if (std::string failure; im.isDefault && !CreatePrivateFolder(dataFolder, failure)) {
    reason = Widen(failure);
    return false;
  }
  const std::filesystem::path folder = std::filesystem::path(im.server.substr(5)).parent_path();
  std::error_code failed;
  if (folder.empty() || std::filesystem::is_directory(folder, failed)) return true;
  reason =
      Widen("the folder of the outbox " + folder.string() + " does not exist; create it first");
  return false;
}

// Two daemons on one database would both send every waiting message, so a
// second one on this machine is refused. A SQLite database is known by its
// file's identity (device and inode), so no other spelling of its path gets
// past; a server database by its connection, in the data folder. The lock goes with the process
// and its file is removed on exit.
class RunLock {
 public:
  RunLock() = default;
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;
  ~RunLock() {
    if (m_descriptor < 0) return;
    // Still held here, so a daemon starting now waits for the new file.
    unlink(m_path.c_str());
    close(m_descriptor);
  }

  bool Acquire(const std::string& dataFolder, const DatabaseSettings& database, CString& reason) {
    m_path = PathFor(dataFolder, database);
    for (;;) {
      const int descriptor = open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
      if (descriptor < 0) {
        reason = Widen("cannot create " + m_path + ": " + std::strerror(errno));
        return false;
      }
      if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        close(descriptor);
        reason = Widen("another norvremind run is using " + database.display);
        return false;
      }
      if (StillNamed(descriptor)) {
        m_descriptor = descriptor;
        return true;
      }
      // The holder removed the file between our open and our lock.
      close(descriptor);
    }
  }

 private:
  static std::string PathFor(const std::string& dataFolder, const DatabaseSettings& database) {
    struct stat file {};
    if (database.isSqlite && stat(database.sqlitePath.c_str(), &file) == 0) {
      // Beside the database, so daemons with other data folders see it too.
      const std::filesystem::path folder = std::filesystem::path(database.sqlitePath).parent_path();
      return (folder.empty() ? std::string(".") : folder.string()) + "/.norvremind-run-" +
             std::to_string(file.st_dev) + "-" + std::to_string(file.st_ino) + ".lock";
    }
    return dataFolder + "/run-" + std::to_string(std::hash<std::string>()(database.connection)) +
           ".lock";
  }

  bool StillNamed(int descriptor) const {
    struct stat held {};
    struct stat named {};
    return fstat(descriptor, &held) == 0 && stat(m_path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
  }

  std::string m_path;
  int m_descriptor = -1;
};

}  // namespace

int RunDaemon(const Invocation& invocation) {
  const DatabaseSettings databaseSettings = ResolveDatabase(invocation);
  const std::string dataFolder =
      databaseSettings.dataFolder.empty() ? DataFolder() : databaseSettings.dataFolder;
  DaemonOptions options;
  options.im = ResolveIM(invocation, dataFolder);
  options.logFolder = dataFolder;
  options.poll = ParseSeconds(invocation, "poll", 5);
  options.catchUp = ParseSeconds(invocation, "catch-up", kLongestCatchUp, kLongestCatchUp);
  options.retryBase = ParseSeconds(invocation, "retry-after", 2);
  options.lookAhead = ParseSeconds(invocation, "look-ahead", 3600);
  // The built-in XMPP transport takes its timeout from the environment.
  setenv(kNorvIMTimeoutVariable,
         std::to_string(ParseSeconds(invocation, "timeout", 5).count()).c_str(), 1);
  options.lease = ParseSeconds(invocation, "lease", 30);
  options.untilIdle = invocation.Has("until-idle");
  if (invocation.Has("exit-after")) options.exitAfter = ParseSeconds(invocation, "exit-after", 0);

  CString reason;
  if (options.im.isFile) {
    if (!PrepareOutbox(options.im, dataFolder, reason)) return Unavailable(reason);
  } else if (std::string failure; !CanConnect(options.im.server, options.im.port, failure)) {
    return Unavailable(Widen("cannot reach the XMPP server " + options.im.server + ":" +
                             std::to_string(options.im.port) + ": " + failure));
  }
  if (std::string failure; !CreatePrivateFolder(dataFolder, failure)) {
    return Unavailable(Widen(failure));
  }
  HostDatabase database(databaseSettings);
  if (int code = OpenDatabase(database); code != kExitOk) return code;
  RunLock lock;
  if (!lock.Acquire(dataFolder, databaseSettings, reason)) return Failure(reason);
  Daemon daemon(database, std::move(options));
  const int code = daemon.Run(reason);
  if (code != kExitOk) PrintError(Narrow(reason));
  return code;
}

}  // namespace norvhost
