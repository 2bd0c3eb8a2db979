#include <cwctype>

#include "core/base/COleDateTime.h"

namespace {

struct DateFields {
  int year = 0, month = 0, day = 0;
};

struct TimeFields {
  int hour = 0, minute = 0, second = 0;
};

// Reads the date and time texts the library writes and the database returns.
class DateTimeScanner {
 public:
  explicit DateTimeScanner(const wchar_t* text) : m_pos(text) { SkipBlanks(); }

  // Only blanks are left.
  bool AtEnd() const {
    const wchar_t* p = m_pos;
    while (IsBlank(*p)) ++p;
    return *p == L'\0';
  }

  // Digits followed by ':' start a time of day rather than a date.
  bool StartsWithTime() const {
    const wchar_t* p = m_pos;
    while (IsDigit(*p)) ++p;
    return p != m_pos && *p == L':';
  }

  // YYYY-MM-DD or YYYY/MM/DD, one or two digits for month and day.
  bool Date(DateFields& date) {
    if (!Number(1, 4, date.year)) return false;
    const wchar_t separator = *m_pos;
    if (separator != L'-' && separator != L'/') return false;
    ++m_pos;
    return Number(1, 2, date.month) && Accept(separator) && Number(1, 2, date.day);
  }

  // What separates a date from its time: a 'T' or blanks.
  bool DateTimeSeparator() {
    if (Accept(L'T')) return true;
    if (!IsBlank(*m_pos)) return false;
    SkipBlanks();
    return true;
  }

  // H:M[:S[.fraction]] followed by an optional zone offset; the fraction and
  // the offset are dropped so that the wall time stays as written.
  bool Time(TimeFields& time) {
    if (!Number(1, 2, time.hour) || !Accept(L':') || !Number(1, 2, time.minute)) return false;
    if (Accept(L':')) {
      if (!Number(1, 2, time.second)) return false;
      if (Accept(L'.') && !SkipDigits()) return false;
    }
    SkipBlanks();
    return ZoneOffset();
  }

 private:
  static bool IsDigit(wchar_t ch) { return ch >= L'0' && ch <= L'9'; }
  static bool IsBlank(wchar_t ch) { return ch != L'\0' && std::iswspace(static_cast<wint_t>(ch)); }

  void SkipBlanks() {
    while (IsBlank(*m_pos)) ++m_pos;
  }

  bool Accept(wchar_t ch) {
    if (*m_pos != ch) return false;
    ++m_pos;
    return true;
  }

  bool Number(int minDigits, int maxDigits, int& value) {
    value = 0;
    int digits = 0;
    for (; digits < maxDigits && IsDigit(*m_pos); ++digits, ++m_pos) {
      value = value * 10 + (*m_pos - L'0');
    }
    return digits >= minDigits;
  }

  bool SkipDigits() {
    const wchar_t* start = m_pos;
    while (IsDigit(*m_pos)) ++m_pos;
    return m_pos != start;
  }

  // Nothing, "Z", or +HH, +HH:MM, +HHMM (and the same with '-').
  bool ZoneOffset() {
    if (Accept(L'Z')) return true;
    if (!Accept(L'+') && !Accept(L'-')) return true;
    int hours = 0;
    int minutes = 0;
    if (!Number(2, 2, hours)) return false;
    const bool colon = Accept(L':');
    if (colon || IsDigit(*m_pos)) {
      if (!Number(2, 2, minutes)) return false;
    }
    return hours <= 23 && minutes <= 59;
  }

  const wchar_t* m_pos;
};

}  // namespace

bool COleDateTime::ParseDateTime(const wchar_t* text, unsigned flags) {
  DateTimeScanner scanner(text ? text : L"");
  DateFields date;
  TimeFields time;
  bool ok = false;
  if ((flags & VAR_TIMEVALUEONLY) != 0 ||
      ((flags & VAR_DATEVALUEONLY) == 0 && scanner.StartsWithTime())) {
    ok = scanner.Time(time) && scanner.AtEnd() && SetTime(time.hour, time.minute, time.second) == 0;
  } else if (scanner.Date(date)) {
    if (scanner.AtEnd()) {
      ok = SetDate(date.year, date.month, date.day) == 0;
    } else if (scanner.DateTimeSeparator()) {
      // A date-only read ignores whatever time follows the separator.
      ok = (flags & VAR_DATEVALUEONLY) != 0
               ? SetDate(date.year, date.month, date.day) == 0
               : scanner.Time(time) && scanner.AtEnd() &&
                     SetDateTime(date.year, date.month, date.day, time.hour, time.minute,
                                 time.second) == 0;
    }
  }
  if (!ok) m_status = invalid;
  return ok;
}
