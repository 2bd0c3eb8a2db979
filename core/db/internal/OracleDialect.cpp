#include "core/db/internal/OracleDialect.h"

#include <cwctype>

namespace oracle_dialect {

namespace {

size_t SkipBlanks(const std::wstring& text, size_t pos) {
  while (pos < text.size() && std::iswspace(static_cast<wint_t>(text[pos]))) ++pos;
  return pos;
}

bool IsWordChar(wchar_t ch) { return std::iswalnum(static_cast<wint_t>(ch)) || ch == L'_'; }

// True when the whole word `upperWord` starts at `pos`, in any case.
bool WordAt(const std::wstring& text, size_t pos, const std::wstring& upperWord) {
  if (text.size() - pos < upperWord.size()) return false;
  for (size_t i = 0; i < upperWord.size(); ++i) {
    if (std::towupper(static_cast<wint_t>(text[pos + i])) != static_cast<wint_t>(upperWord[i])) {
      return false;
    }
  }
  const size_t end = pos + upperWord.size();
  return end == text.size() || !IsWordChar(text[end]);
}

}  // namespace

std::string Translate(const CString& statement) {
  const std::wstring& text = statement.str();
  const size_t verb = SkipBlanks(text, 0);
  if (!WordAt(text, verb, L"DELETE")) return statement.ToUtf8();
  const size_t afterVerb = verb + 6;
  const size_t table = SkipBlanks(text, afterVerb);
  if (table == afterVerb || table == text.size() || WordAt(text, table, L"FROM")) {
    return statement.ToUtf8();
  }
  return CString(text.substr(0, table) + L"FROM " + text.substr(table)).ToUtf8();
}

}  // namespace oracle_dialect
