#include "core/base/CString.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <stdexcept>

#include "core/base/internal/Utf8.h"

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

// Length of the UTF-8 sequence a lead byte starts, 0 for a bad lead byte.
int SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

char32_t DecodeSequence(std::string_view utf8, size_t pos, int length) {
  static const unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t code = static_cast<unsigned char>(utf8[pos]) & kLeadMask[length];
  for (int i = 1; i < length; ++i) code = (code << 6) | (utf8[pos + i] & 0x3F);
  return code;
}

bool IsValidScalar(char32_t code, int length) {
  static const char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  return code >= kMinimum[length] && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
}

// A plain "%d" in decimal digits: statements carry many, and swprintf cost
// more than the rest of composing them.
void AppendDecimal(std::wstring& out, long long value) {
  wchar_t digits[24];
  wchar_t* first = std::end(digits);
  unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
  do {
    *--first = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--first = L'-';
  out.append(first, std::end(digits));
}

void CheckInteger(const CStringFormatArg& arg) {
  if (arg.m_kind == CStringFormatArg::Kind::kText) {
    throw std::invalid_argument("CString::Format: integer directive given a text");
  }
}

void CheckText(const CStringFormatArg& arg) {
  if (arg.m_kind != CStringFormatArg::Kind::kText) {
    throw std::invalid_argument("CString::Format: %s given a number");
  }
}

// Renders one integer directive (flags and width already in `directive`, the
// conversion letter last) with swprintf.
void AppendInteger(std::wstring& out, std::wstring directive, const CStringFormatArg& arg) {
  CheckInteger(arg);
  wchar_t conversion = directive.back();
  directive.pop_back();
  while (!directive.empty() && (directive.back() == L'l' || directive.back() == L'h'))
    directive.pop_back();
  directive += L"ll";
  directive += conversion;
  wchar_t buffer[64];
  bool isSigned = conversion == L'd' || conversion == L'i';
  int written =
      isSigned ? std::swprintf(buffer, 64, directive.c_str(), static_cast<long long>(arg.m_signed))
               : std::swprintf(buffer, 64, directive.c_str(),
                               static_cast<unsigned long long>(arg.m_unsigned));
  if (written < 0) throw std::invalid_argument("CString::Format: bad integer directive");
  out.append(buffer, static_cast<size_t>(written));
}

void AppendText(std::wstring& out, const std::wstring& directive, const CStringFormatArg& arg) {
  CheckText(arg);
  // Only a width is honoured for texts: "%-10s" or "%10s".
  bool leftAlign = directive.size() > 1 && directive[1] == L'-';
  size_t width = std::wcstoul(directive.c_str() + (leftAlign ? 2 : 1), nullptr, 10);
  const size_t pad = arg.m_text.size() < width ? width - arg.m_text.size() : 0;
  if (!leftAlign) out.append(pad, L' ');
  out.append(arg.m_text);
  if (leftAlign) out.append(pad, L' ');
}

// Renders the directive that opens at `format[at]` (a '%') with the next
// argument, if it takes one; returns where the format goes on. Plain "%s"
// and "%d", nearly all that statements use, skip the general parsing.
size_t AppendDirective(std::wstring& out, std::wstring_view format, size_t at,
                       const CStringFormatArg* args, size_t count, size_t& next) {
  const wchar_t letter = at + 1 < format.size() ? format[at + 1] : L'\0';
  if (letter == L'%') {
    out += L'%';
    return at + 2;
  }
  if (letter == L's' || letter == L'd') {
    if (next >= count) throw std::invalid_argument("CString::Format: too few arguments");
    const CStringFormatArg& arg = args[next++];
    if (letter == L's') {
      CheckText(arg);
      out.append(arg.m_text);
    } else {
      CheckInteger(arg);
      AppendDecimal(out, static_cast<long long>(arg.m_signed));
    }
    return at + 2;
  }
  std::wstring directive(1, L'%');
  size_t q = at + 1;
  while (q < format.size() && std::wcschr(L"-+ #0123456789.lh", format[q]) != nullptr) {
    directive += format[q++];
  }
  if (q == format.size() || std::wcschr(L"sdiuxX", format[q]) == nullptr) {
    throw std::invalid_argument("CString::Format: unsupported directive");
  }
  if (next >= count) throw std::invalid_argument("CString::Format: too few arguments");
  directive += format[q];
  if (format[q] == L's') {
    AppendText(out, directive, args[next]);
  } else {
    AppendInteger(out, directive, args[next]);
  }
  ++next;
  return q + 1;
}

wchar_t LowerCase(wchar_t ch) {
  if (ch >= L'A' && ch <= L'Z') return static_cast<wchar_t>(ch - L'A' + L'a');
  if (ch < 0x80) return ch;
  return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch)));
}

}  // namespace

CString CString::FromUtf8(std::string_view utf8) {
  CString text;
  text.AssignUtf8(utf8);
  return text;
}

void CString::AssignUtf8(std::string_view utf8) {
  std::wstring& out = m_str;
  // Most stored text is ASCII: its leading run is widened in one go.
  const auto firstWide = std::find_if(
      utf8.begin(), utf8.end(), [](char ch) { return static_cast<unsigned char>(ch) >= 0x80; });
  size_t pos = static_cast<size_t>(firstWide - utf8.begin());
  out.reserve(utf8.size());
  out.resize(pos);
  std::transform(utf8.begin(), firstWide, out.begin(),
                 [](char ch) { return static_cast<wchar_t>(ch); });
  while (pos < utf8.size()) {
    if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
      out += static_cast<wchar_t>(utf8[pos++]);
      continue;
    }
    int length = SequenceLength(static_cast<unsigned char>(utf8[pos]));
    bool complete = length > 0 && pos + length <= utf8.size();
    for (int i = 1; complete && i < length; ++i) {
      complete = IsContinuation(static_cast<unsigned char>(utf8[pos + i]));
    }
    if (!complete) {
      out += kReplacement;
      ++pos;
      continue;
    }
    char32_t code = DecodeSequence(utf8, pos, length);
    out += IsValidScalar(code, length) ? static_cast<wchar_t>(code) : kReplacement;
    pos += length;
  }
}

std::string CString::ToUtf8() const {
  // Most text is ASCII: its leading run is copied a byte a character.
  const auto firstWide = std::find_if(m_str.begin(), m_str.end(),
                                      [](wchar_t ch) { return static_cast<char32_t>(ch) >= 0x80; });
  std::string out(static_cast<size_t>(firstWide - m_str.begin()), '\0');
  std::transform(m_str.begin(), firstWide, out.begin(),
                 [](wchar_t ch) { return static_cast<char>(ch); });
  out.reserve(m_str.size());
  for (auto it = firstWide; it != m_str.end(); ++it)
    norvutf8::Append(out, static_cast<char32_t>(*it));
  return out;
}

wchar_t CString::GetAt(int index) const {
  if (index < 0 || index >= GetLength())
    throw std::invalid_argument("CString::GetAt: index out of range");
  return m_str[static_cast<size_t>(index)];
}

CString& CString::MakeLower() {
  for (wchar_t& ch : m_str) ch = LowerCase(ch);
  return *this;
}

CString& CString::MakeUpper() {
  for (wchar_t& ch : m_str) ch = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(ch)));
  return *this;
}

// Lower-cases one character at a time, so that comparing copies nothing;
// the result is what comparing two lower-cased copies would give.
int CString::CompareNoCase(const wchar_t* other) const {
  const std::wstring_view right(other ? other : L"");
  const size_t common = std::min(m_str.size(), right.size());
  for (size_t i = 0; i < common; ++i) {
    const wchar_t a = LowerCase(m_str[i]);
    const wchar_t b = LowerCase(right[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  const ptrdiff_t difference =
      static_cast<ptrdiff_t>(m_str.size()) - static_cast<ptrdiff_t>(right.size());
  return static_cast<int>(std::clamp<ptrdiff_t>(difference, INT_MIN, INT_MAX));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  if (first < 0) first = 0;
  if (count < 0 || first >= GetLength()) return CString();
  return CString(m_str.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Right(int count) const {
  if (count <= 0) return CString();
  if (count >= GetLength()) return *this;
  return Mid(GetLength() - count, count);
}

int CString::Find(const wchar_t* sub, int start) const {
  if (sub == nullptr || start < 0 || start > GetLength()) return -1;
  size_t pos = m_str.find(sub, static_cast<size_t>(start));
  return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(wchar_t ch, int start) const {
  if (start < 0 || start > GetLength()) return -1;
  size_t pos = m_str.find(ch, static_cast<size_t>(start));
  return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Replace(const wchar_t* oldText, const wchar_t* newText) {
  std::wstring from(oldText ? oldText : L"");
  std::wstring to(newText ? newText : L"");
  if (from.empty()) return 0;
  int count = 0;
  for (size_t pos = m_str.find(from); pos != std::wstring::npos;
       pos = m_str.find(from, pos + to.size())) {
    m_str.replace(pos, from.size(), to);
    ++count;
  }
  return count;
}

CString& CString::TrimLeft() {
  size_t first = 0;
  while (first < m_str.size() && std::iswspace(static_cast<wint_t>(m_str[first]))) ++first;
  m_str.erase(0, first);
  return *this;
}

CString& CString::TrimRight() {
  size_t end = m_str.size();
  while (end > 0 && std::iswspace(static_cast<wint_t>(m_str[end - 1]))) --end;
  m_str.erase(end);
  return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }

int CString::ToInt() const {
  const long value = std::wcstol(m_str.c_str(), nullptr, 10);
  return static_cast<int>(static_cast<uint32_t>(value));
}

std::wstring CString::FormatList(const wchar_t* format, const CStringFormatArg* args,
                                 size_t count) {
  std::wstring out;
  if (format == nullptr) return out;
  const std::wstring_view text(format);
  // Room for the format and every argument, so that composing allocates once.
  size_t room = text.size();
  for (size_t i = 0; i < count; ++i) room += args[i].m_text.size() + 1;
  out.reserve(room);
  size_t next = 0;
  for (size_t pos = 0; pos < text.size();) {
    const size_t percent = std::min(text.find(L'%', pos), text.size());
    out.append(text.substr(pos, percent - pos));
    pos = percent < text.size() ? AppendDirective(out, text, percent, args, count, next) : percent;
  }
  if (next != count) throw std::invalid_argument("CString::Format: too many arguments");
  return out;
}

namespace norvutf8 {

void Append(std::string& out, char32_t code) {
  if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = kReplacement;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace norvutf8
