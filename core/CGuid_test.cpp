#include "core/CGuid.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <map>
#include <set>

namespace {

const wchar_t kBraced[] = L"{0123ABCD-4567-89EF-0A1B-2C3D4E5F6071}";
const wchar_t kUnbraced[] = L"0123ABCD-4567-89EF-0A1B-2C3D4E5F6071";

TEST(CGuidTest, DefaultIsTheEmptyInvalidIdentifier) {
  CGuid empty;
  EXPECT_FALSE(empty.IsValid());
  EXPECT_EQ(L"00000000-0000-0000-0000-000000000000", empty.GetString1().str());
  EXPECT_TRUE(empty == CGuid());
}

TEST(CGuidTest, NewIdIsAVersion4Identifier) {
  CGuid id;
  ASSERT_TRUE(id.NewID());
  EXPECT_TRUE(id.IsValid());
  const std::wstring text = id.GetString1().str();
  ASSERT_EQ(36u, text.size());
  EXPECT_EQ(L'4', text[14]);
  EXPECT_NE(std::wstring::npos, std::wstring(L"89AB").find(text[19]));
  for (wchar_t ch : text) EXPECT_FALSE(std::iswlower(static_cast<wint_t>(ch))) << text;
}

TEST(CGuidTest, NewIdsDiffer) {
  std::set<std::wstring> seen;
  for (int i = 0; i < 1000; ++i) {
    CGuid id;
    ASSERT_TRUE(id.NewID());
    seen.insert(id.GetString1().str());
  }
  EXPECT_EQ(1000u, seen.size());
}

TEST(CGuidTest, TextFormsDifferOnlyByBraces) {
  CGuid id;
  ASSERT_TRUE(id.FromString1(kUnbraced));
  EXPECT_EQ(kUnbraced, id.GetString1().str());
  EXPECT_EQ(kBraced, id.GetString().str());
}

TEST(CGuidTest, ParsersAcceptEitherFormInEitherCase) {
  CGuid expected;
  ASSERT_TRUE(expected.FromString1(kUnbraced));
  const wchar_t* forms[] = {kBraced, kUnbraced, L"{0123abcd-4567-89ef-0a1b-2c3d4e5f6071}",
                            L"0123abcd-4567-89Ef-0A1b-2c3d4e5f6071"};
  for (const wchar_t* form : forms) {
    CGuid viaString;
    CGuid viaString1;
    EXPECT_TRUE(viaString.FromString(form)) << form;
    EXPECT_TRUE(viaString1.FromString1(form)) << form;
    EXPECT_TRUE(viaString == expected) << form;
    EXPECT_TRUE(viaString1 == expected) << form;
  }
}

TEST(CGuidTest, RoundTripsThroughBothForms) {
  for (int i = 0; i < 20; ++i) {
    CGuid id;
    ASSERT_TRUE(id.NewID());
    CGuid back;
    ASSERT_TRUE(back.FromString1(id.GetString1()));
    EXPECT_TRUE(back == id);
    ASSERT_TRUE(back.FromString(id.GetString()));
    EXPECT_FALSE(back != id);
  }
}

TEST(CGuidTest, RejectsMalformedTextAndKeepsTheValue) {
  const wchar_t* bad[] = {
      L"",
      L"{}",
      L"0123ABCD-4567-89EF-0A1B-2C3D4E5F607",    // one digit short
      L"0123ABCD-4567-89EF-0A1B-2C3D4E5F60712",  // one digit long
      L"0123ABCD-4567-89EF-0A1B-2C3D4E5F607G",   // not hex
      L"0123ABCD45-67-89EF-0A1B-2C3D4E5F6071",   // hyphen moved
      L"0123ABCD04567089EF00A1B02C3D4E5F6071",   // no hyphens
      L"{0123ABCD-4567-89EF-0A1B-2C3D4E5F6071",  // unbalanced braces
      L"0123ABCD-4567-89EF-0A1B-2C3D4E5F6071}",
      L"(0123ABCD-4567-89EF-0A1B-2C3D4E5F6071)",
      L" 0123ABCD-4567-89EF-0A1B-2C3D4E5F6071",
      nullptr,
  };
  CGuid id;
  ASSERT_TRUE(id.NewID());
  const CGuid before = id;
  for (const wchar_t* text : bad) {
    EXPECT_FALSE(id.FromString(text)) << (text ? text : L"(null)");
    EXPECT_FALSE(id.FromString1(text)) << (text ? text : L"(null)");
    EXPECT_TRUE(id == before);
  }
}

TEST(CGuidTest, OrdersAsAMapKey) {
  CGuid low;
  CGuid high;
  ASSERT_TRUE(low.FromString1(L"00000000-0000-0000-0000-000000000001"));
  ASSERT_TRUE(high.FromString1(L"10000000-0000-0000-0000-000000000000"));
  EXPECT_TRUE(low < high);
  EXPECT_FALSE(high < low);
  EXPECT_FALSE(low < low);
  std::map<CGuid, int> byId{{high, 2}, {low, 1}};
  CGuid lookup;
  ASSERT_TRUE(lookup.FromString(L"{10000000-0000-0000-0000-000000000000}"));
  EXPECT_EQ(2, byId[lookup]);
  EXPECT_EQ(2u, byId.size());
}

}  // namespace
