#include "core/base/CGuid.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace {

TEST(CGuidTest, EmptyByDefaultFreshWhenNewAndParsedStrictly) {
  CGuid id;
  EXPECT_FALSE(id.IsValid());
  EXPECT_EQ(L"{00000000-0000-0000-0000-000000000000}", id.GetString().str());
  std::set<std::wstring> seen;
  for (int i = 0; i < 1000; ++i) {
    ASSERT_TRUE(id.NewID());
    seen.insert(id.GetString1().str());
  }
  EXPECT_EQ(1000u, seen.size());
  const std::wregex version8(
      L"[0-9A-F]{8}-[0-9A-F]{4}-8[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  EXPECT_TRUE(id.IsValid() && std::regex_match(id.GetString1().str(), version8))
      << id.GetString1().ToUtf8();
  EXPECT_EQ(L"{" + id.GetString1() + L"}", id.GetString());

  // The parsers take either form in either case and refuse anything else.
  CGuid expected;
  ASSERT_TRUE(expected.FromString1(L"0123ABCD-4567-89EF-0A1B-2C3D4E5F6071"));
  for (const wchar_t* form :
       {L"{0123ABCD-4567-89EF-0A1B-2C3D4E5F6071}", L"0123abcd-4567-89Ef-0A1b-2c3d4e5f6071"}) {
    CGuid viaString, viaString1;
    EXPECT_TRUE(viaString.FromString(form) && viaString1.FromString1(form)) << form;
    EXPECT_TRUE(viaString == expected && !(viaString1 != expected)) << form;
  }
  const CGuid before = id;
  for (const wchar_t* bad :
       {L"", L"0123ABCD-4567-89EF-0A1B-2C3D4E5F607", L"0123ABCD-4567-89EF-0A1B-2C3D4E5F607G",
        L"0123ABCD45-67-89EF-0A1B-2C3D4E5F6071", L"{0123ABCD-4567-89EF-0A1B-2C3D4E5F6071",
        L" 0123ABCD-4567-89EF-0A1B-2C3D4E5F6071"}) {
    EXPECT_FALSE(id.FromString(bad) || id.FromString1(bad)) << bad;
    EXPECT_TRUE(id == before);
  }
  EXPECT_FALSE(id.FromString1(nullptr));
  // Ordered as a map key, by value.
  CGuid high;
  ASSERT_TRUE(high.FromString(L"{10000000-0000-0000-0000-000000000000}"));
  EXPECT_TRUE(expected < high && !(high < expected) && !(high < high));
}

}  // namespace
