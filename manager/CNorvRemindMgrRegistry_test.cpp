#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "manager/CNorvRemindMgr.h"

namespace {

using Names = std::vector<std::wstring>;

CNorvBasePtr<CNorvRemind> NewRemind(const wchar_t* id = nullptr) {
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  if (id == nullptr) {
    remind->m_ID.NewID();
  } else {
    remind->m_ID.FromString1(id);
  }
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

TEST(RemindRegistry, AddsLooksUpRemovesAndListsByIdentifier) {
  CNorvRemindMgr manager;
  CNorvBasePtr<CNorvRemind> first = NewRemind(), twin = new CNorvRemind, unnamed = new CNorvRemind;
  twin->m_ID = first->m_ID;
  EXPECT_FALSE(manager.AddRemind(nullptr));
  EXPECT_FALSE(manager.AddRemind(unnamed));
  EXPECT_TRUE(manager.AddRemind(first));
  EXPECT_FALSE(manager.AddRemind(first));
  EXPECT_FALSE(manager.AddRemind(twin));
  EXPECT_TRUE(manager.GetRemind(first->m_ID) == first);
  // A refused fresh remind is neither deleted under its caller nor kept.
  auto* fresh = new CNorvRemind;
  fresh->m_ID = first->m_ID;
  EXPECT_FALSE(manager.AddRemind(fresh));
  CNorvBasePtr<CNorvRemind> adopted = fresh;

  CGuid unknown;
  unknown.NewID();
  EXPECT_TRUE(!manager.GetRemind(unknown));
  EXPECT_TRUE(!manager.GetRemind(CGuid()));
  EXPECT_FALSE(manager.RemoveRemind(unknown));
  EXPECT_FALSE(manager.RemoveRemind(CGuid()));

  // The caller's pointer keeps a removed remind alive.
  CNorvBasePtr<CNorvRemind> held = manager.GetRemind(first->m_ID);
  first = twin = nullptr;
  held->m_strContent = L"still here";
  EXPECT_TRUE(manager.RemoveRemind(held->m_ID));
  EXPECT_FALSE(manager.RemoveRemind(held->m_ID));
  EXPECT_TRUE(!manager.GetRemind(held->m_ID));
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
}

TEST(StyleRegistry, RefusesNamelessInvalidAndTakenStylesAndIgnoresCaseInLookups) {
  CNorvRemindMgr manager;
  CNorvBasePtr<CNorvRemindStyle> upper = NewStyle(L"ABC", 1), noID = NewStyle(L"x", 1),
                                 sameID = NewStyle(L"other", 1);
  noID->m_ID = CGuid();
  sameID->m_ID = upper->m_ID;
  EXPECT_FALSE(manager.AddRemindStyle(nullptr, true));
  EXPECT_FALSE(manager.AddRemindStyle(NewStyle(L"", 1), true));
  EXPECT_FALSE(manager.AddRemindStyle(noID, true));
  ASSERT_TRUE(manager.AddRemindStyle(upper, true));
  EXPECT_FALSE(manager.AddRemindStyle(NewStyle(L"abc", 2), true));
  EXPECT_FALSE(manager.AddRemindStyle(sameID, true));
  EXPECT_FALSE(manager.AddRemindStyle(upper, false));

  EXPECT_TRUE(manager.GetRemindStyle(L"abc") == upper);
  EXPECT_TRUE(manager.GetRemindStyle(upper->m_ID) == upper);
  EXPECT_TRUE(!manager.GetRemindStyle(CString()));
  EXPECT_TRUE(!manager.GetRemindStyle(CGuid()));
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
  struct Case {
    const wchar_t* name;
    short order;
    bool added;
    Names display;
  } cases[] = {
      {L"c", 2, true, {L"a", L"b", L"c", L"d", L"e"}},
      {L"C", 2, true, {L"a", L"C", L"b", L"d", L"e"}},  // upper case sorts first
      {L"B", 2, false, {L"a", L"b", L"d", L"e"}},       // the name is taken
      {L"z", 3, true, {L"a", L"b", L"d", L"e", L"z"}},
      {L"zero", 0, true, {L"zero", L"a", L"b", L"d", L"e"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << CString(c.name).ToUtf8() << " " << c.order);
    CNorvRemindMgr fresh;
    for (CNorvRemindStyle* style : manager.StyleList) fresh.AddRemindStyle(style, false);
    EXPECT_EQ(fresh.AddRemindStyle(NewStyle(c.name, c.order), true), c.added);
    EXPECT_EQ(DisplayOrder(fresh), c.display);
  }
}

TEST_F(StyleOrder, UnsortedAddAppendsAndAlterOrderMovesOnlyThePosition) {
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
}

TEST_F(StyleOrder, RenameMovesOnlyTheNameKey) {
  CNorvBasePtr<CNorvRemindStyle> b = manager.GetRemindStyle(L"b");
  EXPECT_FALSE(manager.RenameRemindStyle(L"b", L"B"));
  EXPECT_FALSE(manager.RenameRemindStyle(L"b", L"D"));
  EXPECT_FALSE(manager.RenameRemindStyle(L"missing", L"free"));
  EXPECT_FALSE(manager.RenameRemindStyle(L"", L"free"));
  EXPECT_FALSE(manager.RenameRemindStyle(L"b", L""));
  EXPECT_TRUE(manager.RenameRemindStyle(L"B", L"Renamed"));
  EXPECT_TRUE(manager.GetRemindStyle(L"renamed") == b);
  EXPECT_TRUE(!manager.GetRemindStyle(L"b"));
  EXPECT_EQ(b->GetName(), L"b");
  EXPECT_EQ(DisplayOrder(manager), (Names{L"a", L"b", L"d", L"e"}));
}

TEST_F(StyleOrder, RemovalLeavesTheDefaultAndGoesByTheStylesCurrentKeys) {
  CNorvBasePtr<CNorvRemindStyle> b = manager.GetRemindStyle(L"b"), d = manager.GetRemindStyle(L"d");
  EXPECT_TRUE(!manager.GetDefRemindStyle());
  manager.SetDefRemindStyle(b);
  EXPECT_FALSE(manager.RemoveRemindStyle(CString()));
  EXPECT_FALSE(manager.RemoveRemindStyle(CGuid()));
  EXPECT_FALSE(manager.RemoveRemindStyle(L"missing"));
  EXPECT_TRUE(manager.RemoveRemindStyle(L"B"));
  EXPECT_FALSE(manager.RemoveRemindStyle(b->m_ID));
  EXPECT_TRUE(manager.RemoveRemindStyle(d->m_ID));
  EXPECT_FALSE(manager.RemoveRemindStyle(L"d"));
  EXPECT_EQ(DisplayOrder(manager), (Names{L"a", L"e"}));
  EXPECT_EQ(manager.StyleIDMap.size(), 2u);
  EXPECT_EQ(manager.StyleNameMap.size(), 2u);
  EXPECT_TRUE(manager.GetDefRemindStyle() == b);

  // Removing a renamed style by identifier erases the name entry of its own
  // name, which a newcomer has taken, and keeps the renamed entry.
  CNorvBasePtr<CNorvRemindStyle> a = manager.GetRemindStyle(L"a"), newA = NewStyle(L"A", 9);
  ASSERT_TRUE(manager.RenameRemindStyle(L"a", L"x"));
  ASSERT_TRUE(manager.AddRemindStyle(newA, true));
  EXPECT_TRUE(manager.RemoveRemindStyle(a->m_ID));
  EXPECT_TRUE(manager.GetRemindStyle(L"x") == a);
  EXPECT_TRUE(!manager.GetRemindStyle(L"a"));
  EXPECT_TRUE(manager.GetRemindStyle(newA->m_ID) == newA);
  EXPECT_EQ(DisplayOrder(manager), (Names{L"e", L"A"}));
  EXPECT_TRUE(manager.RemoveRemindStyle(L"X"));
  EXPECT_EQ(manager.StyleNameMap.size(), 1u);
  manager.SetDefRemindStyle(nullptr);
  EXPECT_TRUE(!manager.GetDefRemindStyle());
}

TEST(StyleRegistry, ListTextsWrapTheStylesInDisplayOrder) {
  CNorvRemindMgr manager;
  EXPECT_EQ(manager.GenRemindStyleListInfo_XML(), L"");
  EXPECT_EQ(manager.GenRemindStyleListInfo_Json(), L"");

  CNorvBasePtr<CNorvRemindStyle> second = NewStyle(L"Weekly & more", 2),
                                 first = NewStyle(L"Daily", 1);
  second->m_ID.FromString1(L"22222222-2222-2222-2222-222222222222");
  second->m_bDefault = true;
  first->m_ID.FromString1(L"11111111-1111-1111-1111-111111111111");
  ASSERT_TRUE(manager.AddRemindStyle(second, true));
  ASSERT_TRUE(manager.AddRemindStyle(first, true));
  EXPECT_TRUE(!manager.GetDefRemindStyle());  // the style's flag alone does not make it the default
  EXPECT_EQ(manager.GenRemindStyleListInfo_XML(),
            L"<Body><Style ID='{11111111-1111-1111-1111-111111111111}' Order='1'><Name>Daily</Name>"
            L"</Style><Style ID='{22222222-2222-2222-2222-222222222222}' Order='2' IsDefault='1'>"
            L"<Name>Weekly &amp; more</Name></Style></Body>");
  EXPECT_EQ(manager.GenRemindStyleListInfo_Json(),
            L"[ { \"ID\": \"{11111111-1111-1111-1111-111111111111}\", \"Order\": \"1\", "
            L"\"Name\": \"Daily\" }, { \"ID\": \"{22222222-2222-2222-2222-222222222222}\", "
            L"\"Order\": \"2\", \"IsDefault\": \"1\", \"Name\": \"Weekly & more\" } ]");
}

}  // namespace
