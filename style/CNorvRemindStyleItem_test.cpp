#include "style/CNorvRemindStyleItem.h"

#include <gtest/gtest.h>

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

CString Describe(const ItemList& items) {
  CString out;
  for (const auto& item : items) out.AppendFormat(L"%d %s;", item->m_nDay, item->m_strTime);
  return out;
}

// The items parsed, or the error text of a failing parse.
CString Parse(const CString& text, ItemList& items) {
  CString error;
  if (!CNorvRemindStyleItem::ParseListXML(text, items, error)) return L"error: " + error;
  return Describe(items);
}

TEST(StyleItemParseTest, EachItemFaultGivesItsMessageInStepOrder) {
  struct Case {
    const wchar_t* item;
    const wchar_t* error;  // empty: parses
    int day;
    const wchar_t* time;  // m_strTime afterwards
  } cases[] = {
      {L"<Item Day='2' Time='8:5'/>", L"", 2, L"08:05"},
      {L"<Item Day='12abc' Time='17:30'/>", L"", 12, L"17:30"},
      {L"<Item Day='x' Time='0:00'/>", L"", 0, L"00:00"},
      {L"<Item Day='-3' Time='1:00'/>", L"", -3, L"01:00"},
      {L"<Item Time='9:00'/>", L"未指定提前天数 Day", 0, L""},
      {L"<Item Day='1'/>", L"未指定提醒时间 Time", 1, L""},
      {L"<Item Day='1' Time=''/>", L"指定提醒时间 Time 值为空", 1, L""},
      {L"<Item Day='1' Time='25:00'/>", L"指定提醒时间 Time 值无效", 1, L"25:00:00"},
      {L"<Item Day='1' Time='8:61'/>", L"指定提醒时间 Time 值无效", 1, L"8:61:00"},
      {L"<Item Day='1' Time='9:00:00'/>", L"指定提醒时间 Time 值无效", 1, L"9:00:00:00"},
      {L"<Item Day='1' Time='abc'/>", L"指定提醒时间 Time 值无效", 1, L"abc:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    CNorvXmlDocument document;
    ASSERT_TRUE(CNorvCommFun::ParseXML(c.item, document));
    CNorvRemindStyleItem item;
    CString error;
    EXPECT_EQ(item.ParseXML(document.GetRootElement(), error), *c.error == 0);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(item.m_nDay, c.day);
    EXPECT_EQ(item.m_strTime, c.time);
  }
}

TEST(StyleItemParseTest, ListsTakeTheItemChildrenInDocumentOrder) {
  struct Case {
    const wchar_t* text;
    const wchar_t* result;
  } cases[] = {
      {L"<Def><Item Day='1' Time='9:00'/><Item Day='0' Time='17:30'/></Def>",
       L"1 09:00;0 17:30;"},
      // Names in any case; other nodes and nested items are not items; duplicates stay.
      {L"<Any>text<!-- Item --><Other Day='9' Time='1:00'/><ITEM Day='1' Time='1:00'/>"
       L"<item Day='2' Time='2:00'><Item Day='99' Time='bad'/></item><Item Day='2' Time='2:00'/>"
       L"</Any>",
       L"1 01:00;2 02:00;2 02:00;"},
      {L"<Style><Other/></Style>", L""},
      {L"<S><Item Day='1' Time='9:00'/><Item Day='2'/><Item Day='3' Time='9:00'/></S>",
       L"error: 未指定提醒时间 Time"},
      {L"Item Day=1", L"error: XML数据格式异常"},
      {L"<a></b>", L"error: XML数据格式异常"},
      {L"<S/><S/>", L"error: XML数据格式异常"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ItemList items{MakeItem(5, L"05:00")};
    EXPECT_EQ(Parse(c.text, items), c.result);
  }
  // A failing item keeps the items before it; an empty text keeps the list.
  ItemList items;
  Parse(cases[3].text, items);
  EXPECT_EQ(Describe(items), L"1 09:00;");
  EXPECT_EQ(Parse(L"", items), L"1 09:00;");
}

TEST(StyleItemSortTest, SortsByUnsignedDayThenTimeAsText) {
  ItemList items{MakeItem(1, L"09:00"), MakeItem(0, L"18:00"), MakeItem(-1, L"09:00"),
                 MakeItem(0, L"9:00"),  MakeItem(0, L"10:00"), MakeItem(0, L"a"),
                 MakeItem(0, L"A")};
  CNorvRemindStyleItem::SortStyleItemList(items, true);
  EXPECT_EQ(Describe(items), L"0 10:00;0 18:00;0 9:00;0 A;0 a;1 09:00;-1 09:00;");
  CNorvRemindStyleItem::SortStyleItemList(items, false);
  EXPECT_EQ(Describe(items), L"-1 09:00;1 09:00;0 a;0 A;0 9:00;0 18:00;0 10:00;");
}

TEST(StyleItemSortTest, EqualItemsKeepTheirOrderInBothDirections) {
  auto first = MakeItem(2, L"08:00");
  auto second = MakeItem(2, L"08:00");
  auto other = MakeItem(1, L"08:00");
  for (bool ascending : {true, false}) {
    ItemList items{first, other, second};
    CNorvRemindStyleItem::SortStyleItemList(items, ascending);
    items.remove_if([&](const auto& item) { return item.p == other.p; });
    EXPECT_EQ(items.front().p, first.p) << "ascending=" << ascending;
  }
}

TEST(StyleItemTest, ComparesAndRenders) {
  auto item = MakeItem(3, L"08:30");
  EXPECT_TRUE(item->IsSame(MakeItem(3, L"08:30")));
  EXPECT_FALSE(item->IsSame(MakeItem(4, L"08:30")));
  EXPECT_FALSE(item->IsSame(MakeItem(3, L"8:30")));
  EXPECT_FALSE(item->IsSame(nullptr));
  EXPECT_EQ(item->GenInfo_XML(), L"<Item Day='3' Time='08:30' />");
  EXPECT_EQ(item->GenInfo_Json(), L"{ \"Day\": \"3\", \"Time\": \"08:30\" }");
}

}  // namespace
