#include "host/HostOptions.h"

#include <cctype>
#include <sstream>

namespace norvhost {

namespace {

const OptionSpec* FindOption(const std::vector<OptionSpec>& options, const std::string& name) {
  for (const OptionSpec& option : options) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

const OptionSpec* FindOption(const CommandSpec* command, const std::string& name) {
  if (const OptionSpec* common = FindOption(CommonOptions(), name)) return common;
  return command != nullptr ? FindOption(command->options, name) : nullptr;
}

// The command named by the leading words: "style add" takes two words.
const CommandSpec* FindCommand(const std::vector<std::string>& words,
                               const std::vector<CommandSpec>& commands, size_t& used) {
  const CommandSpec* best = nullptr;
  for (const CommandSpec& command : commands) {
    std::istringstream parts(command.name);
    std::string part;
    size_t count = 0;
    bool matches = true;
    while (parts >> part) {
      if (count >= words.size() || words[count] != part) {
        matches = false;
        break;
      }
      ++count;
    }
    if (matches && (best == nullptr || count > used)) {
      best = &command;
      used = count;
    }
  }
  return best;
}

std::string UnknownCommandMessage(const std::vector<std::string>& words,
                                  const std::vector<CommandSpec>& commands) {
  std::string group;
  for (const CommandSpec& command : commands) {
    if (command.name.rfind(words[0] + " ", 0) == 0) group = words[0];
  }
  if (!group.empty()) {
    return words.size() < 2 ? "'" + group + "' needs a subcommand; see norvremind " + group +
                                  " --help"
                            : "unknown command '" + group + " " + words[1] +
                                  "'; see norvremind --help";
  }
  return "unknown command '" + words[0] + "'; see norvremind --help";
}

void AppendOptions(std::ostringstream& out, const std::vector<OptionSpec>& options) {
  for (const OptionSpec& option : options) {
    std::string left = "  --" + option.name;
    if (!option.valueName.empty()) left += " " + option.valueName;
    out << left;
    out << std::string(left.size() < 28 ? 28 - left.size() : 1, ' ') << option.help << "\n";
  }
}

}  // namespace

std::string Invocation::Get(const std::string& name, const std::string& fallback) const {
  auto found = options.find(name);
  return found != options.end() ? found->second : fallback;
}

const std::vector<OptionSpec>& CommonOptions() {
  static const std::vector<OptionSpec> options = {
      {"db", "CONNECTION",
       "database: a SQLite file, sqlite:PATH or postgresql://... (env NORVREMIND_DB)"},
      {"db-kind", "N", "how times are written into statements: 1 to_date(...), else quoted (1)"},
      {"help", "", "show this help"},
  };
  return options;
}

Invocation ParseCommandLine(const std::vector<std::string>& words,
                            const std::vector<CommandSpec>& commands) {
  // An option takes a value under every command or under none, so words can
  // be split before the command is known.
  std::map<std::string, bool> takesValue;
  for (const OptionSpec& option : CommonOptions()) takesValue[option.name] = !option.valueName.empty();
  for (const CommandSpec& command : commands) {
    for (const OptionSpec& option : command.options) {
      takesValue[option.name] = !option.valueName.empty();
    }
  }

  Invocation invocation;
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> given;
  bool optionsEnded = false;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    const bool negativeNumber = word.size() >= 2 && word[0] == '-' && std::isdigit(
                                    static_cast<unsigned char>(word[1]));
    if (optionsEnded || word.size() < 2 || word[0] != '-' || negativeNumber) {
      positional.push_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    if (word == "-h" || word == "--help") {
      invocation.wantsHelp = true;
      continue;
    }
    if (word == "--version") {
      invocation.wantsVersion = true;
      continue;
    }
    if (word.rfind("--", 0) != 0) throw UsageError("unknown option '" + word + "'");
    const size_t equals = word.find('=');
    const std::string name = word.substr(2, equals == std::string::npos ? std::string::npos
                                                                        : equals - 2);
    auto known = takesValue.find(name);
    if (known == takesValue.end()) {
      throw UsageError("unknown option '--" + name + "'; see norvremind --help");
    }
    if (!known->second) {
      if (equals != std::string::npos) throw UsageError("option '--" + name + "' takes no value");
      given.emplace_back(name, "1");
    } else if (equals != std::string::npos) {
      given.emplace_back(name, word.substr(equals + 1));
    } else if (i + 1 < words.size()) {
      given.emplace_back(name, words[++i]);
    } else {
      given.emplace_back(name, "");
    }
  }

  size_t used = 0;
  if (!positional.empty()) {
    invocation.command = FindCommand(positional, commands, used);
    // "style --help" falls back to the program's help, which lists the group.
    if (invocation.command == nullptr && !invocation.wantsHelp) {
      throw UsageError(UnknownCommandMessage(positional, commands));
    }
  }
  if (invocation.wantsHelp || invocation.wantsVersion) return invocation;
  if (invocation.command == nullptr) throw UsageError("no command given; see norvremind --help");
  const CommandSpec& command = *invocation.command;

  for (const auto& [name, value] : given) {
    const OptionSpec* option = FindOption(&command, name);
    if (option == nullptr) {
      throw UsageError("option '--" + name + "' does not apply to '" + command.name +
                       "'; see norvremind " + command.name + " --help");
    }
    if (!option->valueName.empty() && value.empty()) {
      throw UsageError("option '--" + name + "' needs a value (" + option->valueName + ")");
    }
    invocation.options[name] = value;
  }
  invocation.args.assign(positional.begin() + static_cast<long>(used), positional.end());
  if (invocation.args.size() < command.minArgs || invocation.args.size() > command.maxArgs) {
    throw UsageError("usage: norvremind " + command.name +
                     (command.arguments.empty() ? "" : " " + command.arguments) +
                     "; see norvremind " + command.name + " --help");
  }
  return invocation;
}

std::string ProgramHelp(const std::vector<CommandSpec>& commands) {
  std::ostringstream out;
  out << "Usage: norvremind [options] COMMAND [arguments]\n\n"
         "Stores reminds, shows when they fire and delivers them as instant messages.\n"
         "Without --db the reminds live in a SQLite file in the user's data folder\n"
         "($XDG_DATA_HOME/norvremind, or ~/.local/share/norvremind), and `run` delivers\n"
         "to the file outbox.jsonl there.\n\nCommands:\n";
  for (const CommandSpec& command : commands) {
    std::string left = "  " + command.name;
    if (!command.arguments.empty()) left += " " + command.arguments;
    out << left << std::string(left.size() < 30 ? 30 - left.size() : 1, ' ') << command.summary
        << "\n";
  }
  out << "\nOptions for every command:\n";
  AppendOptions(out, CommonOptions());
  out << "\nEnvironment:\n"
         "  NORVREMIND_DB               database, as --db\n"
         "  NORVREMIND_IM               IM server for run, as --im\n"
         "\nExit codes:\n"
         "  0  success\n"
         "  1  the operation failed (bad definition, unknown remind, failed statement)\n"
         "  2  bad command line\n"
         "  3  the database or the IM server cannot be reached\n"
         "\nnorvremind COMMAND --help describes one command; --version prints the version.\n";
  return out.str();
}

std::string CommandHelp(const CommandSpec& command) {
  std::ostringstream out;
  out << "Usage: norvremind " << command.name;
  if (!command.options.empty()) out << " [options]";
  if (!command.arguments.empty()) out << " " << command.arguments;
  out << "\n\n" << command.summary << "\n";
  if (!command.details.empty()) out << "\n" << command.details << "\n";
  if (!command.options.empty()) {
    out << "\nOptions:\n";
    AppendOptions(out, command.options);
  }
  out << "\nOptions for every command:\n";
  AppendOptions(out, CommonOptions());
  out << "\nExit codes: 0 success, 1 failure, 2 bad command line, 3 database or IM server "
         "unreachable.\n";
  return out.str();
}

}  // namespace norvhost
