#include <gtest/gtest.h>

#include <string>

#include "core/CNorvCommFun.h"
#include "core/CNorvXmlDocument.h"
#include "remind/CNorvRemind.h"

namespace {

constexpr wchar_t kID[] = L"{01234567-89AB-CDEF-0123-456789ABCDEF}";
constexpr wchar_t kReceiverXml[] =
    L"<ReceiverList><Receiver Type='0' ID='u1' Name='N&apos;1' />"
    L"<Receiver Type='2' ID='u2' Name='' /></ReceiverList>";
constexpr wchar_t kReceiverJson[] =
    L"\"ReceiverList\": [ { \"Type\": \"0\", \"ID\": \"u1\", \"Name\": \"N'1\" }, "
    L"{ \"Type\": \"2\", \"ID\": \"u2\", \"Name\": \"\" } ]";

void AddReceiver(CNorvRemind& remind, short type, const wchar_t* id, const wchar_t* name) {
  CNorvBasePtr<CEmItem> receiver(new CEmItem);
  receiver->m_nReceiveType = type;
  receiver->m_strReceiveID = id;
  receiver->m_strReceiveName = name;
  remind.m_lstReceiver.push_back(receiver);
}

void Identify(CNorvRemind& remind) { ASSERT_TRUE(remind.m_ID.FromString(kID)); }

void MakeOneOff(CNorvRemind& remind) {
  Identify(remind);
  remind.m_dtRemind = COleDateTime(2024, 5, 8, 9, 30, 0);
  remind.m_strContent = L"a<b";
}

void MakePeriodic(CNorvRemind& remind) {
  Identify(remind);
  remind.m_nType = CNorvRemind::kPeriodic;
  remind.m_Repeat.m_strRemindTime = L"08:30";
  remind.m_Repeat.m_nRegularType = 1;
  remind.m_Repeat.m_nRegularValue = 124;
  remind.m_Repeat.m_dtStart = COleDateTime(2024, 5, 1, 0, 0, 0);
  remind.m_strContent = L"weekly";
}

void MakeCustomStyle(CNorvRemind& remind) {
  Identify(remind);
  remind.m_nType = CNorvRemind::kCustomStyle;
  remind.m_dtInvalid = COleDateTime(2024, 5, 10, 0, 0, 0);
  remind.m_strRemindStyleDef = L"<S><Item Day='1' Time='09:00'/></S>";
  remind.m_strContent = L"due";
}

std::wstring Head(const wchar_t* rest) {
  return std::wstring(L"<Remind ID='") + kID + L"' " + rest;
}

std::wstring JsonHead(const wchar_t* rest) {
  return std::wstring(L"{ \"ID\": \"") + kID + L"\", " + rest;
}

TEST(RemindOutputTest, OneOffWithFromAndReceivers) {
  CNorvRemind remind;
  MakeOneOff(remind);
  remind.m_strFrom = L"web";
  remind.m_dtInvalid = COleDateTime(2024, 6, 1, 0, 0, 0);  // never rendered for a one-off
  AddReceiver(remind, 0, L"u1", L"N'1");
  AddReceiver(remind, 2, L"u2", L"");

  const wchar_t* head =
      L"State='0' Type='0' SendFlag='1' RemindTime='2024-05-08 09:30:00' From='web'";
  EXPECT_EQ(remind.GenListInfo_XML().str(), Head(head) + L" />");
  EXPECT_EQ(remind.GenInfo_XML().str(),
            Head(head) + L"><Content>a&lt;b</Content><ContentType>Text/Text</ContentType>" +
                kReceiverXml + L"</Remind>");

  const wchar_t* jsonHead =
      L"\"State\": \"0\", \"Type\": \"0\", \"SendFlag\": \"1\", "
      L"\"RemindTime\": \"2024-05-08 09:30:00\", \"From\": \"web\"";
  EXPECT_EQ(remind.GenListInfo_Json().str(), JsonHead(jsonHead) + L" }");
  EXPECT_EQ(remind.GenInfo_Json().str(),
            JsonHead(jsonHead) +
                L", \"Content\": \"a<b\", \"ContentType\": \"Text/Text\", " + kReceiverJson +
                L" }");
}

TEST(RemindOutputTest, OneOffWithoutFromOrReceiversOrTime) {
  CNorvRemind remind;
  Identify(remind);
  remind.m_strContent = L"c";
  EXPECT_EQ(remind.GenListInfo_XML().str(),
            Head(L"State='0' Type='0' SendFlag='1' RemindTime='' />"));
  EXPECT_EQ(remind.GenInfo_XML().str(),
            Head(L"State='0' Type='0' SendFlag='1' RemindTime=''>"
                 L"<Content>c</Content><ContentType>Text/Text</ContentType></Remind>"));
  EXPECT_EQ(remind.GenInfo_Json().str(),
            JsonHead(L"\"State\": \"0\", \"Type\": \"0\", \"SendFlag\": \"1\", "
                     L"\"RemindTime\": \"\", \"Content\": \"c\", \"ContentType\": \"Text/Text\" }"));
  EXPECT_EQ(remind.GenReceiverInfo_XML(), L"");
  EXPECT_EQ(remind.GenReceiverInfo_Json(), L"");
}

TEST(RemindOutputTest, PeriodicWithAndWithoutDeadline) {
  CNorvRemind remind;
  MakePeriodic(remind);
  remind.m_nState = 1;
  remind.m_nSendFlag = 3;
  remind.m_dtRemind = COleDateTime(2024, 5, 8, 9, 30, 0);  // never rendered for a periodic
  const std::wstring repeatXml =
      L"<Repeat RemindTime='08:30' RegularType='1' Interval='1' RagularValue='124' "
      L"RegularRange='0' DTStart='2024-05-01' />";
  const std::wstring repeatJson =
      L"\"Repeat\": { \"RemindTime\": \"08:30\", \"RegularType\": \"1\", \"Interval\": \"1\", "
      L"\"RagularValue\": \"124\", \"RegularRange\": \"0\", \"DTStart\": \"2024-05-01\" }";

  EXPECT_EQ(remind.GenListInfo_XML().str(), Head(L"State='1' Type='1' SendFlag='3' />"));
  EXPECT_EQ(remind.GenInfo_XML().str(),
            Head(L"State='1' Type='1' SendFlag='3'>") +
                L"<Content>weekly</Content><ContentType>Text/Text</ContentType>" + repeatXml +
                L"</Remind>");
  EXPECT_EQ(remind.GenInfo_Json().str(),
            JsonHead(L"\"State\": \"1\", \"Type\": \"1\", \"SendFlag\": \"3\", "
                     L"\"Content\": \"weekly\", \"ContentType\": \"Text/Text\", ") +
                repeatJson + L" }");

  remind.m_dtInvalid = COleDateTime(2024, 12, 31, 0, 0, 0);
  EXPECT_EQ(remind.GenListInfo_XML().str(),
            Head(L"State='1' Type='1' SendFlag='3' InvalidDate='2024-12-31' />"));
  EXPECT_EQ(remind.GenListInfo_Json().str(),
            JsonHead(L"\"State\": \"1\", \"Type\": \"1\", \"SendFlag\": \"3\", "
                     L"\"InvalidDate\": \"2024-12-31\" }"));

  // An unreadable deadline counts as none.
  remind.m_dtInvalid.ParseDateTime(L"x");
  EXPECT_EQ(remind.GenListInfo_XML().str(), Head(L"State='1' Type='1' SendFlag='3' />"));
}

TEST(RemindOutputTest, CustomStyleCarriesItsStyleDefinitionEscaped) {
  CNorvRemind remind;
  MakeCustomStyle(remind);
  remind.m_strFrom = L"f";
  AddReceiver(remind, 0, L"u1", L"N'1");
  AddReceiver(remind, 2, L"u2", L"");
  EXPECT_EQ(remind.GenInfo_XML().str(),
            Head(L"State='0' Type='2' SendFlag='1' InvalidDate='2024-05-10' From='f'>"
                 L"<Content>due</Content><ContentType>Text/Text</ContentType>"
                 L"<RemindStyleDef>&lt;S&gt;&lt;Item Day=&apos;1&apos; "
                 L"Time=&apos;09:00&apos;/&gt;&lt;/S&gt;</RemindStyleDef>") +
                kReceiverXml + L"</Remind>");
  EXPECT_EQ(remind.GenInfo_Json().str(),
            JsonHead(L"\"State\": \"0\", \"Type\": \"2\", \"SendFlag\": \"1\", "
                     L"\"InvalidDate\": \"2024-05-10\", \"From\": \"f\", \"Content\": \"due\", "
                     L"\"ContentType\": \"Text/Text\", "
                     L"\"RemindStyleDef\": \"<S><Item Day='1' Time='09:00'/></S>\", ") +
                kReceiverJson + L" }");
}

TEST(RemindOutputTest, CustomStyleWithoutDeadlineOrReceivers) {
  CNorvRemind remind;
  MakeCustomStyle(remind);
  remind.m_dtInvalid = COleDateTime();
  remind.m_strRemindStyleDef.Empty();
  EXPECT_EQ(remind.GenInfo_XML().str(),
            Head(L"State='0' Type='2' SendFlag='1'><Content>due</Content>"
                 L"<ContentType>Text/Text</ContentType><RemindStyleDef /></Remind>"));
  EXPECT_EQ(remind.GenInfo_Json().str(),
            JsonHead(L"\"State\": \"0\", \"Type\": \"2\", \"SendFlag\": \"1\", "
                     L"\"Content\": \"due\", \"ContentType\": \"Text/Text\", "
                     L"\"RemindStyleDef\": \"\" }"));
}

TEST(RemindOutputTest, OtherTypesCarryNeitherRepeatNorStyle) {
  CNorvRemind remind;
  MakePeriodic(remind);
  remind.m_strRemindStyleDef = L"<S/>";
  remind.m_nType = 4;
  remind.m_nState = -2;
  remind.m_nSendFlag = static_cast<short>(0x8001);
  EXPECT_EQ(remind.GenInfo_XML().str(),
            Head(L"State='-2' Type='4' SendFlag='-32767'><Content>weekly</Content>"
                 L"<ContentType>Text/Text</ContentType></Remind>"));
  EXPECT_EQ(remind.GenInfo_Json().str(),
            JsonHead(L"\"State\": \"-2\", \"Type\": \"4\", \"SendFlag\": \"-32767\", "
                     L"\"Content\": \"weekly\", \"ContentType\": \"Text/Text\" }"));
}

TEST(RemindOutputTest, ReceiverFormsHaveNoEmptyListOrTrailingSeparator) {
  CNorvRemind remind;
  AddReceiver(remind, 1, L"only", L"One");
  EXPECT_EQ(remind.GenReceiverInfo_XML(),
            L"<ReceiverList><Receiver Type='1' ID='only' Name='One' /></ReceiverList>");
  EXPECT_EQ(remind.GenReceiverInfo_Json(),
            L"\"ReceiverList\": [ { \"Type\": \"1\", \"ID\": \"only\", \"Name\": \"One\" } ]");
  remind.m_lstReceiver.clear();
  AddReceiver(remind, 0, L"u1", L"N'1");
  AddReceiver(remind, 2, L"u2", L"");
  EXPECT_EQ(remind.GenReceiverInfo_XML(), kReceiverXml);
  EXPECT_EQ(remind.GenReceiverInfo_Json(), kReceiverJson);
}

// Reads a remind back from its own full XML. By design the parser does not
// read the identifier or the state, so the copy is given the original's.
void RoundTrip(CNorvRemind& original, CNorvRemind& copy) {
  CNorvXmlDocument document;
  ASSERT_TRUE(CNorvCommFun::ParseXML(original.GenInfo_XML(), document));
  CString error;
  ASSERT_TRUE(copy.ParseXML(document.GetRootElement(), error)) << error.ToUtf8();
  EXPECT_FALSE(copy.m_ID.IsValid());
  EXPECT_EQ(copy.m_nState, 0);
  copy.m_ID = original.m_ID;
  copy.m_nState = original.m_nState;
}

TEST(RemindRoundTripTest, EachTypeReadsBackAsItWasWritten) {
  CNorvRemind oneOff, periodic, custom, other;
  MakeOneOff(oneOff);
  oneOff.m_strContent = L"<b>&amp;'\"</b> \x4E2D";
  MakePeriodic(periodic);
  periodic.m_Repeat.m_nRegularType = 0;
  periodic.m_Repeat.m_nRegularValue = 0;
  periodic.m_Repeat.m_nInterval = 3;
  periodic.m_Repeat.m_dtEnd = COleDateTime(2024, 12, 31, 0, 0, 0);
  periodic.m_dtInvalid = COleDateTime(2025, 1, 31, 0, 0, 0);
  MakeCustomStyle(custom);
  MakeOneOff(other);
  other.m_nType = 9;
  for (CNorvRemind* remind : {&oneOff, &periodic, &custom, &other}) {
    remind->m_nState = 1;
    remind->m_nSendFlag = 7;
    remind->m_strFrom = L"portal";
    remind->m_strContentType = L"Text/Html";
    AddReceiver(*remind, 3, L"u1", L"N'1 & <2>");
    AddReceiver(*remind, 0, L"u2", L"");

    CNorvRemind copy;
    RoundTrip(*remind, copy);
    EXPECT_EQ(copy.GenInfo_XML(), remind->GenInfo_XML());
    EXPECT_EQ(copy.GenInfo_Json(), remind->GenInfo_Json());
  }
}

TEST(RemindRoundTripTest, TheRepeatsRegularValueAndCountAreLostByDesign) {
  // The repeat writes its regular value as "RagularValue" but reads
  // "RegularValue", and its firing count is written but never read from a
  // definition: both come back as their defaults.
  CNorvRemind periodic;
  MakePeriodic(periodic);
  periodic.m_Repeat.m_nRegularRange = 1;
  periodic.m_Repeat.m_nNum = 5;
  periodic.m_Repeat.m_nCount = 2;
  CNorvRemind copy;
  RoundTrip(periodic, copy);
  EXPECT_EQ(copy.m_Repeat.m_nRegularValue, 0);
  EXPECT_EQ(copy.m_Repeat.m_nCount, 0);
  EXPECT_EQ(copy.m_Repeat.m_nNum, 5);
  EXPECT_NE(copy.GenInfo_XML(), periodic.GenInfo_XML());

  copy.m_Repeat.m_nRegularValue = 124;
  copy.m_Repeat.m_nCount = 2;
  EXPECT_EQ(copy.GenInfo_XML(), periodic.GenInfo_XML());
  EXPECT_EQ(copy.GenInfo_Json(), periodic.GenInfo_Json());
}

}  // namespace
