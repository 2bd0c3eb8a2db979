#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "core/base/CNorvCommFun.h"
#include "core/base/CNorvXmlDocument.h"
#include "remind/CNorvRemind.h"

namespace {

// The parser's error text, or "ok" when it accepts the definition.
std::wstring Parse(CNorvRemind& remind, const std::wstring& xml) {
  CNorvXmlDocument document;
  EXPECT_TRUE(CNorvCommFun::ParseXML(xml, document)) << "test input is not XML";
  CString error = L"untouched";
  if (remind.ParseXML(document.GetRootElement(), error)) {
    EXPECT_EQ(error, L"untouched");
    return L"ok";
  }
  return error.str();
}

// What a parse filled: every field that differs from a new remind's.
std::wstring Fields(CNorvRemind& remind) {
  // Receivers as "id:type/name," with a type of 0 and an empty name left out.
  std::wstring receivers;
  for (const auto& receiver : remind.m_lstReceiver) {
    receivers += receiver->m_strReceiveID.str();
    if (receiver->m_nReceiveType != 0)
      receivers += L":" + std::to_wstring(receiver->m_nReceiveType);
    if (!receiver->m_strReceiveName.IsEmpty()) receivers += L"/" + receiver->m_strReceiveName.str();
    receivers += L",";
  }
  const std::pair<const wchar_t*, CString> fields[] = {
      {L"type", std::to_wstring(remind.m_nType)},
      {L"time", remind.m_dtRemind.Format(L"%Y-%m-%d %H:%M:%S")},
      {L"invalid", remind.m_dtInvalid.Format(L"%Y-%m-%d %H:%M:%S")},
      {L"from", remind.m_strFrom},
      {L"flag", std::to_wstring(remind.m_nSendFlag)},
      {L"content", remind.m_strContent},
      {L"contentType", remind.m_strContentType},
      {L"style", remind.m_strRemindStyleDef},
      {L"items", std::to_wstring(remind.m_lstStyleItem.size())},
      {L"start", remind.m_Repeat.m_dtStart.Format(L"%Y-%m-%d")},
      {L"repeatTime", remind.m_Repeat.m_strRemindTime},
      {L"value", std::to_wstring(remind.m_Repeat.m_nRegularValue)},
      {L"receivers", receivers}};
  static const std::wstring defaults[] = {L"0", L"",  L"", L"", L"1", L"", L"Text/Text",
                                          L"",  L"0", L"", L"", L"0", L""};
  std::wstring text;
  for (size_t i = 0; i < std::size(fields); ++i) {
    if (fields[i].second.str() == defaults[i]) continue;
    text +=
        (text.empty() ? L"" : L" ") + std::wstring(fields[i].first) + L"=" + fields[i].second.str();
  }
  return text;
}

// The error text of a refused definition, what an accepted one filled. Each
// of the first definitions is wrong in one respect only; then the first fault wins.
TEST(RemindParse, EachMessageComesFromItsOwnFaultInStepOrderAndAcceptedOnesFillTheirFields) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"<R><Content>c</Content></R>", L"未指定提醒的时间"},
      {L"<R Type='0' RemindTime='2024-13-01 08:00'><Content>c</Content></R>",
       L"指定提醒的时间无效"},
      {L"<R Type='2'><Content>c</Content><RemindStyleDef>s</RemindStyleDef></R>",
       L"自定义类型的提醒未指定截止日期"},
      {L"<R Type='2' InvalidDate='2024-02-30'><Content>c</Content>"
       L"<RemindStyleDef>s</RemindStyleDef></R>",
       L"自定义类型的提醒指定截止日期无效"},
      {L"<R Type='1'><Content>c</Content><Repeat DTStart='2024-05-01' RemindTime='8:75'/></R>",
       L"周期类型的提醒，重复定义格式不正确，原因：指定提醒时间“8:75”无效"},
      {L"<R Type='3'><Content>c</Content><ReceiverList><Receiver Name='n'/></ReceiverList></R>",
       L"提醒接收者信息定义不正确"},
      {L"<R Type='3'><Content>c</Content><ReceiverList><Receiver ID=''/></ReceiverList></R>",
       L"提醒接收者信息定义不正确"},
      {L"<R Type='1'><Content>c</Content></R>", L"周期提醒中未指定开始提醒的日期"},
      {L"<R Type='2' InvalidDate='2024-05-10'><Content>c</Content></R>",
       L"自定义样式提醒未指定样式信息"},
      {L"<R Type='0' RemindTime='2024-05-08 09:30'/>", L"未指定提醒的内容"},
      // Times come before the children, children in document order, then the
      // start date, the style and the content.
      {L"<R><ReceiverList><Receiver/></ReceiverList></R>", L"未指定提醒的时间"},
      {L"<R Type='1'><Repeat/><ReceiverList><Receiver/></ReceiverList></R>",
       L"周期类型的提醒，重复定义格式不正确，原因：未指定开始日期 DTStart"},
      {L"<R Type='1'><ReceiverList><Receiver/></ReceiverList><Repeat/></R>",
       L"提醒接收者信息定义不正确"},
      {L"<R Type='1'/>", L"周期提醒中未指定开始提醒的日期"},
      {L"<R Type='2' InvalidDate='2024-05-10'/>", L"自定义样式提醒未指定样式信息"},
      // Present but empty attributes are read, not skipped.
      {L"<R Type='' RemindTime=''><Content>c</Content></R>", L"指定提醒的时间无效"},
      {L"<R Type='2' InvalidDate=''><Content>c</Content></R>", L"自定义类型的提醒指定截止日期无效"},
      // Text that is no number is 0.
      {L"<R Type='abc'><Content>c</Content></R>", L"未指定提醒的时间"},
      {L"<R Type='7'/>", L"未指定提醒的内容"},
      // A one-off remind reads no deadline; children's texts include their descendants'.
      {L"<Remind RemindTime='2024-05-08 09:30:00' From='web' SendFlag='6' "
       L"InvalidDate='2024-05-10'><Content>a &amp; <b>b</b></Content>"
       L"<ContentType>Text/Html</ContentType>"
       L"<ReceiverList><Receiver ID='u1'/><Receiver ID='u2'/></ReceiverList></Remind>",
       L"time=2024-05-08 09:30:00 from=web flag=6 content=a & b contentType=Text/Html "
       L"receivers=u1,u2,"},
      // Other types read the deadline as a date and never the remind time.
      {L"<R Type='1' InvalidDate='2024-06-30 17:45:00' RemindTime='x'><Content>c</Content>"
       L"<Repeat DTStart='2024-05-01' RegularValue='124' RemindTime='8:30'/></R>",
       L"type=1 invalid=2024-06-30 00:00:00 content=c start=2024-05-01 repeatTime=8:30 value=124"},
      {L"<R Type='1' InvalidDate='soon'><Content>c</Content>"
       L"<Repeat DTStart='2024-05-01' RemindTime='8:30'/></R>",
       L"type=1 invalid=Invalid DateTime content=c start=2024-05-01 repeatTime=8:30"},
      // The style text is stored as given and not parsed.
      {L"<R Type='2' InvalidDate='2024-05-10'><Content>c</Content>"
       L"<RemindStyleDef>&lt;S&gt;&lt;Item Day='1' Time='9:00'/&gt;&lt;/S&gt;</RemindStyleDef></R>",
       L"type=2 invalid=2024-05-10 00:00:00 content=c style=<S><Item Day='1' Time='9:00'/></S>"},
      // A repeat child counts only for a periodic remind, even when malformed.
      {L"<R RemindTime='2024-05-08'><Content>c</Content><Repeat DTStart='2024-05-01' "
       L"RemindTime='08:30'/></R>",
       L"time=2024-05-08 00:00:00 content=c"},
      {L"<R Type=' 2x' InvalidDate='2024-05-10' SendFlag='5 apples'><Content>c</Content>"
       L"<RemindStyleDef>not <b>xml</b> &lt;</RemindStyleDef><Repeat DTStart='bad'/></R>",
       L"type=2 invalid=2024-05-10 00:00:00 flag=5 content=c style=not xml <"},
      // Names in any case, the last one wins; other nodes are ignored.
      {L"<R RemindTime='2024-05-08'>text<!-- Content --><content>first</content>"
       L"<CONTENT>second</CONTENT><contenttype>T/1</contenttype>"
       L"<Other><Content>no</Content></Other><?Content pi?></R>",
       L"time=2024-05-08 00:00:00 content=second contentType=T/1"},
      // Each receiver list appends to the list that parsing emptied first;
      // receivers in any case, other nodes skipped.
      {L"<R Type='7'><Content>c</Content><ReceiverList><Receiver ID='a'/></ReceiverList>"
       L"<receiverlist>text<!-- c --><Other ID='x'/><RECEIVER Type='-2' ID='b' "
       L"Name='\x5F20\x4E09'/><Receiver ID='c'/></receiverlist></R>",
       L"type=7 content=c receivers=a,b:-2/\x5F20\x4E09,c,"},
      {L"<R Type='7'><Content>c</Content></R>", L"type=7 content=c"},
  };
  for (const auto& [xml, result] : cases) {
    CNorvRemind remind;
    remind.m_lstReceiver = {new CEmItem};
    const std::wstring parsed = Parse(remind, xml);
    EXPECT_EQ(parsed == L"ok" ? Fields(remind) : parsed, result) << CString(xml).ToUtf8();
  }
}

TEST(RemindParse, AbsentTypeKeepsTheCurrentOneAndFailuresKeepWhatWasRead) {
  CNorvRemind custom;
  custom.m_nType = 2;
  EXPECT_EQ(Parse(custom, L"<R RemindTime='2024-05-08'><Content>c</Content></R>"),
            L"自定义类型的提醒未指定截止日期");

  CNorvRemind remind;
  EXPECT_EQ(Parse(remind,
                  L"<R RemindTime='2024-05-08' From='f' SendFlag='2'><Content>c</Content>"
                  L"<ReceiverList><Receiver ID='a'/><Receiver/></ReceiverList></R>"),
            L"提醒接收者信息定义不正确");
  EXPECT_EQ(Fields(remind), L"time=2024-05-08 00:00:00 from=f flag=2 content=c receivers=a,");
}

// Content gathers the text of every descendant, however deep.
TEST(RemindParse, DeeplyNestedContentIsGatheredWithoutCrashing) {
  std::wstring deep = L"<R RemindTime='2024-05-08'><Content>";
  for (int i = 0; i < 100000; ++i) deep += L"<d>x";
  for (int i = 0; i < 100000; ++i) deep += L"</d>";
  CNorvRemind nested;
  ASSERT_EQ(Parse(nested, deep + L"</Content></R>"), L"ok");
  EXPECT_EQ(nested.m_strContent.GetLength(), 100000);
}

}  // namespace
