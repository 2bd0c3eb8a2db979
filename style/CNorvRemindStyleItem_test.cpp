#include "style/CNorvRemindStyleItem.h"

#include <gtest/gtest.h>

#include <string>

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

// Each text is parsed into a list that held one item: the error text or "ok",
// then the items left. The first fault of an item names it.
TEST(StyleItemParse, DefinitionTexts) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"<S><Item Time='9:00'/></S>", L"未指定提前天数 Day: "},
      {L"<S><Item Day='1'/></S>", L"未指定提醒时间 Time: "},
      {L"<S><Item Day='1' Time=''/></S>", L"指定提醒时间 Time 值为空: "},
      {L"<S><Item Day='1' Time='25:00'/></S>", L"指定提醒时间 Time 值无效: "},
      {L"<S><Item Day='1' Time='8:61'/></S>", L"指定提醒时间 Time 值无效: "},
      {L"<S><Item Day='1' Time='9:00:00'/></S>", L"指定提醒时间 Time 值无效: "},
      {L"<S><Item Day='1' Time='abc'/></S>", L"指定提醒时间 Time 值无效: "},
      {L"<S><Item Day='2' Time='8:5'/><Item Day='12abc' Time='17:30'/><Item Day='x' Time='0:00'/>"
       L"<Item Day='-3' Time='1:00'/></S>",
       L"ok: 2@08:05 12@17:30 0@00:00 -3@01:00"},
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
  for (const auto& [text, result] : cases) {
    ItemList items{MakeItem(5, L"05:00")};
    CString error;
    const bool ok = CNorvRemindStyleItem::ParseListXML(text, items, error);
    EXPECT_EQ((ok ? L"ok" : error.str()) + L": " + Describe(items), result)
        << CString(text).ToUtf8();
  }
}

// Equal items keep their order in both directions.
TEST(StyleItemSort, DayUnsignedThenTimeAsText) {
  const auto first = MakeItem(2, L"08:00"), second = MakeItem(2, L"08:00");
  const struct {
    ItemList items;
    const wchar_t *ascending, *descending;
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
      {{first, MakeItem(1, L"08:00"), second},
       L"1@08:00 2@08:00 2@08:00",
       L"2@08:00 2@08:00 1@08:00"},
  };
  for (const auto& c : cases) {
    for (bool ascending : {true, false}) {
      ItemList items = c.items;
      CNorvRemindStyleItem::SortStyleItemList(items, ascending);
      EXPECT_EQ(Describe(items), ascending ? c.ascending : c.descending);
      items.remove_if([&](const auto& item) { return item != first && item != second; });
      EXPECT_TRUE(items.empty() || (items.front() == first && items.back() == second));
    }
  }
}

TEST(StyleItem, IsSameAndTexts) {
  auto item = MakeItem(3, L"08:30");
  EXPECT_TRUE(item->IsSame(MakeItem(3, L"08:30")));
  EXPECT_FALSE(item->IsSame(MakeItem(4, L"08:30")) || item->IsSame(MakeItem(3, L"8:30")) ||
               item->IsSame(nullptr));
  EXPECT_EQ(item->GenInfo_XML(), L"<Item Day='3' Time='08:30' />");
  EXPECT_EQ(MakeItem(-2, L"00:00")->GenInfo_Json(), L"{ \"Day\": \"-2\", \"Time\": \"00:00\" }");
}

}  // namespace
