#include "style/CNorvRemindStyleItem.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/CNorvCommFun.h"
#include "core/CNorvXmlDocument.h"

namespace {

using ItemList = std::list<CNorvBasePtr<CNorvRemindStyleItem>>;

CNorvBasePtr<CNorvRemindStyleItem> MakeItem(int day, const wchar_t* time) {
  CNorvBasePtr<CNorvRemindStyleItem> item(new CNorvRemindStyleItem);
  item->m_nDay = day;
  item->m_strTime = time;
  return item;
}

std::vector<std::wstring> Describe(const ItemList& items) {
  std::vector<std::wstring> out;
  for (const auto& item : items) out.push_back(item->GenInfo_XML().str());
  return out;
}

// The error text of a failing item, or "ok".
std::wstring ParseItem(const wchar_t* xml, CNorvRemindStyleItem& item) {
  CNorvXmlDocument document;
  EXPECT_TRUE(CNorvCommFun::ParseXML(xml, document)) << "test input is not XML";
  CString error;
  return item.ParseXML(document.GetRootElement(), error) ? L"ok" : error.str();
}

TEST(StyleItemParseTest, ReadsItemsInDocumentOrderAndNormalisesTimes) {
  ItemList items;
  CString error;
  ASSERT_TRUE(CNorvRemindStyleItem::ParseListXML(
      L"<Style><Item Day='1' Time='9:00'/><Item Day='0' Time='17:30'/></Style>", items, error));
  EXPECT_EQ(Describe(items), (std::vector<std::wstring>{L"<Item Day='1' Time='09:00' />",
                                                        L"<Item Day='0' Time='17:30' />"}));
  EXPECT_EQ(error, L"");

  CNorvRemindStyleItem item;
  EXPECT_EQ(ParseItem(L"<Item Day='2' Time='8:5'/>", item), L"ok");
  EXPECT_EQ(item.m_strTime, L"08:05");
  EXPECT_EQ(item.m_nDay, 2);
}

TEST(StyleItemParseTest, ItemNamesMatchInAnyCaseAndOtherNodesAreIgnored) {
  ItemList items;
  CString error;
  ASSERT_TRUE(CNorvRemindStyleItem::ParseListXML(
      L"<Any>text<!-- Item --><Other Day='9' Time='1:00'/><ITEM Day='1' Time='1:00'/>"
      L"<item Day='2' Time='2:00'><Item Day='99' Time='bad'/></item>"
      L"<?Item Day='3'?><Item Day='2' Time='2:00'/></Any>",
      items, error));
  // Nested items are not items of the list; duplicates are kept.
  EXPECT_EQ(Describe(items), (std::vector<std::wstring>{L"<Item Day='1' Time='01:00' />",
                                                        L"<Item Day='2' Time='02:00' />",
                                                        L"<Item Day='2' Time='02:00' />"}));
}

TEST(StyleItemParseTest, EachFaultGivesItsOwnMessageInStepOrder) {
  struct Case {
    const wchar_t* xml;
    const wchar_t* message;
  };
  const Case cases[] = {
      {L"<Item Time='9:00'/>", L"未指定提前天数 Day"},
      {L"<Item/>", L"未指定提前天数 Day"},
      {L"<Item Day='1'/>", L"未指定提醒时间 Time"},
      {L"<Item Day='1' Time=''/>", L"指定提醒时间 Time 值为空"},
      {L"<Item Day='1' Time='25:00'/>", L"指定提醒时间 Time 值无效"},
      {L"<Item Day='1' Time='8:61'/>", L"指定提醒时间 Time 值无效"},
      {L"<Item Day='1' Time='9:00:00'/>", L"指定提醒时间 Time 值无效"},
      {L"<Item Day='1' Time='abc'/>", L"指定提醒时间 Time 值无效"},
      {L"<Item Day='x' Time='0:00'/>", L"ok"},
  };
  for (const Case& c : cases) {
    CNorvRemindStyleItem item;
    EXPECT_EQ(ParseItem(c.xml, item), c.message) << c.xml;
  }
}

TEST(StyleItemParseTest, GarbageDaysReadAsTheirLeadingNumber) {
  CNorvRemindStyleItem item;
  ASSERT_EQ(ParseItem(L"<Item Day='abc' Time='1:00'/>", item), L"ok");
  EXPECT_EQ(item.m_nDay, 0);
  ASSERT_EQ(ParseItem(L"<Item Day='12abc' Time='1:00'/>", item), L"ok");
  EXPECT_EQ(item.m_nDay, 12);
  ASSERT_EQ(ParseItem(L"<Item Day='-3' Time='1:00'/>", item), L"ok");
  EXPECT_EQ(item.m_nDay, -3);
}

TEST(StyleItemParseTest, RejectedTimeKeepsTheAppendedText) {
  CNorvRemindStyleItem item;
  ASSERT_EQ(ParseItem(L"<Item Day='1' Time='25:00'/>", item), L"指定提醒时间 Time 值无效");
  EXPECT_EQ(item.m_strTime, L"25:00:00");
}

TEST(StyleItemParseTest, AFailingItemKeepsTheItemsBeforeIt) {
  ItemList items;
  CString error;
  EXPECT_FALSE(CNorvRemindStyleItem::ParseListXML(
      L"<S><Item Day='1' Time='9:00'/><Item Day='2'/><Item Day='3' Time='9:00'/></S>", items,
      error));
  EXPECT_EQ(error, L"未指定提醒时间 Time");
  EXPECT_EQ(Describe(items), (std::vector<std::wstring>{L"<Item Day='1' Time='09:00' />"}));
}

TEST(StyleItemParseTest, EmptyTextLeavesTheListAsItWas) {
  ItemList items{MakeItem(5, L"05:00")};
  CString error = L"untouched";
  EXPECT_TRUE(CNorvRemindStyleItem::ParseListXML(CString(), items, error));
  EXPECT_EQ(items.size(), 1u);
  EXPECT_EQ(error, L"untouched");
}

TEST(StyleItemParseTest, ARootWithoutItemsReplacesTheListWithNothing) {
  ItemList items{MakeItem(5, L"05:00")};
  CString error;
  EXPECT_TRUE(CNorvRemindStyleItem::ParseListXML(L"<Style><Other/></Style>", items, error));
  EXPECT_TRUE(items.empty());
}

TEST(StyleItemParseTest, TextThatIsNotXmlIsRejected) {
  for (const wchar_t* text : {L"Item Day=1", L"<Item Day='1' Time='9:00'>", L"<a></b>",
                              L"   ", L"<S><Item Day='1' Time='9:00'/></S><S/>"}) {
    ItemList items{MakeItem(5, L"05:00")};
    CString error;
    EXPECT_FALSE(CNorvRemindStyleItem::ParseListXML(text, items, error)) << text;
    EXPECT_EQ(error, L"XML数据格式异常") << text;
  }
}

TEST(StyleItemParseTest, HostileDefinitionsDoNotCrash) {
  // Nesting far deeper than any stack allows, beside one real item.
  std::wstring deep = L"<S><Item Day='1' Time='9:00'/>";
  for (int i = 0; i < 100000; ++i) deep += L"<d>";
  for (int i = 0; i < 100000; ++i) deep += L"</d>";
  deep += L"</S>";
  ItemList items;
  CString error;
  EXPECT_TRUE(CNorvRemindStyleItem::ParseListXML(deep, items, error));
  EXPECT_EQ(items.size(), 1u);

  std::wstring huge = L"<S><Item Day='1' Time='" + std::wstring(1 << 20, L'9') + L"'/></S>";
  EXPECT_FALSE(CNorvRemindStyleItem::ParseListXML(huge, items, error));
  EXPECT_EQ(error, L"指定提醒时间 Time 值无效");
  EXPECT_TRUE(items.empty());
}

TEST(StyleItemSortTest, SortsByDayThenTimeInBothDirections) {
  ItemList items{MakeItem(1, L"09:00"), MakeItem(0, L"17:30"), MakeItem(0, L"18:00"),
                 MakeItem(0, L"08:00")};
  CNorvRemindStyleItem::SortStyleItemList(items, true);
  EXPECT_EQ(Describe(items), (std::vector<std::wstring>{
                                 L"<Item Day='0' Time='08:00' />", L"<Item Day='0' Time='17:30' />",
                                 L"<Item Day='0' Time='18:00' />", L"<Item Day='1' Time='09:00' />"}));
  CNorvRemindStyleItem::SortStyleItemList(items, false);
  EXPECT_EQ(Describe(items), (std::vector<std::wstring>{
                                 L"<Item Day='1' Time='09:00' />", L"<Item Day='0' Time='18:00' />",
                                 L"<Item Day='0' Time='17:30' />", L"<Item Day='0' Time='08:00' />"}));
}

TEST(StyleItemSortTest, NegativeDaysCompareAsUnsigned) {
  ItemList items{MakeItem(-1, L"09:00"), MakeItem(100, L"09:00"), MakeItem(0, L"09:00")};
  CNorvRemindStyleItem::SortStyleItemList(items, true);
  EXPECT_EQ(Describe(items), (std::vector<std::wstring>{L"<Item Day='0' Time='09:00' />",
                                                        L"<Item Day='100' Time='09:00' />",
                                                        L"<Item Day='-1' Time='09:00' />"}));
  CNorvRemindStyleItem::SortStyleItemList(items, false);
  EXPECT_EQ(items.front()->m_nDay, -1);
}

TEST(StyleItemSortTest, TimesCompareAsTextCodeUnitByCodeUnit) {
  // Not normalised by a parser: "9:00" sorts after "10:00" as text.
  ItemList items{MakeItem(0, L"9:00"), MakeItem(0, L"10:00"), MakeItem(0, L"a"),
                 MakeItem(0, L"A")};
  CNorvRemindStyleItem::SortStyleItemList(items, true);
  EXPECT_EQ(Describe(items), (std::vector<std::wstring>{
                                 L"<Item Day='0' Time='10:00' />", L"<Item Day='0' Time='9:00' />",
                                 L"<Item Day='0' Time='A' />", L"<Item Day='0' Time='a' />"}));
}

TEST(StyleItemSortTest, EqualItemsKeepTheirOrderInBothDirections) {
  auto first = MakeItem(2, L"08:00");
  auto second = MakeItem(2, L"08:00");
  auto third = MakeItem(2, L"08:00");
  auto other = MakeItem(1, L"08:00");
  for (bool ascending : {true, false}) {
    ItemList items{first, other, second, third};
    CNorvRemindStyleItem::SortStyleItemList(items, ascending);
    std::vector<CNorvRemindStyleItem*> equal;
    for (const auto& item : items) {
      if (item.p != other.p) equal.push_back(item.p);
    }
    EXPECT_EQ(equal, (std::vector<CNorvRemindStyleItem*>{first.p, second.p, third.p}))
        << "ascending=" << ascending;
  }
}

TEST(StyleItemTest, IsSameComparesDayAndExactTime) {
  auto item = MakeItem(3, L"08:30");
  EXPECT_TRUE(item->IsSame(MakeItem(3, L"08:30")));
  EXPECT_FALSE(item->IsSame(MakeItem(4, L"08:30")));
  EXPECT_FALSE(item->IsSame(MakeItem(3, L"08:31")));
  EXPECT_FALSE(item->IsSame(MakeItem(3, L"8:30")));
  EXPECT_FALSE(item->IsSame(nullptr));
}

TEST(StyleItemTest, RendersXmlAndJsonWithTheDayQuoted) {
  auto item = MakeItem(3, L"08:30");
  EXPECT_EQ(item->GenInfo_XML(), L"<Item Day='3' Time='08:30' />");
  EXPECT_EQ(item->GenInfo_Json(), L"{ \"Day\": \"3\", \"Time\": \"08:30\" }");
  EXPECT_EQ(MakeItem(-2, L"00:00")->GenInfo_Json(), L"{ \"Day\": \"-2\", \"Time\": \"00:00\" }");
}

}  // namespace
