#ifndef NORV_HOST_CLI_HOSTOPTIONS_H_
#define NORV_HOST_CLI_HOSTOPTIONS_H_

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace norvhost {

// What the program returns, for scripts to test.
enum ExitCode {
  kExitOk = 0,
  kExitFailure = 1,      // the operation failed (bad definition, unknown remind, ...)
  kExitUsage = 2,        // bad command line
  kExitUnavailable = 3,  // the database or the IM server cannot be reached
};

struct OptionSpec {
  std::string name;       // without the leading "--"
  std::string valueName;  // empty for a flag
  std::string help;
  // Accepted but left out of the help pages: for tests and migrations only.
  bool hidden = false;
};

struct Invocation;
using CommandHandler = int (*)(const Invocation&);

struct CommandSpec {
  std::string name;       // "add", "style add"
  std::string arguments;  // "[FILE|-]"
  std::string summary;
  std::string details;
  std::vector<OptionSpec> options;
  size_t minArgs = 0;
  size_t maxArgs = 0;
  CommandHandler handler = nullptr;
};

// One parsed command line.
struct Invocation {
  const CommandSpec* command = nullptr;
  std::map<std::string, std::string> options;
  std::vector<std::string> args;
  bool wantsHelp = false;
  bool wantsVersion = false;
  // With --help and no whole command: the group named ("style"), if any.
  std::string group;

  bool Has(const std::string& name) const { return options.count(name) != 0; }
  std::string Get(const std::string& name, const std::string& fallback = "") const;
};

// A mistake on the command line; the message says what to fix.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Options every command accepts.
const std::vector<OptionSpec>& CommonOptions();

// Options may stand before or after the command words, as --name value or
// --name=value; "--" ends them. Throws UsageError.
Invocation ParseCommandLine(const std::vector<std::string>& words,
                            const std::vector<CommandSpec>& commands);

std::string ProgramHelp(const std::vector<CommandSpec>& commands);
std::string CommandHelp(const CommandSpec& command);
// The commands whose names start with `group`, such as "style".
std::string GroupHelp(const std::string& group, const std::vector<CommandSpec>& commands);

}  // namespace norvhost

#endif  // NORV_HOST_CLI_HOSTOPTIONS_H_
