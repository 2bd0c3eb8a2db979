#include "core/SqliteDialect.h"

#include <cmath>
#include <cwctype>

#include "core/COleDateTime.h"

namespace sqlite_dialect {

namespace {

size_t SkipBlanks(const std::wstring& text, size_t pos) {
  while (pos < text.size() && std::iswspace(static_cast<wint_t>(text[pos]))) ++pos;
  return pos;
}

size_t SkipWord(const std::wstring& text, size_t pos) {
  while (pos < text.size() && !std::iswspace(static_cast<wint_t>(text[pos]))) ++pos;
  return pos;
}

bool WordIs(const std::wstring& text, size_t begin, size_t end, const wchar_t* word) {
  return CString(text.substr(begin, end - begin)).CompareNoCase(word) == 0;
}

// Seconds since the date base, or nothing for an unreadable text.
std::optional<long long> ReadSeconds(std::string_view text) {
  COleDateTime value;
  if (!value.ParseDateTime(CString::FromUtf8(text))) return std::nullopt;
  return std::llround(value.m_dt * 86400.0);
}

}  // namespace

std::string Translate(const CString& statement) {
  std::wstring text = statement.str();
  const size_t verbBegin = SkipBlanks(text, 0);
  const size_t verbEnd = SkipWord(text, verbBegin);
  if (WordIs(text, verbBegin, verbEnd, L"DELETE")) {
    const size_t tableBegin = SkipBlanks(text, verbEnd);
    const size_t tableEnd = SkipWord(text, tableBegin);
    if (tableBegin < text.size() && !WordIs(text, tableBegin, tableEnd, L"FROM")) {
      text.insert(tableBegin, L"FROM ");
    }
  }
  return CString(std::move(text)).ToUtf8();
}

int CompareDateTimes(std::string_view left, std::string_view right) {
  const std::optional<long long> leftTime = ReadSeconds(left);
  const std::optional<long long> rightTime = ReadSeconds(right);
  if (leftTime && rightTime) {
    return *leftTime < *rightTime ? -1 : (*leftTime > *rightTime ? 1 : 0);
  }
  if (leftTime) return -1;
  if (rightTime) return 1;
  return left.compare(right);
}

std::optional<std::string> ToDate(std::string_view text, std::string_view pattern) {
  const bool dateOnly = CString::FromUtf8(pattern).MakeLower().Find(L"hh") < 0;
  COleDateTime value;
  if (!value.ParseDateTime(CString::FromUtf8(text), dateOnly ? VAR_DATEVALUEONLY : 0u)) {
    return std::nullopt;
  }
  return value.Format(L"%Y-%m-%d %H:%M:%S").ToUtf8();
}

}  // namespace sqlite_dialect
