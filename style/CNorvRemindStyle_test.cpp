#include "style/CNorvRemindStyle.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "NorvBackendTest.h"
#include "core/base/CNorvCommFun.h"
#include "core/base/CNorvXmlDocument.h"
#include "core/base/COleDateTime.h"
#include "style/CNorvRemindStyleItem.h"

namespace {

const wchar_t kID[] = L"6F9619FF-8B86-D011-B42D-00C04FC964FF";
const wchar_t kTwoItems[] = L"<Def><Item Day='1' Time='9:00' /><Item Day='0' Time='17:30' /></Def>";

CNorvBasePtr<CNorvRemindStyle> NewStyle() {
  CNorvBasePtr<CNorvRemindStyle> style = new CNorvRemindStyle;
  style->m_ID.FromString1(kID);
  style->m_strName = L"Three days";
  style->m_nOrder = 4;
  style->m_strDef = kTwoItems;
  style->m_strCreatorID = style->m_strModifierID = L"u1";
  style->m_strCreatorName = L"Ann";
  style->m_strCreateTime = L"2026-03-01 08:00:00";
  style->m_strModifierName = L"Bob";
  style->m_strModifyTime = L"2026-03-02 09:30:00";
  return style;
}

TEST(CNorvRemindStyleTest, ParseMatchesChildNamesWithoutCase) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"<Style Order='7'><name>Early</name><!-- c --><DEF>&lt;Def /&gt;</DEF><Name>Late</Name>"
       L"</Style>",
       L"ok 7 Late <Def />"},
      {L"<Style Order='2'><Def>x</Def></Style>", L"未指定样式名称 2  x"},
      {L"<Style><Name>A</Name><Def /></Style>", L"未设置样式的提醒定义 0 A "},
  };
  for (const auto& [xml, result] : cases) {
    CNorvXmlDocument document;
    ASSERT_TRUE(CNorvCommFun::ParseXML(xml, document));
    CNorvRemindStyle style;
    CString error;
    const bool ok = style.ParseXML(document.GetRootElement(), error);
    EXPECT_EQ((ok ? CString(L"ok") : error) + L" " + CString(std::to_wstring(style.GetOrder())) +
                  L" " + style.GetName() + L" " + style.GetDefInfo(),
              result);
  }
}

// A new style is stamped now; copies keep the identity, creator and times (and
// GetInfo the modifier). SetInfo keeps the default flag: renderings show both.
TEST(CNorvRemindStyleTest, NewStylesAreStampedAndCopiesTakeTheirFieldsOnly) {
  const COleDateTime before = COleDateTime::GetCurrentTime();
  CNorvBasePtr<CNorvRemindStyle> target = new CNorvRemindStyle;
  COleDateTime created;
  ASSERT_TRUE(created.ParseDateTime(target->m_strCreateTime));
  EXPECT_TRUE(created >= before && created <= COleDateTime::GetCurrentTime());
  EXPECT_EQ(target->m_strModifyTime, target->m_strCreateTime);
  EXPECT_FALSE(target->m_ID.IsValid() || target->IsDefault());
  EXPECT_EQ(target->GetName() + target->GetDefInfo() + CString(std::to_wstring(target->GetOrder())),
            L"0");

  CNorvBasePtr<CNorvRemindStyle> source = NewStyle();
  CString error;
  ASSERT_TRUE(CNorvRemindStyleItem::ParseListXML(source->m_strDef, source->m_lstStyleItem, error));
  source->m_bDefault = true;
  source->m_strName = L"A&B \"x\"";
  target->m_strCreatorID = target->m_strCreateTime = L"then";
  target->SetInfo(source);
  const CString head = L"<Style ID='" + CGuid().GetString() + L"' Order='4'";
  const CString name = L"<Name>A&amp;B &quot;x&quot;</Name>";
  EXPECT_EQ(target->GenListInfo_XML(), head + L">" + name + L"</Style>");
  EXPECT_EQ(target->GenInfo_XML(),
            head + L" Creator='then' CreatorName='' CreaterTime='then' Modifier='u1' " +
                L"ModifierName='Bob' ModifyTime='2026-03-02 09:30:00'>" + name + L"<Def>" +
                CNorvCommFun::EscapeXML(kTwoItems) + L"</Def></Style>");
  ASSERT_EQ(target->m_lstStyleItem.size(), 2u);
  EXPECT_EQ(target->m_lstStyleItem.front().p, source->m_lstStyleItem.front().p);

  CNorvBasePtr<CNorvRemindStyle> copy = new CNorvRemindStyle;
  copy->m_bDefault = true;
  copy->m_strCreateTime = copy->m_strModifyTime = L"then";
  source->m_strDef = L"<Def />";
  source->GetInfo(copy);
  const CString jsonHead = L"{ \"ID\": \"" + CGuid().GetString() + L"\", \"Order\": \"4\", ";
  const CString jsonName = L"\"IsDefault\": \"1\", \"Name\": \"A&B \\\"x\\\"\"";
  EXPECT_EQ(copy->GenListInfo_Json(), jsonHead + jsonName + L" }");
  CString json = jsonHead +
                 L"\"Creator\": \"\", \"CreatorName\": \"\", \"CreateTime\": \"then\", "
                 L"\"Modifier\": \"\", \"ModifierName\": \"\", \"ModifyTime\": \"then\", " +
                 jsonName + L", \"Def\": \"<Def />\" }";
  EXPECT_EQ(copy->GenInfo_Json(), json);
  copy->SetDefault(false);
  json.Replace(L"\"IsDefault\": \"1\", ", L"");
  EXPECT_EQ(copy->GenInfo_Json(), json);
  EXPECT_TRUE(copy->m_lstStyleItem.empty());
}

class CNorvRemindStyleDBTest : public norvtest::BackendTest {};

// Each operation's statement on one row; the object keeps its fields through
// rename, order and default; a second insert fails with the database's reason.
TEST_P(CNorvRemindStyleDBTest, EachOperationRunsItsStatement) {
  CNorvBasePtr<CNorvRemindStyle> style = NewStyle();
  style->m_bDefault = true;
  style->m_strName = L"It's \\ 100%";
  style->m_strDef = L"<Def note='a\\b' />";
  CString error;
  const CString where = L" WHERE CN_G_ID = '6F9619FF-8B86-D011-B42D-00C04FC964FF'";
  const CString insert =
      L"INSERT INTO NORV_REMIND_STYLE ( CN_G_ID, CN_S_NAME, CN_S_DEF, CN_N_ORDER, CN_C_DEFAULT, "
      L"CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_MODIFIER_ID, CN_S_MODIFIER_NAME, "
      L"CN_T_MODIFY ) VALUES ( '6F9619FF-8B86-D011-B42D-00C04FC964FF', 'It''s \\ 100%', "
      L"'<Def note=''a\\b'' />', 4, 'N', 'u1', 'Ann', " +
      TimeSql(L"2026-03-01 08:00:00") + L", 'u1', 'Bob', " + TimeSql(L"2026-03-01 08:00:00") +
      L" )";
  const std::pair<std::function<bool()>, CString> steps[] = {
      {[&] { return style->DBInsert(session, dbType(), &error); }, insert},
      {[&] {
         style->m_strName = L"Renamed 'x'";
         style->m_strDef = L"<Def />";
         style->m_nOrder = 9;
         style->m_strModifierName = L"Cy";
         style->m_strModifyTime = L"2026-04-05 06:07:08";
         return style->DBUpdate(session, dbType(), &error);
       },
       L"UPDATE NORV_REMIND_STYLE SET CN_S_NAME = 'Renamed ''x''', CN_S_DEF = '<Def />', "
       L"CN_N_ORDER = 9, CN_S_MODIFIER_ID = 'u1', CN_S_MODIFIER_NAME = 'Cy', CN_T_MODIFY = " +
           TimeSql(L"2026-04-05 06:07:08") +
           L" WHERE\tCN_G_ID = '6F9619FF-8B86-D011-B42D-00C04FC964FF'"},
      {[&] { return style->DBRename(session, L"Bob's \\list", &error); },
       L"UPDATE NORV_REMIND_STYLE SET CN_S_NAME = 'Bob''s \\list'" + where},
      {[&] { return style->DBSetOrder(session, 12, &error); },
       L"UPDATE NORV_REMIND_STYLE SET CN_N_ORDER = 12" + where},
      {[&] { return style->DBSetDefault(session, false, &error); },
       L"UPDATE NORV_REMIND_STYLE SET CN_C_DEFAULT = 'N'" + where},
      {[&] { return style->DBSetDefault(session, true, &error); },
       L"UPDATE NORV_REMIND_STYLE SET CN_C_DEFAULT = 'Y'" + where},
      {[&] {
         return !style->DBInsert(session, dbType(), &error) && !error.IsEmpty() &&
                error == ReasonOf(insert);
       },
       L""},
      {[&] { return CNorvRemindStyle::DBDelete(session, style->m_ID, &error); },
       L"DELETE NORV_REMIND_STYLE" + where},
  };
  for (const auto& [run, statement] : steps) {
    ASSERT_TRUE(run()) << error.ToUtf8();
    EXPECT_EQ(statement.IsEmpty() ? CString() : TakeStatement(), statement);
    statements.clear();
  }
  EXPECT_EQ(style->GetName() + L"|" + style->GetDefInfo(), L"Renamed 'x'|<Def />");
  EXPECT_EQ(style->GetOrder() * 10 + style->IsDefault(), 91);
  EXPECT_TRUE(Rows(L"SELECT CN_G_ID FROM NORV_REMIND_STYLE", 1).empty());
}

NORV_INSTANTIATE_BACKEND_TEST(CNorvRemindStyleDBTest);

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
