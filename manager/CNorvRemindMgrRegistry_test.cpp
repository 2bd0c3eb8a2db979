#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "manager/CNorvRemindMgr.h"

namespace {

using Names = std::vector<std::wstring>;
// Results of calls made in order, compared at once.
using Results = std::vector<bool>;

CNorvBasePtr<CNorvRemind> NewRemind(const wchar_t* id = nullptr) {
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  if (id == nullptr || !remind->m_ID.FromString1(id)) remind->m_ID.NewID();
  return remind;
}

CNorvBasePtr<CNorvRemindStyle> NewStyle(const wchar_t* name, short order) {
  CNorvBasePtr<CNorvRemindStyle> style = new CNorvRemindStyle;
  style->m_ID.NewID();
  style->m_strName = name;
  style->m_nOrder = order;
  return style;
}

Names DisplayOrder(CNorvRemindMgr& manager) {
  Names names;
  for (CNorvRemindStyle* style : manager.StyleList) names.push_back(style->GetName().str());
  return names;
}

TEST(Registry, RemindsByIdentifierAndStylesByNameOrIdentifier) {
  CNorvRemindMgr manager;
  CNorvBasePtr<CNorvRemind> first = NewRemind(), twin = new CNorvRemind, unnamed = new CNorvRemind;
  twin->m_ID = first->m_ID;
  CGuid unknown;
  unknown.NewID();
  EXPECT_EQ(
      (Results{manager.AddRemind(nullptr), manager.AddRemind(unnamed), manager.AddRemind(first),
               manager.AddRemind(first), manager.AddRemind(twin), manager.RemoveRemind(unknown),
               manager.RemoveRemind(CGuid()), !manager.GetRemind(unknown),
               !manager.GetRemind(CGuid()), manager.GetRemind(first->m_ID) == first}),
      (Results{false, false, true, false, false, false, false, true, true, true}));
  // A refused fresh remind is neither deleted under its caller nor kept.
  auto* fresh = new CNorvRemind;
  fresh->m_ID = first->m_ID;
  EXPECT_FALSE(manager.AddRemind(fresh));
  CNorvBasePtr<CNorvRemind> adopted = fresh;

  // The caller's pointer keeps a removed remind alive.
  CNorvBasePtr<CNorvRemind> held = manager.GetRemind(first->m_ID);
  first = twin = nullptr;
  held->m_strContent = L"still here";
  EXPECT_EQ((Results{manager.RemoveRemind(held->m_ID), manager.RemoveRemind(held->m_ID),
                     !manager.GetRemind(held->m_ID)}),
            (Results{true, false, true}));
  EXPECT_EQ(held->m_strContent, L"still here");

  CNorvRemindMgr::RemindList list{NewRemind()};
  manager.GetRemindList(list);
  EXPECT_TRUE(list.empty());
  const Names ids = {L"30000000-0000-0000-0000-000000000000",
                     L"10000000-0000-0000-0000-000000000000",
                     L"20000000-0000-0000-0000-000000000000"};
  for (const std::wstring& id : ids) ASSERT_TRUE(manager.AddRemind(NewRemind(id.c_str())));
  list.push_back(NewRemind());
  manager.GetRemindList(list);
  Names order;
  for (CNorvRemind* remind : list) order.push_back(remind->m_ID.GetString1().str());
  EXPECT_EQ(order, (Names{ids[1], ids[2], ids[0]}));

  // Styles: nameless, invalid and taken ones are refused; lookups ignore case.
  CNorvBasePtr<CNorvRemindStyle> upper = NewStyle(L"ABC", 1), noID = NewStyle(L"x", 1),
                                 sameID = NewStyle(L"other", 1);
  noID->m_ID = CGuid();
  sameID->m_ID = upper->m_ID;
  EXPECT_EQ(
      (Results{
          manager.AddRemindStyle(nullptr, true), manager.AddRemindStyle(NewStyle(L"", 1), true),
          manager.AddRemindStyle(noID, true), manager.AddRemindStyle(upper, true),
          manager.AddRemindStyle(NewStyle(L"abc", 2), true), manager.AddRemindStyle(sameID, true),
          manager.AddRemindStyle(upper, false), manager.GetRemindStyle(L"abc") == upper,
          manager.GetRemindStyle(upper->m_ID) == upper, !manager.GetRemindStyle(CString()),
          !manager.GetRemindStyle(CGuid())}),
      (Results{false, false, false, true, false, false, false, true, true, true, true}));
  EXPECT_EQ(DisplayOrder(manager), Names{L"ABC"});
}

class StyleOrder : public testing::Test {
 protected:
  // Orders 1, 2, 2, 3, added out of order.
  void SetUp() override {
    const std::pair<const wchar_t*, short> styles[] = {{L"e", 3}, {L"d", 2}, {L"a", 1}, {L"b", 2}};
    for (auto [name, order] : styles)
      ASSERT_TRUE(manager.AddRemindStyle(NewStyle(name, order), true));
    ASSERT_EQ(DisplayOrder(manager), (Names{L"a", L"b", L"d", L"e"}));
  }

  CNorvRemindMgr manager;
};

TEST_F(StyleOrder, SortedAddGoesByOrderThenByExactName) {
  // The display after adding the style; four names when it was refused.
  const std::tuple<const wchar_t*, short, Names> cases[] = {
      {L"c", 2, {L"a", L"b", L"c", L"d", L"e"}},
      {L"C", 2, {L"a", L"C", L"b", L"d", L"e"}},  // upper case sorts first
      {L"B", 2, {L"a", L"b", L"d", L"e"}},        // the name is taken
      {L"z", 3, {L"a", L"b", L"d", L"e", L"z"}},
      {L"zero", 0, {L"zero", L"a", L"b", L"d", L"e"}},
  };
  for (const auto& [name, order, display] : cases) {
    SCOPED_TRACE(testing::Message() << CString(name).ToUtf8() << " " << order);
    CNorvRemindMgr fresh;
    for (CNorvRemindStyle* style : manager.StyleList) fresh.AddRemindStyle(style, false);
    EXPECT_EQ(fresh.AddRemindStyle(NewStyle(name, order), true), display.size() == 5);
    EXPECT_EQ(DisplayOrder(fresh), display);
  }
}

TEST_F(StyleOrder, UnsortedAddAppendsAlterOrderAndRenameMoveOnlyOneKey) {
  EXPECT_EQ(CNorvRemindMgr().GetRemindStyleMaxOrder(), 0);
  EXPECT_EQ(manager.GetRemindStyleMaxOrder(), 3);
  EXPECT_TRUE(manager.AddRemindStyle(NewStyle(L"early", 0), false));
  EXPECT_EQ(DisplayOrder(manager), (Names{L"a", L"b", L"d", L"e", L"early"}));
  EXPECT_EQ(manager.GetRemindStyleMaxOrder(), 0);

  CNorvBasePtr<CNorvRemindStyle> a = manager.GetRemindStyle(L"a");
  manager.AlterRemindStyleOrder(a, 5);
  EXPECT_EQ(DisplayOrder(manager), (Names{L"b", L"d", L"e", L"early", L"a"}));
  EXPECT_EQ(a->GetOrder(), 1);
  manager.AlterRemindStyleOrder(a, 2);
  EXPECT_EQ(DisplayOrder(manager), (Names{L"a", L"b", L"d", L"e", L"early"}));
  manager.AlterRemindStyleOrder(nullptr, 1);
  EXPECT_EQ(manager.StyleList.size(), 5u);

  // Renaming moves only the name key.
  CNorvBasePtr<CNorvRemindStyle> b = manager.GetRemindStyle(L"b");
  EXPECT_EQ((Results{manager.RenameRemindStyle(L"b", L"B"), manager.RenameRemindStyle(L"b", L"D"),
                     manager.RenameRemindStyle(L"missing", L"free"),
                     manager.RenameRemindStyle(L"", L"free"), manager.RenameRemindStyle(L"b", L""),
                     manager.RenameRemindStyle(L"B", L"Renamed"),
                     manager.GetRemindStyle(L"renamed") == b, !manager.GetRemindStyle(L"b")}),
            (Results{false, false, false, false, false, true, true, true}));
  EXPECT_EQ(b->GetName(), L"b");
  EXPECT_EQ(DisplayOrder(manager), (Names{L"a", L"b", L"d", L"e", L"early"}));
}

TEST_F(StyleOrder, RemovalLeavesTheDefaultAndGoesByTheStylesCurrentKeys) {
  CNorvBasePtr<CNorvRemindStyle> b = manager.GetRemindStyle(L"b"), d = manager.GetRemindStyle(L"d");
  EXPECT_TRUE(!manager.GetDefRemindStyle());
  manager.SetDefRemindStyle(b);
  EXPECT_EQ((Results{manager.RemoveRemindStyle(CString()), manager.RemoveRemindStyle(CGuid()),
                     manager.RemoveRemindStyle(L"missing"), manager.RemoveRemindStyle(L"B"),
                     manager.RemoveRemindStyle(b->m_ID), manager.RemoveRemindStyle(d->m_ID),
                     manager.RemoveRemindStyle(L"d"), manager.GetDefRemindStyle() == b}),
            (Results{false, false, false, true, false, true, false, true}));
  EXPECT_EQ(DisplayOrder(manager), (Names{L"a", L"e"}));
  EXPECT_EQ(manager.StyleIDMap.size() + manager.StyleNameMap.size(), 4u);

  // Removing a renamed style by identifier erases the name entry of its own
  // name, which a newcomer has taken, and keeps the renamed entry.
  CNorvBasePtr<CNorvRemindStyle> a = manager.GetRemindStyle(L"a"), newA = NewStyle(L"A", 9);
  ASSERT_TRUE(manager.RenameRemindStyle(L"a", L"x"));
  ASSERT_TRUE(manager.AddRemindStyle(newA, true));
  EXPECT_EQ((Results{manager.RemoveRemindStyle(a->m_ID), manager.GetRemindStyle(L"x") == a,
                     !manager.GetRemindStyle(L"a"), manager.GetRemindStyle(newA->m_ID) == newA}),
            (Results{true, true, true, true}));
  EXPECT_EQ(DisplayOrder(manager), (Names{L"e", L"A"}));
  EXPECT_TRUE(manager.RemoveRemindStyle(L"X"));
  EXPECT_EQ(manager.StyleNameMap.size(), 1u);
  manager.SetDefRemindStyle(nullptr);
  EXPECT_TRUE(!manager.GetDefRemindStyle());
}

}  // namespace
