#ifndef NORV_CORE_BASE_CSTRING_H_
#define NORV_CORE_BASE_CSTRING_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "core/base/NorvExport.h"

class CString;

// One argument of CString::Format. Only integers and texts convert to it, so
// passing anything else is a compile error; a conversion that does not fit
// its directive (%d given a text) throws std::invalid_argument.
class NORV_EXPORT CStringFormatArg {
  // The type printf would receive: %u of -1 is 4294967295, %d of 4294967295u
  // is -1, whatever the width of the caller's variable.
  template <class Int>
  using Promoted = decltype(+Int{});

 public:
  template <class Int, std::enable_if_t<std::is_integral_v<Int> && !std::is_same_v<Int, bool> &&
                                            !std::is_same_v<Int, wchar_t>,
                                        int> = 0>
  CStringFormatArg(Int value)
      : m_kind(std::is_signed_v<Int> ? Kind::kSigned : Kind::kUnsigned),
        m_signed(static_cast<std::make_signed_t<Promoted<Int>>>(value)),
        m_unsigned(static_cast<std::make_unsigned_t<Promoted<Int>>>(value)) {}
  CStringFormatArg(const wchar_t* text) : m_kind(Kind::kText), m_text(text ? text : L"") {}
  CStringFormatArg(const std::wstring& text) : m_kind(Kind::kText), m_text(text) {}
  CStringFormatArg(const CString& text);

  enum class Kind { kSigned, kUnsigned, kText };
  Kind m_kind;
  int64_t m_signed = 0;
  uint64_t m_unsigned = 0;
  std::wstring_view m_text;
};

// Wide text (UTF-32 on Linux) with the members the library and its hosts use.
class NORV_EXPORT CString {
 public:
  CString() = default;
  CString(const wchar_t* text) : m_str(text ? text : L"") {}
  CString(const std::wstring& text) : m_str(text) {}
  CString(std::wstring&& text) : m_str(std::move(text)) {}
  CString(const wchar_t* text, int length) : m_str(text, static_cast<size_t>(length)) {}

  static CString FromUtf8(std::string_view utf8);
  // The same into this string, whose room is reused: a loop reading many
  // values into one string allocates only when a value outgrows it.
  void AssignUtf8(std::string_view utf8);
  std::string ToUtf8() const;

  int GetLength() const { return static_cast<int>(m_str.size()); }
  bool IsEmpty() const { return m_str.empty(); }
  void Empty() { m_str.clear(); }
  const wchar_t* GetString() const { return m_str.c_str(); }
  operator const wchar_t*() const { return m_str.c_str(); }
  const std::wstring& str() const { return m_str; }
  wchar_t GetAt(int index) const;

  CString& operator+=(const CString& other) {
    m_str += other.m_str;
    return *this;
  }
  CString& operator+=(const wchar_t* other) {
    m_str += other ? other : L"";
    return *this;
  }
  CString& operator+=(wchar_t ch) {
    m_str += ch;
    return *this;
  }

  CString& MakeLower();
  CString& MakeUpper();
  int CompareNoCase(const wchar_t* other) const;
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  CString Left(int count) const;
  CString Right(int count) const;
  int Find(const wchar_t* sub, int start = 0) const;
  int Find(wchar_t ch, int start = 0) const;
  int Replace(const wchar_t* oldText, const wchar_t* newText);
  CString& Trim();
  CString& TrimLeft();
  CString& TrimRight();

  // Decimal conversion in the manner of wcstol: leading blanks, a sign and
  // digits; text without leading digits gives 0, and the result is cut to
  // its low 32 bits.
  int ToInt() const;

  // printf-style: %s takes a text, %d %i %u %ld %lu %x an integer (flags and
  // width allowed), %% is a percent sign.
  template <class... Args>
  void Format(const wchar_t* format, const Args&... args) {
    const CStringFormatArg list[] = {CStringFormatArg(args)..., CStringFormatArg(0)};
    m_str = FormatList(format, list, sizeof...(Args));
  }
  template <class... Args>
  void AppendFormat(const wchar_t* format, const Args&... args) {
    const CStringFormatArg list[] = {CStringFormatArg(args)..., CStringFormatArg(0)};
    m_str += FormatList(format, list, sizeof...(Args));
  }

  friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
  friend bool operator==(const CString& a, const wchar_t* b) { return a.m_str == (b ? b : L""); }
  friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
  friend bool operator!=(const CString& a, const wchar_t* b) { return !(a == b); }
  friend bool operator<(const CString& a, const CString& b) { return a.m_str < b.m_str; }
  friend bool operator<(const CString& a, const wchar_t* b) { return a.m_str < (b ? b : L""); }
  // Text first, as EXPECT_EQ(L"...", value) compares.
  friend bool operator==(const wchar_t* a, const CString& b) { return b == a; }
  friend bool operator!=(const wchar_t* a, const CString& b) { return !(b == a); }
  friend bool operator<(const wchar_t* a, const CString& b) { return (a ? a : L"") < b.m_str; }
  friend CString operator+(const CString& a, const CString& b) {
    return CString(a.m_str + b.m_str);
  }
  friend CString operator+(const CString& a, const wchar_t* b) {
    CString r(a);
    r += b;
    return r;
  }
  friend CString operator+(const wchar_t* a, const CString& b) {
    CString r(a);
    r += b;
    return r;
  }
  friend CString operator+(const CString& a, wchar_t b) {
    CString r(a);
    r += b;
    return r;
  }

 private:
  static std::wstring FormatList(const wchar_t* format, const CStringFormatArg* args, size_t count);

  std::wstring m_str;
};

inline CStringFormatArg::CStringFormatArg(const CString& text)
    : m_kind(Kind::kText), m_text(text.str()) {}

#endif  // NORV_CORE_BASE_CSTRING_H_
