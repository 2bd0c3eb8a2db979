#include "core/db/internal/SqliteDialect.h"

#include <array>
#include <cmath>
#include <utility>

#include "core/base/COleDateTime.h"

namespace sqlite_dialect {

namespace {

// Seconds since the date base, or nothing for an unreadable text.
std::optional<long long> ReadSeconds(std::string_view text) {
  COleDateTime value;
  if (!value.ParseDateTime(CString::FromUtf8(text))) return std::nullopt;
  return std::llround(value.m_dt * 86400.0);
}

// Plain ASCII classes: the locale's would cost more than the rest of the walk.
constexpr bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

// Whether `text` has the shape `shape` ('d' a digit, anything else itself),
// its year not starting with 0.
bool HasShape(std::string_view text, std::string_view shape) {
  if (text.size() != shape.size() || text[0] == '0') return false;
  for (size_t i = 0; i < shape.size(); ++i) {
    if (shape[i] == 'd' ? !IsDigit(text[i]) : text[i] != shape[i]) return false;
  }
  return true;
}

int Field(std::string_view text, size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); }

// "YYYY-MM-DD" with fields every month has (days up to 28).
bool IsPlainDate(std::string_view text) {
  return HasShape(text, "dddd-dd-dd") && Field(text, 5) >= 1 && Field(text, 5) <= 12 &&
         Field(text, 8) >= 1 && Field(text, 8) <= 28;
}

// "YYYY-MM-DD HH:MM:SS" with fields every month has (days up to 28): such
// texts are in time order as bytes, without being read. The date columns
// hold little else, and reading dates was the dearest part of an insert.
bool IsPlainDateTime(std::string_view text) {
  return HasShape(text, "dddd-dd-dd dd:dd:dd") && IsPlainDate(text.substr(0, 10)) &&
         Field(text, 11) <= 23 && Field(text, 14) <= 59 && Field(text, 17) <= 59;
}

// "hh" in any case. No character but 'H' lower-cases to 'h', so the bytes
// tell without widening.
bool ReadsHours(std::string_view pattern) {
  for (size_t i = 0; i + 1 < pattern.size(); ++i) {
    if ((pattern[i] | 0x20) == 'h' && (pattern[i + 1] | 0x20) == 'h') return true;
  }
  return false;
}

constexpr bool IsWordStart(char ch) {
  return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || ch == '_' ||
         static_cast<unsigned char>(ch) >= 0x80;
}

// By table: the walk asks this of nearly every character of a statement.
constexpr std::array<bool, 256> kWordChars = [] {
  std::array<bool, 256> table{};
  for (size_t i = 0; i < table.size(); ++i) {
    const char ch = static_cast<char>(i);
    table[i] = IsWordStart(ch) || IsDigit(ch);
  }
  return table;
}();

bool IsWordChar(char ch) { return kWordChars[static_cast<unsigned char>(ch)]; }

bool IsBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }

bool IsWord(std::string_view word, std::string_view upper) {
  if (word.size() != upper.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if ((word[i] & ~0x20) != upper[i]) return false;
  }
  return true;
}

// One past the character closing the token that opens at `pos`; npos when
// it is not closed.
size_t SkipQuoted(std::string_view sql, size_t pos, char close) {
  for (size_t i = sql.find(close, pos + 1); i != std::string_view::npos;
       i = sql.find(close, i + 1)) {
    if (close == '\'' && i + 1 < sql.size() && sql[i + 1] == '\'') {
      ++i;  // a doubled quote stands for one
      continue;
    }
    return i + 1;
  }
  return std::string_view::npos;
}

size_t SkipComment(std::string_view sql, size_t pos) {
  if (sql[pos] == '-') {
    const size_t end = sql.find('\n', pos);
    return end == std::string_view::npos ? sql.size() : end;
  }
  const size_t end = sql.find("*/", pos + 2);
  return end == std::string_view::npos ? sql.size() : end + 2;
}

std::string Unquote(std::string_view literal) {
  const std::string_view inside = literal.substr(1, literal.size() - 2);
  if (inside.find('\'') == std::string_view::npos) return std::string(inside);
  std::string value;
  value.reserve(inside.size());
  for (size_t i = 0; i < inside.size(); ++i) {
    value += inside[i];
    if (inside[i] == '\'') ++i;  // the second of a doubled quote
  }
  return value;
}

// What a character can open, by table: the walk asks it of every token.
enum class Opens : unsigned char {
  kNothing,  // copied in runs
  kWord,
  kNumber,
  kString,
  kQuotedName,  // " or `
  kBracketName,
  kDash,   // a comment when doubled
  kSlash,  // a comment before *
  kParameter,
  kEnd,  // ;
};

constexpr std::array<Opens, 256> kOpens = [] {
  std::array<Opens, 256> table{};
  for (size_t i = 0; i < table.size(); ++i) {
    const char ch = static_cast<char>(i);
    table[i] = IsWordStart(ch) ? Opens::kWord : IsDigit(ch) ? Opens::kNumber : Opens::kNothing;
  }
  table['\''] = Opens::kString;
  table['"'] = table['`'] = Opens::kQuotedName;
  table['['] = Opens::kBracketName;
  table['-'] = Opens::kDash;
  table['/'] = Opens::kSlash;
  table['?'] = table[':'] = table['$'] = table['@'] = Opens::kParameter;
  table[';'] = Opens::kEnd;
  return table;
}();

Opens OpensOf(char ch) { return kOpens[static_cast<unsigned char>(ch)]; }

// Walks one statement's tokens, lifting string and integer literals while
// `m_lifting` holds; the text between them is copied in spans.
class Lifter {
 public:
  explicit Lifter(std::string_view sql) : m_sql(sql) {
    m_out.text.reserve(sql.size());
    m_out.values.reserve(kValuesRoom);
  }

  std::optional<LiftedStatement> Run() {
    if (!StartsWithDataVerb()) return std::nullopt;
    while (m_pos < m_sql.size()) {
      if (!Step()) return std::nullopt;
    }
    m_out.text.append(m_sql.substr(m_kept));
    return std::move(m_out);
  }

 private:
  bool StartsWithDataVerb() const {
    size_t start = 0;
    while (start < m_sql.size() && IsBlank(m_sql[start])) ++start;
    size_t end = start;
    while (end < m_sql.size() && IsWordChar(m_sql[end])) ++end;
    const std::string_view verb = m_sql.substr(start, end - start);
    return IsWord(verb, "SELECT") || IsWord(verb, "INSERT") || IsWord(verb, "UPDATE") ||
           IsWord(verb, "DELETE");
  }

  bool Step() {
    const char ch = m_sql[m_pos];
    const char next = m_pos + 1 < m_sql.size() ? m_sql[m_pos + 1] : '\0';
    switch (OpensOf(ch)) {
      case Opens::kString:
        return String();
      case Opens::kQuotedName:
        return Copy(SkipQuoted(m_sql, m_pos, ch));
      case Opens::kBracketName:
        return Copy(SkipQuoted(m_sql, m_pos, ']'));
      case Opens::kDash:
      case Opens::kSlash:
        if (next == (ch == '-' ? '-' : '*')) return Copy(SkipComment(m_sql, m_pos));
        break;
      case Opens::kParameter:
        return false;
      case Opens::kEnd:
        return m_sql.find_first_not_of(" \t\r\n;", m_pos) == std::string_view::npos &&
               Copy(m_sql.size());
      case Opens::kWord:
        return Word();
      case Opens::kNumber:
        return Number();
      case Opens::kNothing:
        break;
    }
    size_t end = m_pos + 1;
    while (end < m_sql.size() && OpensOf(m_sql[end]) == Opens::kNothing) ++end;
    return Copy(end);
  }

  // Keeps the text up to `end` as it is; false for a token not closed.
  bool Copy(size_t end) {
    if (end == std::string_view::npos) return false;
    m_pos = end;
    return true;
  }

  bool Word() {
    size_t end = m_pos;
    while (end < m_sql.size() && IsWordChar(m_sql[end])) ++end;
    const std::string_view word = m_sql.substr(m_pos, end - m_pos);
    if (IsWord(word, "ORDER") || IsWord(word, "GROUP")) m_lifting = false;
    return Copy(end);
  }

  bool String() {
    const size_t end = SkipQuoted(m_sql, m_pos, '\'');
    const bool blob = m_pos > 0 && (m_sql[m_pos - 1] == 'x' || m_sql[m_pos - 1] == 'X');
    if (!m_lifting || blob || end == std::string_view::npos) return Copy(end);
    LiftedStatement::Value value;
    value.text = Unquote(m_sql.substr(m_pos, end - m_pos));
    return Lift(std::move(value), end);
  }

  // Only plain integers small enough to be exact: "1.5", "1e3" and "0x1F"
  // stay as they are.
  bool Number() {
    size_t end = m_pos;
    while (end < m_sql.size() && IsDigit(m_sql[end])) ++end;
    const bool plain = end - m_pos <= 18 &&
                       (end == m_sql.size() || (!IsWordChar(m_sql[end]) && m_sql[end] != '.'));
    if (!plain) {
      while (end < m_sql.size() && (IsWordChar(m_sql[end]) || m_sql[end] == '.')) ++end;
    }
    const bool fraction = m_pos > 0 && m_sql[m_pos - 1] == '.';
    if (!plain || fraction || !m_lifting) return Copy(end);
    LiftedStatement::Value value;
    value.isInteger = true;
    for (size_t i = m_pos; i < end; ++i) value.integer = value.integer * 10 + (m_sql[i] - '0');
    return Lift(std::move(value), end);
  }

  bool Lift(LiftedStatement::Value value, size_t end) {
    m_out.text.append(m_sql.substr(m_kept, m_pos - m_kept));
    m_out.text += '?';
    m_kept = end;
    m_out.values.push_back(std::move(value));
    m_pos = end;
    return true;
  }

  // Enough for the widest row the library writes, so the list grows once.
  static constexpr size_t kValuesRoom = 16;

  std::string_view m_sql;
  size_t m_pos = 0;
  size_t m_kept = 0;  // the text before it is in m_out.text
  bool m_lifting = true;
  LiftedStatement m_out;
};

}  // namespace

std::optional<LiftedStatement> LiftLiterals(std::string_view sql) { return Lifter(sql).Run(); }

int CompareDateTimes(std::string_view left, std::string_view right) {
  // Equal texts are equal times whatever their form; sorting meets many.
  if (left == right) return 0;
  if (IsPlainDateTime(left) && IsPlainDateTime(right)) return left.compare(right);
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
  const bool dateOnly = !ReadsHours(pattern);
  // The library writes its times in the stored form already.
  if (IsPlainDateTime(text)) {
    return dateOnly ? std::string(text.substr(0, 10)) + " 00:00:00" : std::string(text);
  }
  if (IsPlainDate(text)) return std::string(text) + " 00:00:00";
  COleDateTime value;
  if (!value.ParseDateTime(CString::FromUtf8(text), dateOnly ? VAR_DATEVALUEONLY : 0u)) {
    return std::nullopt;
  }
  return value.Format(L"%Y-%m-%d %H:%M:%S").ToUtf8();
}

}  // namespace sqlite_dialect
