#include "core/base/XmlTextGuard.h"

#include <cwctype>
#include <string>

namespace norvxml {

namespace {

// Whether the character reference whose digits start at `pos` (after "&#")
// names NUL: zeros up to the first character that is no digit. The parser
// reads references without their ";" too.
bool IsNulReference(std::wstring_view text, size_t pos) {
  const bool hex = pos < text.size() && (text[pos] == L'x' || text[pos] == L'X');
  if (hex) ++pos;
  const size_t first = pos;
  while (pos < text.size() && text[pos] == L'0') ++pos;
  if (pos == first) return false;
  return pos == text.size() || !(hex ? std::iswxdigit(text[pos]) : std::iswdigit(text[pos]));
}

bool HasNul(std::wstring_view text) {
  if (text.find(L'\0') != std::wstring_view::npos) return true;
  for (size_t at = text.find(L"&#"); at != std::wstring_view::npos; at = text.find(L"&#", at + 2)) {
    if (IsNulReference(text, at + 2)) return true;
  }
  return false;
}

// The encoding named in the declaration, lower case; empty without one.
std::wstring DeclaredEncoding(std::wstring_view text) {
  if (!text.empty() && text.front() == L'\xFEFF') text.remove_prefix(1);
  if (text.substr(0, 5) != L"<?xml") return {};
  const std::wstring_view declaration = text.substr(0, text.find(L"?>"));
  size_t at = declaration.find(L"encoding");
  if (at == std::wstring_view::npos) return {};
  at = declaration.find_first_of(L"'\"", at);
  if (at == std::wstring_view::npos) return L"?";
  const size_t end = declaration.find(declaration[at], at + 1);
  std::wstring name(declaration.substr(at + 1, end == std::wstring_view::npos ? 0 : end - at - 1));
  for (wchar_t& ch : name) ch = static_cast<wchar_t>(std::towlower(ch));
  return name;
}

bool IsKnownEncoding(const std::wstring& name) {
  for (const wchar_t* known : {L"", L"utf-8", L"utf8", L"utf-16", L"us-ascii", L"ascii",
                               L"iso-8859-1", L"iso8859-1", L"latin1", L"latin-1"}) {
    if (name == known) return true;
  }
  return false;
}

}  // namespace

bool IsStorableXmlText(std::wstring_view text) {
  return !HasNul(text) && IsKnownEncoding(DeclaredEncoding(text));
}

}  // namespace norvxml
