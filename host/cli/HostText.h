#ifndef NORV_HOST_CLI_HOSTTEXT_H_
#define NORV_HOST_CLI_HOSTTEXT_H_

#include <string>
#include <vector>

#include "core/base/CString.h"

namespace norvhost {

// Writes one line of UTF-8 to standard output.
void PrintLine(const CString& text);
void PrintLine(const std::string& text);
// "norvremind: <text>" on standard error.
void PrintError(const std::string& text);
void PrintWarning(const std::string& text);

std::string Narrow(const CString& text);
CString Widen(const std::string& text);

// The columns a text takes in a terminal: East Asian wide characters take
// two, combining marks none.
size_t DisplayWidth(const std::wstring& text);
// Cut to at most `width` columns, ending in an ellipsis when cut.
std::wstring FitWidth(const std::wstring& text, size_t width);

// "[ a, b ]" of JSON texts, "[]" for none.
CString JsonArray(const std::vector<CString>& items);
// The same of each item's JSON text as `render` writes it.
template <typename Items, typename Render>
CString JsonArray(Items& items, Render render) {
  std::vector<CString> texts;
  for (auto& item : items) texts.push_back(render(item));
  return JsonArray(texts);
}

// The short form of an identifier that tables show.
CString ShortID(const CString& id);

}  // namespace norvhost

#endif  // NORV_HOST_CLI_HOSTTEXT_H_
