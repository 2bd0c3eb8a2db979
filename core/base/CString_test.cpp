#include "core/base/CString.h"

#include <gtest/gtest.h>

#include <climits>
#include <iterator>
#include <ostream>
#include <stdexcept>

#include "core/base/CStringArray.h"

void PrintTo(const CString& text, std::ostream* out) { *out << '"' << text.ToUtf8() << '"'; }

namespace {

CString Formatted(const wchar_t* format, const auto&... args) {
  CString text;
  text.Format(format, args...);
  return text;
}

TEST(CStringFormatTest, DirectivesOfTheOriginalPlatformAndMismatchesThatThrow) {
  const wchar_t* nothing = nullptr;
  EXPECT_EQ(L"Norv-b-[]", Formatted(L"%s-%s-[%s]", CString(L"Norv"), std::wstring(L"b"), nothing));
  EXPECT_EQ(L"[  ab][ab  ]", Formatted(L"[%4s][%-4s]", L"ab", L"ab"));
  EXPECT_EQ(L"-42 7 123456789012 -3",
            Formatted(L"%d %u %ld %d", -42, 7u, 123456789012L, short{-3}));
  EXPECT_EQ(L"[   42][00042] ff", Formatted(L"[%5d][%05d] %x", 42, 42, 255));
  // Each integer keeps the width printf would see.
  EXPECT_EQ(L"4294967295 4294967295 -1", Formatted(L"%u %u %d", -1, short{-1}, 4294967295u));
  EXPECT_EQ(L"100%", Formatted(L"100%%"));
  // A doubled percent leaves a placeholder for a second pass.
  CString statement = Formatted(L"WHERE A = '%%s' AND B = %d", 5);
  EXPECT_EQ(L"WHERE A = '%s' AND B = 5", statement);
  EXPECT_EQ(L"WHERE A = 'x' AND B = 5", Formatted(statement, L"x"));
  statement.AppendFormat(L" -- %d%s", 1, L"b");
  EXPECT_EQ(L"WHERE A = '%s' AND B = 5 -- 1b", statement);

  // Mismatches throw and leave the text.
  CString text(L"unchanged");
  EXPECT_THROW(text.Format(L"%d", L"text"), std::invalid_argument);
  EXPECT_THROW(text.Format(L"%s", 5), std::invalid_argument);
  EXPECT_THROW(text.Format(L"%s %s", L"one"), std::invalid_argument);
  EXPECT_THROW(text.Format(L"%s", L"one", L"two"), std::invalid_argument);
  EXPECT_THROW(text.Format(L"%f", 1), std::invalid_argument);
  EXPECT_THROW(text.Format(L"50%"), std::invalid_argument);
  EXPECT_EQ(L"unchanged", text);
}

TEST(CStringTest, Utf8RoundTripAndInvalidBytes) {
  const std::string utf8 = "abc \xE6\x8F\x90\xE9\x86\x92 \xC3\xA9 \xF0\x9F\x98\x80";
  EXPECT_EQ(L"abc \u63D0\u9192 \u00E9 \U0001F600", CString::FromUtf8(utf8));
  EXPECT_EQ(utf8, CString::FromUtf8(utf8).ToUtf8());
  // A bad lead byte, a cut sequence, an overlong form, a surrogate.
  EXPECT_EQ(L"a\uFFFD\uFFFD\uFFFDA\uFFFD\uFFFD\uFFFD", CString::FromUtf8("a\xFF\xE4\xB8"
                                                                         "A\xC0\xAF\xED\xA0\x80"));
  const wchar_t loneSurrogate[] = {L'a', static_cast<wchar_t>(0xD800), 0};
  EXPECT_EQ("a\xEF\xBF\xBD", CString(loneSurrogate).ToUtf8());
}

TEST(CStringTest, ConversionsSlicingSearchingAndCaseFolding) {
  EXPECT_EQ(123, CString(L"  +123abc").ToInt());
  EXPECT_EQ(0, CString(L"abc").ToInt());
  EXPECT_EQ(INT_MIN, CString(L"2147483648").ToInt());
  CString text(L"Hello, world");
  EXPECT_EQ(L"world|He||Hell|Hello, world", text.Mid(7) + L"|" + text.Mid(-3, 2) + L"|" +
                                                text.Mid(12) + L"|" + text.Left(4) + L"|" +
                                                text.Right(99));
  EXPECT_THROW(text.GetAt(12), std::invalid_argument);
  EXPECT_EQ(8, text.Find(L'o', 5));
  EXPECT_EQ(-1, text.Find(L"xyz"));
  CString quotes(L" it's 'x'\r\n");
  EXPECT_EQ(3, quotes.Replace(L"'", L"''"));
  EXPECT_EQ(L"IT''S ''X''", quotes.Trim().MakeUpper());
  CStringArray items;
  EXPECT_EQ(0, items.Add(L"a"));
  items[0] = L"c";
  EXPECT_EQ(L"c", items.GetAt(0));
  EXPECT_THROW(items.GetAt(1), std::invalid_argument);
  EXPECT_THROW(items[-1], std::invalid_argument);
  items.RemoveAll();
  EXPECT_EQ(0, items.GetSize());

  // Letters fold to lower case: '[', '_' and '`' lie between the two cases.
  EXPECT_EQ(L"@az[`az{", CString(L"@AZ[`az{").MakeLower());
  EXPECT_EQ(L"@AZ[`AZ{", CString(L"@AZ[`az{").MakeUpper());
  // Every text orders before each later one, and equals itself in either case.
  const wchar_t* ascending[] = {L"",    L"@",   L"[", L"_",        L"a",  L"ab", L"AB C",
                                L"abc", L"ABD", L"b", L"Receiver", L"zZ", L"{"};
  for (size_t i = 0; i < std::size(ascending); ++i) {
    CString text(ascending[i]), upper(text);
    EXPECT_EQ(0, text.CompareNoCase(upper.MakeUpper())) << text.ToUtf8();
    for (size_t j = i + 1; j < std::size(ascending); ++j) {
      EXPECT_LT(text.CompareNoCase(ascending[j]), 0) << text.ToUtf8() << " " << j;
      EXPECT_GT(CString(ascending[j]).CompareNoCase(text), 0) << text.ToUtf8() << " " << j;
    }
  }
}

}  // namespace
