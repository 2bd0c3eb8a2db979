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

// "YYYY-MM-DD HH:MM:SS" with fields every month has (days up to 28): such
// texts are in time order as bytes, without being read. The date columns
// hold little else, and reading dates was the dearest part of an insert.
bool IsPlainDateTime(std::string_view text) {
  constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd";
  if (text.size() != kShape.size() || text[0] == '0') return false;
  for (size_t i = 0; i < kShape.size(); ++i) {
    if (kShape[i] == 'd' ? !IsDigit(text[i]) : text[i] != kShape[i]) return false;
  }
  const auto field = [text](size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
  return field(5) >= 1 && field(5) <= 12 && field(8) >= 1 && field(8) <= 28 && field(11) <= 23 &&
         field(14) <= 59 && field(17) <= 59;
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
  for (size_t i = pos + 1; i < sql.size(); ++i) {
    if (sql[i] != close) continue;
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

// A character no token the walk looks at can start with: copied in runs.
bool IsPlain(char ch) {
  switch (ch) {
    case '\'':
    case '"':
    case '`':
    case '[':
    case '-':
    case '/':
    case '?':
    case ':':
    case '$':
    case '@':
    case ';':
      return false;
    default:
      return !IsWordChar(ch);
  }
}

// Walks one statement's tokens, lifting string and integer literals while
// `m_lifting` holds; the text between them is copied in spans.
class Lifter {
 public:
  explicit Lifter(std::string_view sql) : m_sql(sql) { m_out.text.reserve(sql.size()); }

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
    if (ch == '\'') return String();
    if (ch == '"' || ch == '`') return Copy(SkipQuoted(m_sql, m_pos, ch));
    if (ch == '[') return Copy(SkipQuoted(m_sql, m_pos, ']'));
    if ((ch == '-' && next == '-') || (ch == '/' && next == '*')) {
      return Copy(SkipComment(m_sql, m_pos));
    }
    if (ch == '?' || ch == ':' || ch == '$' || ch == '@') return false;
    if (ch == ';') {
      return m_sql.find_first_not_of(" \t\r\n;", m_pos) == std::string_view::npos &&
             Copy(m_sql.size());
    }
    if (IsWordStart(ch)) return Word();
    if (IsDigit(ch)) return Number();
    size_t end = m_pos + 1;
    while (end < m_sql.size() && IsPlain(m_sql[end])) ++end;
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
  const bool dateOnly = CString::FromUtf8(pattern).MakeLower().Find(L"hh") < 0;
  // The library writes its times in the stored form already.
  if (IsPlainDateTime(text)) {
    return dateOnly ? std::string(text.substr(0, 10)) + " 00:00:00" : std::string(text);
  }
  COleDateTime value;
  if (!value.ParseDateTime(CString::FromUtf8(text), dateOnly ? VAR_DATEVALUEONLY : 0u)) {
    return std::nullopt;
  }
  return value.Format(L"%Y-%m-%d %H:%M:%S").ToUtf8();
}

}  // namespace sqlite_dialect
