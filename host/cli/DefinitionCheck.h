#ifndef NORV_HOST_CLI_DEFINITIONCHECK_H_
#define NORV_HOST_CLI_DEFINITIONCHECK_H_

#include <memory>
#include <optional>
#include <string>

#include "core/base/COleDateTime.h"

namespace norvhost {

// True when the locale asks for Chinese: the first of LC_ALL, LC_MESSAGES
// and LANG that is set starts with "zh".
bool WantsChinese();
// `english`, or `chinese` where the locale asks for it.
std::string Localized(const char* english, const char* chinese);

// What a definition carries that the library's parser leaves out but its
// own rendering writes, so that a rendered remind reads back the same.
struct DefinitionExtras {
  std::string id;  // as written; empty when none is given
  std::optional<short> state;
  // The repeat value under "RagularValue", the rendering's spelling, when
  // "RegularValue" is absent.
  std::optional<short> regularValue;
  std::optional<int> count;  // firings so far
};

// One definition's text with the positions of its elements, checked for
// what the library would accept but can never fire, is out of range, or
// would be stored wrapped to 16 bits. Single-threaded; one per definition.
class DefinitionCheck {
 public:
  DefinitionCheck();
  ~DefinitionCheck();
  DefinitionCheck(const DefinitionCheck&) = delete;
  DefinitionCheck& operator=(const DefinitionCheck&) = delete;

  // False when the text is not well-formed XML, with
  // "<source>:<line>:<column>: ..." in `error`. `source` names the text in
  // every message.
  bool Parse(const std::string& utf8, const std::string& source, std::string& error);

  // The first rule the parsed definition breaks, as
  // "<source>:<line>: <Attribute>="<value>": <why>"; false when it breaks
  // none. A one-off time at or before `now` has passed, unless the
  // definition names its identifier (a stored remind's history).
  bool FindFault(const COleDateTime& now, std::string& fault) const;

  // Valid after a successful Parse.
  DefinitionExtras Extras() const;

 private:
  struct Parsed;
  std::unique_ptr<Parsed> m_parsed;
  std::string m_source;
};

}  // namespace norvhost

#endif  // NORV_HOST_CLI_DEFINITIONCHECK_H_
