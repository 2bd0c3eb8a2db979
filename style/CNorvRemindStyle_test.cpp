#include "style/CNorvRemindStyle.h"

#include <gtest/gtest.h>

#include <functional>

#include "NorvBackendTest.h"
#include "core/base/CNorvCommFun.h"
#include "core/base/CNorvXmlDocument.h"
#include "core/base/COleDateTime.h"

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

// A new style is stamped now; the copies leave the identity, the creator and
// the times (and GetInfo the modifier) where they were. SetInfo leaves the
// default flag, so the renderings show with and without it.
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

// Each operation's statement, in turn on one row; the object keeps its own
// fields through the rename, order and default changes. A second insert of
// the same style fails with the database's reason.
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

}  // namespace
