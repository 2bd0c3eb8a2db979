#include "core/CString.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <stdexcept>

#include "core/CStringArray.h"

// Readable failure messages.
void PrintTo(const CString& text, std::ostream* out) { *out << '"' << text.ToUtf8() << '"'; }

namespace {

CString Formatted(const wchar_t* format, const auto&... args) {
  CString text;
  text.Format(format, args...);
  return text;
}

TEST(CStringFormatTest, TextDirectives) {
  CString name(L"Norv");
  EXPECT_EQ(L"name=Norv", Formatted(L"name=%s", name));
  EXPECT_EQ(L"a-b", Formatted(L"%s-%s", L"a", std::wstring(L"b")));
  const wchar_t* nothing = nullptr;
  EXPECT_EQ(L"[]", Formatted(L"[%s]", nothing));
  EXPECT_EQ(L"[  ab]", Formatted(L"[%4s]", L"ab"));
  EXPECT_EQ(L"[ab  ]", Formatted(L"[%-4s]", CString(L"ab")));
  EXPECT_EQ(L"[abcdef]", Formatted(L"[%4s]", L"abcdef"));
}

TEST(CStringFormatTest, IntegerDirectives) {
  EXPECT_EQ(L"-42 7 123456789012", Formatted(L"%d %u %ld", -42, 7u, 123456789012L));
  EXPECT_EQ(L"[   42][42   ][00042]", Formatted(L"[%5d][%-5d][%05d]", 42, 42, 42));
  EXPECT_EQ(L"ff FF", Formatted(L"%x %X", 255, 255));
  short type = -3;
  EXPECT_EQ(L"type=-3", Formatted(L"type=%d", type));
  EXPECT_EQ(L"18446744073709551615", Formatted(L"%llu", ULLONG_MAX));
}

TEST(CStringFormatTest, IntegersKeepTheirOwnWidth) {
  EXPECT_EQ(L"4294967295", Formatted(L"%u", -1));
  EXPECT_EQ(L"ffffffff", Formatted(L"%x", -1));
  EXPECT_EQ(L"4294967295", Formatted(L"%u", static_cast<short>(-1)));
  EXPECT_EQ(L"65535", Formatted(L"%u", static_cast<unsigned short>(65535)));
  EXPECT_EQ(L"18446744073709551615", Formatted(L"%lu", -1L));
  EXPECT_EQ(L"-1", Formatted(L"%d", 4294967295u));
}

TEST(CStringFormatTest, PercentSigns) {
  EXPECT_EQ(L"100%", Formatted(L"100%%"));
  // A doubled percent before 's' is text, so the result can be formatted again.
  CString statement = Formatted(L"WHERE A = '%%s' AND B = %d", 5);
  EXPECT_EQ(L"WHERE A = '%s' AND B = 5", statement);
  EXPECT_EQ(L"WHERE A = 'x' AND B = 5", Formatted(statement, L"x"));
}

TEST(CStringFormatTest, AppendFormatKeepsTheText) {
  CString text(L"a");
  text.AppendFormat(L"%d%s", 1, L"b");
  text.AppendFormat(L"!");
  EXPECT_EQ(L"a1b!", text);
}

TEST(CStringFormatTest, MismatchesThrow) {
  CString text(L"unchanged");
  EXPECT_THROW(text.Format(L"%d", L"text"), std::invalid_argument);
  EXPECT_THROW(text.Format(L"%s", 5), std::invalid_argument);
  EXPECT_THROW(text.Format(L"%s %s", L"one"), std::invalid_argument);
  EXPECT_THROW(text.Format(L"%s", L"one", L"two"), std::invalid_argument);
  EXPECT_THROW(text.Format(L"%f", 1), std::invalid_argument);
  EXPECT_THROW(text.Format(L"50%"), std::invalid_argument);
  EXPECT_EQ(L"unchanged", text);
}

TEST(CStringUtf8Test, RoundTrip) {
  const std::string utf8 = "abc \xE6\x8F\x90\xE9\x86\x92 \xC3\xA9 \xF0\x9F\x98\x80";
  CString text = CString::FromUtf8(utf8);
  EXPECT_EQ(L"abc \u63D0\u9192 \u00E9 \U0001F600", text);
  EXPECT_EQ(utf8, text.ToUtf8());
  EXPECT_EQ(L"", CString::FromUtf8(""));
}

TEST(CStringUtf8Test, InvalidBytesBecomeReplacementCharacters) {
  EXPECT_EQ(L"a\uFFFDb", CString::FromUtf8("a\xFF" "b"));
  EXPECT_EQ(L"\uFFFD\uFFFDA", CString::FromUtf8("\xE4\xB8" "A"));  // cut short
  EXPECT_EQ(L"x\uFFFD", CString::FromUtf8("x\xE4"));                  // cut at the end
  EXPECT_EQ(L"\uFFFD\uFFFD", CString::FromUtf8("\xC0\xAF"));          // overlong
  EXPECT_EQ(L"\uFFFD", CString::FromUtf8("\xED\xA0\x80"));            // surrogate
  EXPECT_EQ(L"\uFFFD", CString::FromUtf8("\xF4\x90\x80\x80"));        // beyond U+10FFFF
  const wchar_t loneSurrogate[] = {L'a', static_cast<wchar_t>(0xD800), 0};
  EXPECT_EQ("a\xEF\xBF\xBD", CString(loneSurrogate).ToUtf8());
}

TEST(CStringTest, ToIntReadsLeadingDigits) {
  EXPECT_EQ(123, CString(L"123abc").ToInt());
  EXPECT_EQ(0, CString(L"abc").ToInt());
  EXPECT_EQ(0, CString(L"").ToInt());
  EXPECT_EQ(-5, CString(L"-5").ToInt());
  EXPECT_EQ(42, CString(L"  +42").ToInt());
  EXPECT_EQ(65536, CString(L"65536").ToInt());
  EXPECT_EQ(INT_MIN, CString(L"2147483648").ToInt());
  EXPECT_EQ(1, CString(L"4294967297").ToInt());
}

TEST(CStringTest, Slicing) {
  CString text(L"Hello, world");
  EXPECT_EQ(L"world", text.Mid(7));
  EXPECT_EQ(L"lo", text.Mid(3, 2));
  EXPECT_EQ(L"He", text.Mid(-3, 2));
  EXPECT_EQ(L"", text.Mid(12));
  EXPECT_EQ(L"", text.Mid(3, -1));
  EXPECT_EQ(L"world", text.Mid(7, 100));
  EXPECT_EQ(L"Hell", text.Left(4));
  EXPECT_EQ(L"", text.Left(-1));
  EXPECT_EQ(text, text.Left(100));
  EXPECT_EQ(L"rld", text.Right(3));
  EXPECT_EQ(L"", text.Right(0));
  EXPECT_EQ(text, text.Right(100));
  EXPECT_EQ(L'H', text.GetAt(0));
  EXPECT_THROW(text.GetAt(12), std::invalid_argument);
}

TEST(CStringTest, Find) {
  CString text(L"a,b,,c");
  EXPECT_EQ(1, text.Find(L','));
  EXPECT_EQ(3, text.Find(L',', 2));
  EXPECT_EQ(3, text.Find(L",,"));
  EXPECT_EQ(-1, text.Find(L"x"));
  EXPECT_EQ(-1, text.Find(L',', 7));
  EXPECT_EQ(-1, text.Find(L',', -1));
  EXPECT_EQ(-1, text.Find(static_cast<const wchar_t*>(nullptr)));
}

TEST(CStringTest, Replace) {
  CString text(L"a-b-c");
  EXPECT_EQ(2, text.Replace(L"-", L""));
  EXPECT_EQ(L"abc", text);
  CString quotes(L"it's 'x'");
  EXPECT_EQ(3, quotes.Replace(L"'", L"''"));
  EXPECT_EQ(L"it''s ''x''", quotes);
  EXPECT_EQ(0, quotes.Replace(L"", L"y"));
  EXPECT_EQ(0, quotes.Replace(L"zz", L"y"));
}

TEST(CStringTest, TrimAndCase) {
  CString text(L" \t Mixed Case \r\n");
  EXPECT_EQ(L"Mixed Case", text.Trim());
  EXPECT_EQ(L"mixed case", text.MakeLower());
  EXPECT_EQ(L"MIXED CASE", text.MakeUpper());
  EXPECT_EQ(0, CString(L"Receiver").CompareNoCase(L"RECEIVER"));
  EXPECT_NE(0, CString(L"Receiver").CompareNoCase(L"Receivers"));
  CString blank(L"   ");
  EXPECT_TRUE(blank.Trim().IsEmpty());
}

TEST(CStringArrayTest, AddAndIndex) {
  CStringArray items;
  EXPECT_EQ(0, items.Add(L"a"));
  EXPECT_EQ(1, items.Add(L"b"));
  EXPECT_EQ(2, items.GetSize());
  items[1] = L"c";
  EXPECT_EQ(L"c", items.GetAt(1));
  const CStringArray& view = items;
  EXPECT_EQ(L"a", view[0]);
  items.RemoveAll();
  EXPECT_EQ(0, items.GetSize());
}

TEST(CStringArrayTest, OutOfRangeThrows) {
  CStringArray items;
  items.Add(L"only");
  const CStringArray& view = items;
  EXPECT_THROW(items.GetAt(1), std::invalid_argument);
  EXPECT_THROW(items.GetAt(-1), std::invalid_argument);
  EXPECT_THROW(items[1], std::invalid_argument);
  EXPECT_THROW(view[-1], std::invalid_argument);
}

}  // namespace
