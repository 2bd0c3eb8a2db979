#include "style/CNorvRemindStyle.h"

#include <gtest/gtest.h>

#include "NorvBackendTest.h"
#include "core/CNorvCommFun.h"
#include "core/CNorvXmlDocument.h"
#include "core/COleDateTime.h"

namespace {

const wchar_t kStyleID[] = L"6F9619FF-8B86-D011-B42D-00C04FC964FF";
const wchar_t kTwoItems[] = L"<Def><Item Day='1' Time='9:00' /><Item Day='0' Time='17:30' /></Def>";

CNorvBasePtr<CNorvRemindStyle> NewStyle() {
  CNorvBasePtr<CNorvRemindStyle> style = new CNorvRemindStyle;
  style->m_ID.FromString1(kStyleID);
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

bool ParseStyle(CNorvRemindStyle& style, const wchar_t* xml, CString& error) {
  CNorvXmlDocument document;
  EXPECT_TRUE(CNorvCommFun::ParseXML(xml, document)) << xml;
  return style.ParseXML(document.GetRootElement(), error);
}

TEST(CNorvRemindStyleTest, NewStyleIsEmptyAndStampedNow) {
  COleDateTime before = COleDateTime::GetCurrentTime();
  CNorvBasePtr<CNorvRemindStyle> style = new CNorvRemindStyle;
  COleDateTime after = COleDateTime::GetCurrentTime();
  EXPECT_FALSE(style->m_ID.IsValid());
  EXPECT_EQ(style->GetOrder(), 0);
  EXPECT_FALSE(style->IsDefault());
  EXPECT_TRUE(style->GetName().IsEmpty());
  COleDateTime created;
  ASSERT_TRUE(created.ParseDateTime(style->m_strCreateTime));
  EXPECT_TRUE(created >= before && created <= after) << style->m_strCreateTime.ToUtf8();
  EXPECT_EQ(style->m_strModifyTime, style->m_strCreateTime);
}

TEST(CNorvRemindStyleTest, ParseMatchesChildNamesWithoutCase) {
  CNorvRemindStyle style;
  CString error;
  ASSERT_TRUE(ParseStyle(style,
                         L"<Style Order='7'><name>Early</name><!-- note --><DEF>&lt;Def /&gt;</DEF>"
                         L"<Name>Late</Name></Style>",
                         error))
      << error.ToUtf8();
  EXPECT_EQ(style.GetOrder(), 7);
  EXPECT_EQ(style.GetName(), L"Late");
  EXPECT_EQ(style.GetDefInfo(), L"<Def />");
}

TEST(CNorvRemindStyleTest, ParseNamesTheFirstMissingPart) {
  CNorvRemindStyle style;
  CString error;
  EXPECT_FALSE(ParseStyle(style, L"<Style Order='2'><Def>x</Def></Style>", error));
  EXPECT_EQ(error, L"未指定样式名称");
  EXPECT_EQ(style.GetOrder(), 2);  // read before the failure

  CNorvRemindStyle unnamed;
  EXPECT_FALSE(ParseStyle(unnamed, L"<Style><Name>A</Name><Def /></Style>", error));
  EXPECT_EQ(error, L"未设置样式的提醒定义");
  EXPECT_EQ(unnamed.GetName(), L"A");
  EXPECT_EQ(unnamed.GetOrder(), 0);  // no Order attribute
}

TEST(CNorvRemindStyleTest, ListFormsCarryTheNameOnly) {
  CNorvBasePtr<CNorvRemindStyle> style = NewStyle();
  style->m_strName = L"A&B \"x\"";
  EXPECT_EQ(style->GenListInfo_XML(),
            L"<Style ID='{6F9619FF-8B86-D011-B42D-00C04FC964FF}' Order='4'>"
            L"<Name>A&amp;B &quot;x&quot;</Name></Style>");
  EXPECT_EQ(style->GenListInfo_Json(),
            L"{ \"ID\": \"{6F9619FF-8B86-D011-B42D-00C04FC964FF}\", \"Order\": \"4\", "
            L"\"Name\": \"A&B \\\"x\\\"\" }");
  style->SetDefault(true);
  EXPECT_EQ(style->GenListInfo_XML(),
            L"<Style ID='{6F9619FF-8B86-D011-B42D-00C04FC964FF}' Order='4' IsDefault='1'>"
            L"<Name>A&amp;B &quot;x&quot;</Name></Style>");
  EXPECT_EQ(style->GenListInfo_Json(),
            L"{ \"ID\": \"{6F9619FF-8B86-D011-B42D-00C04FC964FF}\", \"Order\": \"4\", "
            L"\"IsDefault\": \"1\", \"Name\": \"A&B \\\"x\\\"\" }");
}

TEST(CNorvRemindStyleTest, FullFormsCarryPeopleTimesNameAndDefinition) {
  CNorvBasePtr<CNorvRemindStyle> style = NewStyle();
  style->m_strDef = L"<Def />";
  EXPECT_EQ(style->GenInfo_XML(),
            L"<Style ID='{6F9619FF-8B86-D011-B42D-00C04FC964FF}' Order='4' Creator='u1' "
            L"CreatorName='Ann' CreaterTime='2026-03-01 08:00:00' Modifier='u2' ModifierName='Bob' "
            L"ModifyTime='2026-03-02 09:30:00'><Name>Three days</Name><Def>&lt;Def /&gt;</Def>"
            L"</Style>");
  style->SetDefault(true);
  style->m_strCreatorName = L"O'Neil";
  EXPECT_EQ(style->GenInfo_Json(),
            L"{ \"ID\": \"{6F9619FF-8B86-D011-B42D-00C04FC964FF}\", \"Order\": \"4\", "
            L"\"Creator\": \"u1\", \"CreatorName\": \"O'Neil\", \"CreateTime\": \"2026-03-01 08:00:00\", "
            L"\"Modifier\": \"u2\", \"ModifierName\": \"Bob\", \"ModifyTime\": \"2026-03-02 09:30:00\", "
            L"\"IsDefault\": \"1\", \"Name\": \"Three days\", \"Def\": \"<Def />\" }");
  EXPECT_NE(style->GenInfo_XML().Find(L"CreatorName='O&apos;Neil'"), -1);
}

TEST(CNorvRemindStyleTest, SetInfoSharesItemsAndKeepsIdentity) {
  CNorvBasePtr<CNorvRemindStyle> source = NewStyle();
  CString error;
  ASSERT_TRUE(CNorvRemindStyleItem::ParseListXML(source->m_strDef, source->m_lstStyleItem, error));
  source->m_bDefault = true;

  CNorvBasePtr<CNorvRemindStyle> target = new CNorvRemindStyle;
  target->m_strCreatorID = L"keep";
  target->SetInfo(source);
  EXPECT_EQ(target->GetName(), L"Three days");
  EXPECT_EQ(target->GetOrder(), 4);
  EXPECT_EQ(target->m_strModifierName, L"Bob");
  EXPECT_EQ(target->m_strModifyTime, L"2026-03-02 09:30:00");
  EXPECT_EQ(target->GetDefInfo(), kTwoItems);
  ASSERT_EQ(target->m_lstStyleItem.size(), 2u);
  EXPECT_EQ(target->m_lstStyleItem.front().p, source->m_lstStyleItem.front().p);
  EXPECT_FALSE(target->m_ID.IsValid());
  EXPECT_FALSE(target->IsDefault());
  EXPECT_EQ(target->m_strCreatorID, L"keep");
  EXPECT_NE(target->m_strCreateTime, source->m_strCreateTime);
}

TEST(CNorvRemindStyleTest, GetInfoCopiesNameOrderAndDefinitionOnly) {
  CNorvBasePtr<CNorvRemindStyle> source = NewStyle();
  CNorvBasePtr<CNorvRemindStyle> target = new CNorvRemindStyle;
  CString error;
  ASSERT_TRUE(CNorvRemindStyleItem::ParseListXML(L"<D><Item Day='3' Time='8:00' /></D>",
                                                 target->m_lstStyleItem, error));
  target->m_bDefault = true;
  source->GetInfo(target);
  EXPECT_EQ(target->GetName(), L"Three days");
  EXPECT_EQ(target->GetOrder(), 4);
  EXPECT_EQ(target->GetDefInfo(), kTwoItems);
  ASSERT_EQ(target->m_lstStyleItem.size(), 1u);
  EXPECT_EQ(target->m_lstStyleItem.front()->m_nDay, 3);
  EXPECT_TRUE(target->IsDefault());
  EXPECT_TRUE(target->m_strModifierID.IsEmpty());
}

class CNorvRemindStyleDBTest : public norvtest::BackendTest {
 protected:
  std::vector<CString> StoredRow() {
    std::vector<std::vector<CString>> rows = Rows(
        L"SELECT CN_S_NAME, CN_S_DEF, CN_N_ORDER, CN_C_DEFAULT, CN_S_CREATOR_ID, "
        L"CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_MODIFIER_ID, CN_S_MODIFIER_NAME, CN_T_MODIFY "
        L"FROM NORV_REMIND_STYLE",
        10);
    EXPECT_EQ(rows.size(), 1u);
    return rows.empty() ? std::vector<CString>(10) : rows.front();
  }
};

TEST_P(CNorvRemindStyleDBTest, InsertStoresANewRowAsNotDefault) {
  CNorvBasePtr<CNorvRemindStyle> style = NewStyle();
  style->m_bDefault = true;
  style->m_strName = L"It's \\ 100%";
  style->m_strDef = L"<Def note='a\\b'><Item Day='1' Time='9:00' /></Def>";
  CString error;
  ASSERT_TRUE(style->DBInsert(session, dbType(), &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"INSERT INTO NORV_REMIND_STYLE ( CN_G_ID, CN_S_NAME, CN_S_DEF, CN_N_ORDER, "
            L"CN_C_DEFAULT, CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_MODIFIER_ID, "
            L"CN_S_MODIFIER_NAME, CN_T_MODIFY ) VALUES ( '6F9619FF-8B86-D011-B42D-00C04FC964FF', "
            L"'It''s \\ 100%', '<Def note=''a\\b''><Item Day=''1'' Time=''9:00'' /></Def>', 4, 'N', "
            L"'u1', 'Ann', " + TimeSql(L"2026-03-01 08:00:00") + L", 'u2', 'Bob', " +
                TimeSql(L"2026-03-01 08:00:00") + L" )");
  std::vector<CString> row = StoredRow();
  EXPECT_EQ(row[0], L"It's \\ 100%");
  EXPECT_EQ(row[1], style->m_strDef);
  EXPECT_EQ(row[2], L"4");
  EXPECT_EQ(row[3], L"N");
  EXPECT_EQ(row[4], L"u1");
  EXPECT_EQ(row[5], L"Ann");
  EXPECT_EQ(row[6], L"2026-03-01 08:00:00");
  EXPECT_EQ(row[7], L"u2");
  EXPECT_EQ(row[8], L"Bob");
  EXPECT_EQ(row[9], L"2026-03-01 08:00:00");  // the creation time, not the modification time
}

TEST_P(CNorvRemindStyleDBTest, RenameOrderAndDefaultChangeOnlyTheRow) {
  CNorvBasePtr<CNorvRemindStyle> style = NewStyle();
  CString error;
  ASSERT_TRUE(style->DBInsert(session, dbType(), &error)) << error.ToUtf8();
  statements.clear();

  ASSERT_TRUE(style->DBRename(session, L"Bob's \\list", &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"UPDATE NORV_REMIND_STYLE SET CN_S_NAME = 'Bob''s \\list' "
            L"WHERE CN_G_ID = '6F9619FF-8B86-D011-B42D-00C04FC964FF'");
  ASSERT_TRUE(style->DBSetOrder(session, 12, &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"UPDATE NORV_REMIND_STYLE SET CN_N_ORDER = 12 "
            L"WHERE CN_G_ID = '6F9619FF-8B86-D011-B42D-00C04FC964FF'");
  ASSERT_TRUE(style->DBSetDefault(session, true, &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"UPDATE NORV_REMIND_STYLE SET CN_C_DEFAULT = 'Y' "
            L"WHERE CN_G_ID = '6F9619FF-8B86-D011-B42D-00C04FC964FF'");

  std::vector<CString> row = StoredRow();
  EXPECT_EQ(row[0], L"Bob's \\list");
  EXPECT_EQ(row[2], L"12");
  EXPECT_EQ(row[3], L"Y");
  EXPECT_EQ(style->GetName(), L"Three days");
  EXPECT_EQ(style->GetOrder(), 4);
  EXPECT_FALSE(style->IsDefault());

  ASSERT_TRUE(style->DBSetDefault(session, false, &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"UPDATE NORV_REMIND_STYLE SET CN_C_DEFAULT = 'N' "
            L"WHERE CN_G_ID = '6F9619FF-8B86-D011-B42D-00C04FC964FF'");
  EXPECT_EQ(StoredRow()[3], L"N");
}

TEST_P(CNorvRemindStyleDBTest, UpdateWritesTheModification) {
  CNorvBasePtr<CNorvRemindStyle> style = NewStyle();
  CString error;
  ASSERT_TRUE(style->DBInsert(session, dbType(), &error)) << error.ToUtf8();
  statements.clear();
  style->m_strName = L"Renamed 'x'";
  style->m_strDef = L"<Def />";
  style->m_nOrder = 9;
  style->m_strModifierID = L"u3";
  style->m_strModifierName = L"Cy";
  style->m_strModifyTime = L"2026-04-05 06:07:08";
  ASSERT_TRUE(style->DBUpdate(session, dbType(), &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"UPDATE NORV_REMIND_STYLE SET CN_S_NAME = 'Renamed ''x''', CN_S_DEF = '<Def />', "
            L"CN_N_ORDER = 9, CN_S_MODIFIER_ID = 'u3', CN_S_MODIFIER_NAME = 'Cy', CN_T_MODIFY = " +
                TimeSql(L"2026-04-05 06:07:08") +
                L" WHERE\tCN_G_ID = '6F9619FF-8B86-D011-B42D-00C04FC964FF'");
  std::vector<CString> row = StoredRow();
  EXPECT_EQ(row[0], L"Renamed 'x'");
  EXPECT_EQ(row[1], L"<Def />");
  EXPECT_EQ(row[2], L"9");
  EXPECT_EQ(row[6], L"2026-03-01 08:00:00");
  EXPECT_EQ(row[8], L"Cy");
  EXPECT_EQ(row[9], L"2026-04-05 06:07:08");
}

TEST_P(CNorvRemindStyleDBTest, DeleteRemovesTheRowAndFailuresCarryTheReason) {
  CNorvBasePtr<CNorvRemindStyle> style = NewStyle();
  CString error;
  ASSERT_TRUE(style->DBInsert(session, dbType(), &error)) << error.ToUtf8();
  CString duplicate = statements.back();
  EXPECT_FALSE(style->DBInsert(session, dbType(), &error));
  EXPECT_EQ(error, ReasonOf(duplicate));
  EXPECT_FALSE(error.IsEmpty());

  statements.clear();
  ASSERT_TRUE(CNorvRemindStyle::DBDelete(session, style->m_ID, &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"DELETE NORV_REMIND_STYLE WHERE CN_G_ID = '6F9619FF-8B86-D011-B42D-00C04FC964FF'");
  EXPECT_TRUE(Rows(L"SELECT CN_G_ID FROM NORV_REMIND_STYLE", 1).empty());
}

NORV_INSTANTIATE_BACKEND_TEST(CNorvRemindStyleDBTest);

}  // namespace
