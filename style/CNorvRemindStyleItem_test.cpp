#include "style/CNorvRemindStyleItem.h"

#include <gtest/gtest.h>

#include <string>

#include "core/base/CNorvCommFun.h"
#include "core/base/CNorvXmlDocument.h"

namespace {

using ItemList = std::list<CNorvBasePtr<CNorvRemindStyleItem>>;

CNorvBasePtr<CNorvRemindStyleItem> MakeItem(int day, const wchar_t* time) {
  CNorvBasePtr<CNorvRemindStyleItem> item(new CNorvRemindStyleItem);
  item->m_nDay = day;
  item->m_strTime = time;
  return item;
}

// The items as "day@time" joined by blanks.
std::wstring Describe(const ItemList& items) {
  std::wstring out;
  for (const auto& item : items) {
    out +=
        (out.empty() ? L"" : L" ") + std::to_wstring(item->m_nDay) + L"@" + item->m_strTime.str();
  }
  return out;
}

// Parses a definition text into a list that held one item: the error text or
// "ok", then the items left.
std::wstring ParseList(const wchar_t* text) {
  ItemList items{MakeItem(5, L"05:00")};
  CString error;
  bool ok = CNorvRemindStyleItem::ParseListXML(text, items, error);
  return (ok ? L"ok" : error.str()) + L": " + Describe(items);
}

TEST(StyleItemParse, OneItemStepByStep) {
  const struct {
    const wchar_t* xml;
    const wchar_t* result;
  } cases[] = {
      {L"<Item Time='9:00'/>", L"未指定提前天数 Day"},
      {L"<Item Day='1'/>", L"未指定提醒时间 Time"},
      {L"<Item Day='1' Time=''/>", L"指定提醒时间 Time 值为空"},
      {L"<Item Day='1' Time='25:00'/>", L"指定提醒时间 Time 值无效: 1@25:00:00"},
      {L"<Item Day='1' Time='8:61'/>", L"指定提醒时间 Time 值无效: 1@8:61:00"},
      {L"<Item Day='1' Time='9:00:00'/>", L"指定提醒时间 Time 值无效: 1@9:00:00:00"},
      {L"<Item Day='1' Time='abc'/>", L"指定提醒时间 Time 值无效: 1@abc:00"},
      {L"<Item Day='2' Time='8:5'/>", L"ok: 2@08:05"},
      {L"<Item Day='12abc' Time='17:30'/>", L"ok: 12@17:30"},
      {L"<Item Day='x' Time='0:00'/>", L"ok: 0@00:00"},
      {L"<Item Day='-3' Time='1:00'/>", L"ok: -3@01:00"},
  };
  for (const auto& c : cases) {
    CNorvXmlDocument document;
    ASSERT_TRUE(CNorvCommFun::ParseXML(c.xml, document));
    CNorvRemindStyleItem item;
    CString error;
    std::wstring result = item.ParseXML(document.GetRootElement(), error) ? L"ok" : error.str();
    // Once the time is read, the fields show what the parser left.
    if (!item.m_strTime.IsEmpty())
      result += L": " + Describe({MakeItem(item.m_nDay, item.m_strTime)});
    EXPECT_EQ(result, c.result) << CString(c.xml).ToUtf8();
  }
}

TEST(StyleItemParse, DefinitionTexts) {
  const struct {
    const wchar_t* text;
    const wchar_t* result;
  } cases[] = {
      {L"<Style><Item Day='1' Time='9:00'/><Item Day='0' Time='17:30'/></Style>",
       L"ok: 1@09:00 0@17:30"},
      // Items in any case; other nodes and nested items are not items; duplicates stay.
      {L"<Any>text<!-- Item --><Other Day='9' Time='1:00'/><ITEM Day='1' Time='1:00'/>"
       L"<item Day='2' Time='2:00'><Item Day='99' Time='bad'/></item><?Item Day='3'?>"
       L"<Item Day='2' Time='2:00'/></Any>",
       L"ok: 1@01:00 2@02:00 2@02:00"},
      {L"<S><Item Day='1' Time='9:00'/><Item Day='2'/><Item Day='3' Time='9:00'/></S>",
       L"未指定提醒时间 Time: 1@09:00"},
      {L"", L"ok: 5@05:00"},
      {L"<Style><Other/></Style>", L"ok: "},
      {L"Item Day=1", L"XML数据格式异常: 5@05:00"},
      {L"<Item Day='1' Time='9:00'>", L"XML数据格式异常: 5@05:00"},
      {L"   ", L"XML数据格式异常: 5@05:00"},
      {L"<S/><S/>", L"XML数据格式异常: 5@05:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseList(c.text), c.result) << CString(c.text).ToUtf8();
}

TEST(StyleItemSort, DayUnsignedThenTimeAsText) {
  const struct {
    ItemList items;
    const wchar_t* ascending;
    const wchar_t* descending;
  } cases[] = {
      {{MakeItem(1, L"09:00"), MakeItem(0, L"17:30"), MakeItem(0, L"18:00"), MakeItem(0, L"08:00")},
       L"0@08:00 0@17:30 0@18:00 1@09:00",
       L"1@09:00 0@18:00 0@17:30 0@08:00"},
      {{MakeItem(-1, L"09:00"), MakeItem(100, L"09:00"), MakeItem(0, L"09:00")},
       L"0@09:00 100@09:00 -1@09:00",
       L"-1@09:00 100@09:00 0@09:00"},
      {{MakeItem(0, L"9:00"), MakeItem(0, L"10:00"), MakeItem(0, L"a"), MakeItem(0, L"A")},
       L"0@10:00 0@9:00 0@A 0@a",
       L"0@a 0@A 0@9:00 0@10:00"},
  };
  for (const auto& c : cases) {
    ItemList items = c.items;
    CNorvRemindStyleItem::SortStyleItemList(items, true);
    EXPECT_EQ(Describe(items), c.ascending);
    CNorvRemindStyleItem::SortStyleItemList(items, false);
    EXPECT_EQ(Describe(items), c.descending);
  }
}

TEST(StyleItemSort, EqualItemsKeepTheirOrderInBothDirections) {
  auto first = MakeItem(2, L"08:00"), second = MakeItem(2, L"08:00"), other = MakeItem(1, L"08:00");
  for (bool ascending : {true, false}) {
    ItemList items{first, other, second};
    CNorvRemindStyleItem::SortStyleItemList(items, ascending);
    items.remove(other);
    EXPECT_EQ(items.front().p, first.p) << ascending;
    EXPECT_EQ(items.back().p, second.p) << ascending;
  }
}

TEST(StyleItem, IsSameAndTexts) {
  auto item = MakeItem(3, L"08:30");
  EXPECT_TRUE(item->IsSame(MakeItem(3, L"08:30")));
  EXPECT_FALSE(item->IsSame(MakeItem(4, L"08:30")));
  EXPECT_FALSE(item->IsSame(MakeItem(3, L"8:30")));
  EXPECT_FALSE(item->IsSame(nullptr));
  EXPECT_EQ(item->GenInfo_XML(), L"<Item Day='3' Time='08:30' />");
  EXPECT_EQ(item->GenInfo_Json(), L"{ \"Day\": \"3\", \"Time\": \"08:30\" }");
  EXPECT_EQ(MakeItem(-2, L"00:00")->GenInfo_Json(), L"{ \"Day\": \"-2\", \"Time\": \"00:00\" }");
}

}  // namespace
