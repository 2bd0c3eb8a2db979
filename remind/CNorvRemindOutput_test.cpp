#include <gtest/gtest.h>

#include <string>

#include "remind/CNorvRemind.h"

namespace {

const std::wstring kID = L"{01234567-89AB-CDEF-0123-456789ABCDEF}";
const std::wstring kContentXml = L"<Content>a&lt;b</Content><ContentType>Text/Text</ContentType>";
const std::wstring kContentJson = L", \"Content\": \"a<b\", \"ContentType\": \"Text/Text\"";
const std::wstring kRepeatXml =
    L"<Repeat RemindTime='08:30' RegularType='1' Interval='1' RagularValue='124' "
    L"RegularRange='0' DTStart='2024-05-01' />";
const std::wstring kRepeatJson =
    L", \"Repeat\": { \"RemindTime\": \"08:30\", \"RegularType\": \"1\", \"Interval\": \"1\", "
    L"\"RagularValue\": \"124\", \"RegularRange\": \"0\", \"DTStart\": \"2024-05-01\" }";
const std::wstring kStyleXml =
    L"<RemindStyleDef>&lt;S&gt;&lt;Item Day=&apos;1&apos; Time=&apos;09:00&apos;/&gt;&lt;/S&gt;"
    L"</RemindStyleDef>";
const std::wstring kStyleJson = L", \"RemindStyleDef\": \"<S><Item Day='1' Time='09:00'/></S>\"";
const std::wstring kFirstXml = L"<Receiver Type='0' ID='u1' Name='N&apos;1' />";
const std::wstring kFirstJson = L"{ \"Type\": \"0\", \"ID\": \"u1\", \"Name\": \"N'1\" }";
const std::wstring kTwoXml =
    L"<ReceiverList>" + kFirstXml + L"<Receiver Type='2' ID='u2' Name='' /></ReceiverList>";
const std::wstring kTwoJson = L", \"ReceiverList\": [ " + kFirstJson +
                              L", { \"Type\": \"2\", \"ID\": \"u2\", \"Name\": \"\" } ]";

std::wstring Xml(const wchar_t* attributes) { return L"<Remind ID='" + kID + L"' " + attributes; }
std::wstring Json(const wchar_t* members) { return L"{ \"ID\": \"" + kID + L"\", " + members; }

void AddReceiver(CNorvRemind& remind, short type, const wchar_t* id, const wchar_t* name) {
  CNorvBasePtr<CEmItem> receiver(new CEmItem);
  receiver->m_nReceiveType = type;
  receiver->m_strReceiveID = id;
  receiver->m_strReceiveName = name;
  remind.m_lstReceiver.push_back(receiver);
}

struct Shape {
  short type, state, flag;
  COleDateTime remindTime, deadline;
  const wchar_t* from;
  int receivers;
};

// A remind carrying a remind time, a repeat and a style definition whatever
// its type, so that the output shows which of them each type writes.
void Make(CNorvRemind& remind, const Shape& shape) {
  ASSERT_TRUE(remind.m_ID.FromString(kID.c_str()));
  remind.m_nType = shape.type;
  remind.m_nState = shape.state;
  remind.m_nSendFlag = shape.flag;
  remind.m_dtRemind = shape.remindTime;
  remind.m_dtInvalid = shape.deadline;
  remind.m_strFrom = shape.from;
  remind.m_strContent = L"a<b";
  remind.m_Repeat.m_strRemindTime = L"08:30";
  remind.m_Repeat.m_nRegularType = 1;
  remind.m_Repeat.m_nRegularValue = 124;
  remind.m_Repeat.m_dtStart = COleDateTime(2024, 5, 1, 0, 0, 0);
  remind.m_strRemindStyleDef = L"<S><Item Day='1' Time='09:00'/></S>";
  if (shape.receivers > 0) AddReceiver(remind, 0, L"u1", L"N'1");
  if (shape.receivers > 1) AddReceiver(remind, 2, L"u2", L"");
}

const COleDateTime kTime(2024, 5, 8, 9, 30, 0);
const COleDateTime kUnreadable(2024, 2, 30, 0, 0, 0);

TEST(RemindOutput, EveryTypeWithAndWithoutDeadlineFromAndReceivers) {
  const struct {
    const char* what;
    Shape shape;
    std::wstring xml, json;
  } cases[] = {
      {"one-off: its deadline is never shown",
       {0, 0, 1, kTime, COleDateTime(2024, 6, 1, 0, 0, 0), L"web", 2},
       Xml(L"State='0' Type='0' SendFlag='1' RemindTime='2024-05-08 09:30:00' From='web'>") +
           kContentXml + kTwoXml + L"</Remind>",
       Json(L"\"State\": \"0\", \"Type\": \"0\", \"SendFlag\": \"1\", "
            L"\"RemindTime\": \"2024-05-08 09:30:00\", \"From\": \"web\"") +
           kContentJson + kTwoJson + L" }"},
      {"one-off without time, from or receivers",
       {0, 0, 1, COleDateTime(), COleDateTime(), L"", 0},
       Xml(L"State='0' Type='0' SendFlag='1' RemindTime=''>") + kContentXml + L"</Remind>",
       Json(L"\"State\": \"0\", \"Type\": \"0\", \"SendFlag\": \"1\", \"RemindTime\": \"\"") +
           kContentJson + L" }"},
      {"periodic with an unreadable deadline",
       {1, 1, 3, kTime, kUnreadable, L"", 0},
       Xml(L"State='1' Type='1' SendFlag='3'>") + kContentXml + kRepeatXml + L"</Remind>",
       Json(L"\"State\": \"1\", \"Type\": \"1\", \"SendFlag\": \"3\"") + kContentJson +
           kRepeatJson + L" }"},
      {"periodic with a deadline",
       {1, 0, 1, kTime, COleDateTime(2024, 12, 31, 0, 0, 0), L"", 1},
       Xml(L"State='0' Type='1' SendFlag='1' InvalidDate='2024-12-31'>") + kContentXml +
           kRepeatXml + L"<ReceiverList>" + kFirstXml + L"</ReceiverList></Remind>",
       Json(L"\"State\": \"0\", \"Type\": \"1\", \"SendFlag\": \"1\", "
            L"\"InvalidDate\": \"2024-12-31\"") +
           kContentJson + kRepeatJson + L", \"ReceiverList\": [ " + kFirstJson + L" ] }"},
      {"custom style",
       {2, 0, 1, kTime, COleDateTime(2024, 5, 10, 0, 0, 0), L"f", 2},
       Xml(L"State='0' Type='2' SendFlag='1' InvalidDate='2024-05-10' From='f'>") + kContentXml +
           kStyleXml + kTwoXml + L"</Remind>",
       Json(L"\"State\": \"0\", \"Type\": \"2\", \"SendFlag\": \"1\", "
            L"\"InvalidDate\": \"2024-05-10\", \"From\": \"f\"") +
           kContentJson + kStyleJson + kTwoJson + L" }"},
      {"type 4: neither repeat nor style",
       {4, -2, static_cast<short>(0x8001), kTime, COleDateTime(2024, 5, 10, 0, 0, 0), L"", 0},
       Xml(L"State='-2' Type='4' SendFlag='-32767' InvalidDate='2024-05-10'>") + kContentXml +
           L"</Remind>",
       Json(L"\"State\": \"-2\", \"Type\": \"4\", \"SendFlag\": \"-32767\", "
            L"\"InvalidDate\": \"2024-05-10\"") +
           kContentJson + L" }"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CNorvRemind remind;
    Make(remind, c.shape);
    EXPECT_EQ(remind.GenInfo_XML(), c.xml);
    EXPECT_EQ(remind.GenInfo_Json(), c.json);
    // The short forms end where the full ones start on the content.
    EXPECT_EQ(remind.GenListInfo_XML(), c.xml.substr(0, c.xml.find(L"><Content>")) + L" />");
    EXPECT_EQ(remind.GenListInfo_Json(), c.json.substr(0, c.json.find(kContentJson)) + L" }");
  }
}

TEST(RemindOutput, ReceiverFormsAndAnEmptyStyle) {
  CNorvRemind remind;
  Make(remind, {2, 0, 1, kTime, COleDateTime(), L"", 0});
  EXPECT_EQ(remind.GenReceiverInfo_XML(), L"");
  EXPECT_EQ(remind.GenReceiverInfo_Json(), L"");
  remind.m_strRemindStyleDef.Empty();
  EXPECT_EQ(remind.GenInfo_XML(), Xml(L"State='0' Type='2' SendFlag='1'>") + kContentXml +
                                      L"<RemindStyleDef /></Remind>");
  EXPECT_EQ(remind.GenInfo_Json(), Json(L"\"State\": \"0\", \"Type\": \"2\", \"SendFlag\": \"1\"") +
                                       kContentJson + L", \"RemindStyleDef\": \"\" }");
  AddReceiver(remind, 0, L"u1", L"N'1");
  AddReceiver(remind, 2, L"u2", L"");
  EXPECT_EQ(remind.GenReceiverInfo_XML(), kTwoXml);
  EXPECT_EQ(remind.GenReceiverInfo_Json(), kTwoJson.substr(2));
}

}  // namespace
