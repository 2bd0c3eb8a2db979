#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "manager/CNorvRemindMgr.h"

namespace {

CNorvBasePtr<CNorvRemind> NewRemind() {
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  remind->m_ID.NewID();
  return remind;
}

CGuid Guid(const wchar_t* text) {
  CGuid id;
  EXPECT_TRUE(id.FromString1(text));
  return id;
}

CNorvBasePtr<CNorvRemindStyle> NewStyle(const wchar_t* name, short order) {
  CNorvBasePtr<CNorvRemindStyle> style = new CNorvRemindStyle;
  style->m_ID.NewID();
  style->m_strName = name;
  style->m_nOrder = order;
  return style;
}

std::vector<std::wstring> DisplayOrder(CNorvRemindMgr& manager) {
  std::vector<std::wstring> names;
  for (CNorvRemindStyle* style : manager.StyleList) names.push_back(style->GetName().str());
  return names;
}

using Names = std::vector<std::wstring>;

TEST(RemindRegistry, RefusesNullInvalidAndTakenIdentifiers) {
  CNorvRemindMgr manager;
  EXPECT_FALSE(manager.AddRemind(nullptr));
  CNorvBasePtr<CNorvRemind> unnamed = new CNorvRemind;
  EXPECT_FALSE(manager.AddRemind(unnamed));

  CNorvBasePtr<CNorvRemind> first = NewRemind();
  CNorvBasePtr<CNorvRemind> twin = new CNorvRemind;
  twin->m_ID = first->m_ID;
  EXPECT_TRUE(manager.AddRemind(first));
  EXPECT_FALSE(manager.AddRemind(first));
  EXPECT_FALSE(manager.AddRemind(twin));
  EXPECT_TRUE(manager.GetRemind(first->m_ID) == first);
  EXPECT_EQ(manager.RemindMap.size(), 1u);
}

TEST(RemindRegistry, LooksUpAndRemovesByIdentifier) {
  CNorvRemindMgr manager;
  CNorvBasePtr<CNorvRemind> remind = NewRemind();
  ASSERT_TRUE(manager.AddRemind(remind));

  CGuid unknown;
  unknown.NewID();
  EXPECT_TRUE(!manager.GetRemind(unknown));
  EXPECT_TRUE(!manager.GetRemind(CGuid()));
  EXPECT_FALSE(manager.RemoveRemind(unknown));
  EXPECT_FALSE(manager.RemoveRemind(CGuid()));

  EXPECT_TRUE(manager.RemoveRemind(remind->m_ID));
  EXPECT_FALSE(manager.RemoveRemind(remind->m_ID));
  EXPECT_TRUE(!manager.GetRemind(remind->m_ID));
}

TEST(RemindRegistry, RemovedRemindLivesWhileTheCallerHoldsIt) {
  CNorvRemindMgr manager;
  CGuid id;
  {
    CNorvBasePtr<CNorvRemind> remind = NewRemind();
    remind->m_strContent = L"still here";
    id = remind->m_ID;
    ASSERT_TRUE(manager.AddRemind(remind));
  }
  CNorvBasePtr<CNorvRemind> held = manager.GetRemind(id);
  ASSERT_TRUE(manager.RemoveRemind(id));
  CString content, contentType;
  held->GetContent(content, contentType);
  EXPECT_EQ(content, L"still here");
}

TEST(RemindRegistry, ListIsByIdentifierAndReplacesTheCallersList) {
  CNorvRemindMgr manager;
  CNorvRemindMgr::RemindList list;
  list.push_back(NewRemind());
  manager.GetRemindList(list);
  EXPECT_TRUE(list.empty());

  const wchar_t* ids[] = {L"30000000-0000-0000-0000-000000000000",
                          L"10000000-0000-0000-0000-000000000000",
                          L"20000000-0000-0000-0000-000000000000"};
  for (const wchar_t* id : ids) {
    CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
    remind->m_ID = Guid(id);
    ASSERT_TRUE(manager.AddRemind(remind));
  }
  list.push_back(NewRemind());
  manager.GetRemindList(list);
  ASSERT_EQ(list.size(), 3u);
  std::vector<std::wstring> order;
  for (CNorvRemind* remind : list) order.push_back(remind->m_ID.GetString1().str());
  EXPECT_EQ(order, (Names{ids[1], ids[2], ids[0]}));
}

TEST(StyleRegistry, RefusesNamelessInvalidAndTakenStyles) {
  CNorvRemindMgr manager;
  EXPECT_FALSE(manager.AddRemindStyle(nullptr, true));
  EXPECT_FALSE(manager.AddRemindStyle(NewStyle(L"", 1), true));
  CNorvBasePtr<CNorvRemindStyle> noID = NewStyle(L"x", 1);
  noID->m_ID = CGuid();
  EXPECT_FALSE(manager.AddRemindStyle(noID, true));

  CNorvBasePtr<CNorvRemindStyle> upper = NewStyle(L"ABC", 1);
  ASSERT_TRUE(manager.AddRemindStyle(upper, true));
  EXPECT_FALSE(manager.AddRemindStyle(NewStyle(L"abc", 2), true));
  CNorvBasePtr<CNorvRemindStyle> sameID = NewStyle(L"other", 1);
  sameID->m_ID = upper->m_ID;
  EXPECT_FALSE(manager.AddRemindStyle(sameID, true));
  EXPECT_FALSE(manager.AddRemindStyle(upper, false));

  EXPECT_TRUE(manager.GetRemindStyle(L"abc") == upper);
  EXPECT_TRUE(manager.GetRemindStyle(L"Abc") == upper);
  EXPECT_TRUE(manager.GetRemindStyle(upper->m_ID) == upper);
  EXPECT_TRUE(!manager.GetRemindStyle(CString()));
  EXPECT_TRUE(!manager.GetRemindStyle(CGuid()));
  EXPECT_EQ(manager.StyleIDMap.size(), 1u);
  EXPECT_EQ(manager.StyleNameMap.size(), 1u);
  EXPECT_EQ(DisplayOrder(manager), Names{L"ABC"});
}

class StyleOrder : public testing::Test {
 protected:
  void SetUp() override {
    // Added out of order: the sorted insertion places them.
    const std::pair<const wchar_t*, short> styles[] = {{L"e", 3}, {L"d", 2}, {L"a", 1}, {L"b", 2}};
    for (auto [name, order] : styles) ASSERT_TRUE(manager.AddRemindStyle(NewStyle(name, order), true));
    ASSERT_EQ(DisplayOrder(manager), (Names{L"a", L"b", L"d", L"e"}));
  }

  CNorvRemindMgr manager;
};

TEST_F(StyleOrder, SortsByOrderThenByExactName) {
  EXPECT_TRUE(manager.AddRemindStyle(NewStyle(L"c", 2), true));
  EXPECT_EQ(DisplayOrder(manager), (Names{L"a", L"b", L"c", L"d", L"e"}));
  // Upper-case letters come before lower-case ones.
  EXPECT_TRUE(manager.AddRemindStyle(NewStyle(L"C2", 2), true));
  EXPECT_EQ(DisplayOrder(manager), (Names{L"a", L"C2", L"b", L"c", L"d", L"e"}));
  EXPECT_FALSE(manager.AddRemindStyle(NewStyle(L"B", 2), true));
  EXPECT_EQ(manager.GetRemindStyleMaxOrder(), 3);
}

TEST_F(StyleOrder, UnsortedAddAppendsAndMaxOrderReadsTheLast) {
  EXPECT_TRUE(manager.AddRemindStyle(NewStyle(L"early", 0), false));
  EXPECT_EQ(DisplayOrder(manager), (Names{L"a", L"b", L"d", L"e", L"early"}));
  EXPECT_EQ(manager.GetRemindStyleMaxOrder(), 0);
  EXPECT_EQ(CNorvRemindMgr().GetRemindStyleMaxOrder(), 0);
}

TEST_F(StyleOrder, AlterOrderMovesOnlyThePosition) {
  CNorvBasePtr<CNorvRemindStyle> a = manager.GetRemindStyle(L"a");
  manager.AlterRemindStyleOrder(a, 5);
  EXPECT_EQ(DisplayOrder(manager), (Names{L"b", L"d", L"e", L"a"}));
  EXPECT_EQ(a->GetOrder(), 1);
  manager.AlterRemindStyleOrder(a, 2);
  EXPECT_EQ(DisplayOrder(manager), (Names{L"a", L"b", L"d", L"e"}));
  manager.AlterRemindStyleOrder(nullptr, 1);
  EXPECT_EQ(manager.StyleList.size(), 4u);
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

TEST_F(StyleOrder, RemovalEmptiesAllThreeContainersButNotTheDefault) {
  CNorvBasePtr<CNorvRemindStyle> b = manager.GetRemindStyle(L"b");
  CNorvBasePtr<CNorvRemindStyle> d = manager.GetRemindStyle(L"d");
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
  EXPECT_EQ(b->GetName(), L"b");  // still alive through the default
}

TEST_F(StyleOrder, RemovalAfterRenameLeavesTheNewOwnerOfTheOldName) {
  CNorvBasePtr<CNorvRemindStyle> b = manager.GetRemindStyle(L"b");
  ASSERT_TRUE(manager.RenameRemindStyle(L"b", L"x"));
  CNorvBasePtr<CNorvRemindStyle> newB = NewStyle(L"b", 9);
  ASSERT_TRUE(manager.AddRemindStyle(newB, true));

  EXPECT_TRUE(manager.RemoveRemindStyle(b->m_ID));
  EXPECT_TRUE(!manager.GetRemindStyle(L"x"));
  EXPECT_TRUE(manager.GetRemindStyle(L"b") == newB);
  EXPECT_EQ(DisplayOrder(manager), (Names{L"a", L"d", L"e", L"b"}));
  EXPECT_EQ(manager.StyleNameMap.size(), 4u);
}

TEST(StyleRegistry, DefaultIsOnlyWhatSetDefRemindStyleSays) {
  CNorvRemindMgr manager;
  EXPECT_TRUE(!manager.GetDefRemindStyle());
  CNorvBasePtr<CNorvRemindStyle> flagged = NewStyle(L"flagged", 1);
  flagged->m_bDefault = true;
  ASSERT_TRUE(manager.AddRemindStyle(flagged, true));
  EXPECT_TRUE(!manager.GetDefRemindStyle());

  CNorvBasePtr<CNorvRemindStyle> unregistered = NewStyle(L"loose", 1);
  manager.SetDefRemindStyle(unregistered);
  EXPECT_TRUE(manager.GetDefRemindStyle() == unregistered);
  EXPECT_FALSE(unregistered->IsDefault());
  manager.SetDefRemindStyle(nullptr);
  EXPECT_TRUE(!manager.GetDefRemindStyle());
}

TEST(StyleRegistry, ListTextsWrapTheStylesInDisplayOrder) {
  CNorvRemindMgr manager;
  EXPECT_EQ(manager.GenRemindStyleListInfo_XML(), L"");
  EXPECT_EQ(manager.GenRemindStyleListInfo_Json(), L"");

  CNorvBasePtr<CNorvRemindStyle> second = NewStyle(L"Weekly & more", 2);
  second->m_ID = Guid(L"22222222-2222-2222-2222-222222222222");
  second->m_bDefault = true;
  second->m_strDef = L"<Item Day='1' Time='08:00' />";
  CNorvBasePtr<CNorvRemindStyle> first = NewStyle(L"Daily", 1);
  first->m_ID = Guid(L"11111111-1111-1111-1111-111111111111");
  ASSERT_TRUE(manager.AddRemindStyle(second, true));
  ASSERT_TRUE(manager.AddRemindStyle(first, true));

  EXPECT_EQ(manager.GenRemindStyleListInfo_XML(),
            L"<Body>"
            L"<Style ID='{11111111-1111-1111-1111-111111111111}' Order='1'><Name>Daily</Name>"
            L"</Style>"
            L"<Style ID='{22222222-2222-2222-2222-222222222222}' Order='2' IsDefault='1'>"
            L"<Name>Weekly &amp; more</Name></Style>"
            L"</Body>");
  EXPECT_EQ(manager.GenRemindStyleListInfo_Json(),
            L"[ { \"ID\": \"{11111111-1111-1111-1111-111111111111}\", \"Order\": \"1\", "
            L"\"Name\": \"Daily\" }, "
            L"{ \"ID\": \"{22222222-2222-2222-2222-222222222222}\", \"Order\": \"2\", "
            L"\"IsDefault\": \"1\", \"Name\": \"Weekly & more\" } ]");

  manager.RemoveRemindStyle(first->m_ID);
  manager.RemoveRemindStyle(second->m_ID);
  EXPECT_EQ(manager.GenRemindStyleListInfo_XML(), L"");
  EXPECT_EQ(manager.GenRemindStyleListInfo_Json(), L"");
}

}  // namespace
