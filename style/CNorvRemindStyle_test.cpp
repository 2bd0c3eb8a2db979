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
  style->m_strCreatorID = L"u1";
  style->m_strCreatorName = L"Ann";
  style->m_strCreateTime = L"2026-03-01 08:00:00";
  style->m_strModifierID = L"u2";
  style->m_strModifierName = L"Bob";
  style->m_strModifyTime = L"2026-03-02 09:30:00";
  return style;
}

TEST(CNorvRemindStyleTest, NewStyleIsEmptyAndStampedNow) {
  COleDateTime before = COleDateTime::GetCurrentTime();
  CNorvBasePtr<CNorvRemindStyle> style = new CNorvRemindStyle;
  COleDateTime created;
  ASSERT_TRUE(created.ParseDateTime(style->m_strCreateTime));
  EXPECT_TRUE(created >= before && created <= COleDateTime::GetCurrentTime());
  EXPECT_EQ(style->m_strModifyTime, style->m_strCreateTime);
  EXPECT_FALSE(style->m_ID.IsValid() || style->IsDefault());
  EXPECT_EQ(style->GetOrder(), 0);
  EXPECT_EQ(style->GetName() + style->GetDefInfo(), L"");
}

TEST(CNorvRemindStyleTest, ParseMatchesChildNamesWithoutCase) {
  struct Case {
    const wchar_t* xml;
    const wchar_t* error;  // empty: parses
    const wchar_t* name;
    const wchar_t* def;
    short order;
  } cases[] = {
      {L"<Style Order='7'><name>Early</name><!-- c --><DEF>&lt;Def /&gt;</DEF><Name>Late</Name>"
       L"</Style>",
       L"", L"Late", L"<Def />", 7},
      {L"<Style Order='2'><Def>x</Def></Style>", L"未指定样式名称", L"", L"x", 2},
      {L"<Style><Name>A</Name><Def /></Style>", L"未设置样式的提醒定义", L"A", L"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    CNorvXmlDocument document;
    ASSERT_TRUE(CNorvCommFun::ParseXML(c.xml, document));
    CNorvRemindStyle style;
    CString error;
    EXPECT_EQ(style.ParseXML(document.GetRootElement(), error), *c.error == 0);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(style.GetName(), c.name);
    EXPECT_EQ(style.GetDefInfo(), c.def);
    EXPECT_EQ(style.GetOrder(), c.order);
  }
}

TEST(CNorvRemindStyleTest, RendersListAndFullForms) {
  CNorvBasePtr<CNorvRemindStyle> style = NewStyle();
  style->m_strName = L"A&B \"x\"";
  style->m_strDef = L"<Def />";
  const CString head = L"<Style ID='{6F9619FF-8B86-D011-B42D-00C04FC964FF}' Order='4'";
  const CString jsonHead =
      L"{ \"ID\": \"{6F9619FF-8B86-D011-B42D-00C04FC964FF}\", \"Order\": \"4\", ";
  const CString people =
      L" Creator='u1' CreatorName='Ann' CreaterTime='2026-03-01 08:00:00' Modifier='u2' "
      L"ModifierName='Bob' ModifyTime='2026-03-02 09:30:00'";
  const CString jsonPeople =
      L"\"Creator\": \"u1\", \"CreatorName\": \"Ann\", \"CreateTime\": \"2026-03-01 08:00:00\", "
      L"\"Modifier\": \"u2\", \"ModifierName\": \"Bob\", \"ModifyTime\": \"2026-03-02 09:30:00\", ";
  const CString name = L"<Name>A&amp;B &quot;x&quot;</Name>";
  const CString jsonName = L"\"Name\": \"A&B \\\"x\\\"\"";
  for (bool isDefault : {false, true}) {
    SCOPED_TRACE(isDefault);
    style->SetDefault(isDefault);
    CString flag = isDefault ? L" IsDefault='1'" : L"";
    CString jsonFlag = isDefault ? L"\"IsDefault\": \"1\", " : L"";
    EXPECT_EQ(style->GenListInfo_XML(), head + flag + L">" + name + L"</Style>");
    EXPECT_EQ(style->GenListInfo_Json(), jsonHead + jsonFlag + jsonName + L" }");
    EXPECT_EQ(style->GenInfo_XML(),
              head + people + flag + L">" + name + L"<Def>&lt;Def /&gt;</Def></Style>");
    EXPECT_EQ(style->GenInfo_Json(),
              jsonHead + jsonPeople + jsonFlag + jsonName + L", \"Def\": \"<Def />\" }");
  }
}

TEST(CNorvRemindStyleTest, SetInfoAndGetInfoCopyTheirFieldsOnly) {
  CNorvBasePtr<CNorvRemindStyle> source = NewStyle();
  CString error;
  ASSERT_TRUE(CNorvRemindStyleItem::ParseListXML(source->m_strDef, source->m_lstStyleItem, error));
  source->m_bDefault = true;
  CNorvBasePtr<CNorvRemindStyle> target = new CNorvRemindStyle;
  target->m_strCreatorID = L"keep";
  target->m_strCreateTime = L"then";
  target->SetInfo(source);
  EXPECT_EQ(target->GenInfo_XML(),
            L"<Style ID='" + CGuid().GetString() +
                L"' Order='4' Creator='keep' CreatorName='' CreaterTime='then' Modifier='u2' "
                L"ModifierName='Bob' ModifyTime='2026-03-02 09:30:00'><Name>Three days</Name>"
                L"<Def>" +
                CNorvCommFun::EscapeXML(kTwoItems) + L"</Def></Style>");
  ASSERT_EQ(target->m_lstStyleItem.size(), 2u);
  EXPECT_EQ(target->m_lstStyleItem.front().p, source->m_lstStyleItem.front().p);

  CNorvBasePtr<CNorvRemindStyle> copy = new CNorvRemindStyle;
  copy->m_bDefault = true;
  copy->m_strCreateTime = copy->m_strModifyTime = L"then";
  source->m_strName = L"Renamed";
  source->GetInfo(copy);
  EXPECT_EQ(copy->GenInfo_XML(),
            L"<Style ID='" + CGuid().GetString() +
                L"' Order='4' Creator='' CreatorName='' CreaterTime='then' Modifier='' "
                L"ModifierName='' ModifyTime='then' IsDefault='1'><Name>Renamed</Name><Def>" +
                CNorvCommFun::EscapeXML(kTwoItems) + L"</Def></Style>");
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
  const auto update = [&] {
    style->m_strName = L"Renamed 'x'";
    style->m_strDef = L"<Def />";
    style->m_nOrder = 9;
    style->m_strModifierName = L"Cy";
    style->m_strModifyTime = L"2026-04-05 06:07:08";
    return style->DBUpdate(session, dbType(), &error);
  };
  const struct {
    std::function<bool()> run;
    CString statement;
  } steps[] = {
      {[&] { return style->DBInsert(session, dbType(), &error); },
       L"INSERT INTO NORV_REMIND_STYLE ( CN_G_ID, CN_S_NAME, CN_S_DEF, CN_N_ORDER, CN_C_DEFAULT, "
       L"CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_MODIFIER_ID, CN_S_MODIFIER_NAME, "
       L"CN_T_MODIFY ) VALUES ( '6F9619FF-8B86-D011-B42D-00C04FC964FF', 'It''s \\ 100%', "
       L"'<Def note=''a\\b'' />', 4, 'N', 'u1', 'Ann', " +
           TimeSql(L"2026-03-01 08:00:00") + L", 'u2', 'Bob', " + TimeSql(L"2026-03-01 08:00:00") +
           L" )"},
      {update,
       L"UPDATE NORV_REMIND_STYLE SET CN_S_NAME = 'Renamed ''x''', CN_S_DEF = '<Def />', "
       L"CN_N_ORDER = 9, CN_S_MODIFIER_ID = 'u2', CN_S_MODIFIER_NAME = 'Cy', CN_T_MODIFY = " +
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
  };
  for (const auto& step : steps) {
    ASSERT_TRUE(step.run()) << error.ToUtf8();
    EXPECT_EQ(TakeStatement(), step.statement);
  }
  EXPECT_EQ(style->GetName() + L"|" + style->GetDefInfo(), L"Renamed 'x'|<Def />");
  EXPECT_EQ(style->GetOrder() * 10 + style->IsDefault(), 91);
  EXPECT_EQ(Rows(L"SELECT CN_C_DEFAULT FROM NORV_REMIND_STYLE", 1),
            (std::vector<std::vector<CString>>{{L"Y"}}));

  EXPECT_FALSE(style->DBInsert(session, dbType(), &error));
  EXPECT_EQ(error, ReasonOf(steps[0].statement));
  EXPECT_FALSE(error.IsEmpty());
  ASSERT_TRUE(CNorvRemindStyle::DBDelete(session, style->m_ID, &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(), L"DELETE NORV_REMIND_STYLE" + where);
  EXPECT_TRUE(Rows(L"SELECT CN_G_ID FROM NORV_REMIND_STYLE", 1).empty());
}

NORV_INSTANTIATE_BACKEND_TEST(CNorvRemindStyleDBTest);

}  // namespace
