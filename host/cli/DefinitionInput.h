#ifndef NORV_HOST_CLI_DEFINITIONINPUT_H_
#define NORV_HOST_CLI_DEFINITIONINPUT_H_

#include <cstddef>
#include <string>

namespace norvhost {

// How large a definition may be unless --max-size says otherwise.
constexpr size_t kDefaultMaxDefinitionBytes = 1024 * 1024;

struct DefinitionLimits {
  size_t maxBytes = kDefaultMaxDefinitionBytes;
  // import: a FIFO or device among the files would block or never end.
  bool regularFileOnly = false;
};

// Reads one definition from `path` ("-": standard input) and returns it as
// UTF-8: a declared ISO-8859-1 text is converted, any encoding other than
// that, UTF-8 and US-ASCII is refused. Larger texts are refused before they
// are parsed, having read at most one byte past the limit. False with the
// reason in `error`.
bool ReadDefinition(const std::string& path, const DefinitionLimits& limits, std::string& utf8,
                    std::string& error);

struct Invocation;

// The limits the command line sets (--max-size BYTES); throws UsageError
// when its value is not a positive number of bytes.
DefinitionLimits LimitsOf(const Invocation& invocation, bool regularFileOnly);

}  // namespace norvhost

#endif  // NORV_HOST_CLI_DEFINITIONINPUT_H_
