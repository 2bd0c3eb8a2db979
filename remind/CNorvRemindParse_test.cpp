#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/CNorvCommFun.h"
#include "core/CNorvXmlDocument.h"
#include "remind/CNorvRemind.h"

namespace {

constexpr wchar_t kRepeat[] = L"<Repeat DTStart='2024-05-01' RemindTime='08:30'/>";
constexpr wchar_t kReceivers[] = L"<ReceiverList><Receiver ID='u1'/></ReceiverList>";

// The parser's error text, or "ok" when it accepts the definition.
std::wstring Parse(CNorvRemind& remind, const std::wstring& xml) {
  CNorvXmlDocument document;
  EXPECT_TRUE(CNorvCommFun::ParseXML(xml, document)) << "test input is not XML";
  CString error;
  if (remind.ParseXML(document.GetRootElement(), error)) return L"ok";
  EXPECT_FALSE(error.IsEmpty());
  return error.str();
}

std::wstring Parse(const std::wstring& xml) {
  CNorvRemind remind;
  return Parse(remind, xml);
}

struct Case {
  const wchar_t* xml;
  const wchar_t* message;
};

// One definition per message, each wrong in that one respect only, listed in
// the order the parser checks.
const Case kSingleFaults[] = {
    {L"<R><Content>c</Content></R>", L"未指定提醒的时间"},
    {L"<R Type='0' RemindTime='2024-13-01 08:00'><Content>c</Content></R>", L"指定提醒的时间无效"},
    {L"<R Type='2'><Content>c</Content><RemindStyleDef>s</RemindStyleDef></R>",
     L"自定义类型的提醒未指定截止日期"},
    {L"<R Type='2' InvalidDate='2024-02-30'><Content>c</Content>"
     L"<RemindStyleDef>s</RemindStyleDef></R>",
     L"自定义类型的提醒指定截止日期无效"},
    {L"<R Type='1'><Content>c</Content><Repeat RemindTime='08:30'/></R>",
     L"周期类型的提醒，重复定义格式不正确，原因：未指定开始日期 DTStart"},
    {L"<R Type='3'><Content>c</Content><ReceiverList><Receiver Name='n'/></ReceiverList></R>",
     L"提醒接收者信息定义不正确"},
    {L"<R Type='1'><Content>c</Content></R>", L"周期提醒中未指定开始提醒的日期"},
    {L"<R Type='2' InvalidDate='2024-05-10'><Content>c</Content></R>",
     L"自定义样式提醒未指定样式信息"},
    {L"<R Type='0' RemindTime='2024-05-08 09:30'/>", L"未指定提醒的内容"},
};

TEST(RemindParseTest, EachMessageComesFromItsOwnFaultOnly) {
  std::set<std::wstring> messages;
  for (const Case& c : kSingleFaults) {
    EXPECT_EQ(Parse(c.xml), c.message) << c.xml;
    messages.insert(c.message);
  }
  EXPECT_EQ(messages.size(), std::size(kSingleFaults));
}

TEST(RemindParseTest, TheFirstFaultInStepOrderWins) {
  const Case cases[] = {
      // Time checks come before the children and the content.
      {L"<R><ReceiverList><Receiver/></ReceiverList></R>", L"未指定提醒的时间"},
      {L"<R RemindTime='x'/>", L"指定提醒的时间无效"},
      {L"<R Type='2'/>", L"自定义类型的提醒未指定截止日期"},
      {L"<R Type='2' InvalidDate='x'><ReceiverList><Receiver/></ReceiverList></R>",
       L"自定义类型的提醒指定截止日期无效"},
      // Children fail in document order, before the checks after them.
      {L"<R Type='1'><Repeat/><ReceiverList><Receiver/></ReceiverList></R>",
       L"周期类型的提醒，重复定义格式不正确，原因：未指定开始日期 DTStart"},
      {L"<R Type='1'><ReceiverList><Receiver/></ReceiverList><Repeat/></R>",
       L"提醒接收者信息定义不正确"},
      {L"<R Type='2' InvalidDate='2024-05-10'><ReceiverList><Receiver/></ReceiverList></R>",
       L"提醒接收者信息定义不正确"},
      // The start date is checked before the style, the style before the content.
      {L"<R Type='1'/>", L"周期提醒中未指定开始提醒的日期"},
      {L"<R Type='2' InvalidDate='2024-05-10'/>", L"自定义样式提醒未指定样式信息"},
  };
  for (const Case& c : cases) EXPECT_EQ(Parse(c.xml), c.message) << c.xml;
}

TEST(RemindParseTest, TheRepeatsOwnReasonIsQuoted) {
  EXPECT_EQ(Parse(L"<R Type='1'><Content>c</Content>"
                  L"<Repeat DTStart='2024-05-01' RemindTime='8:75'/></R>"),
            L"周期类型的提醒，重复定义格式不正确，原因：指定提醒时间“8:75”无效");
  EXPECT_EQ(Parse(L"<R Type='1'><Content>c</Content>"
                  L"<Repeat DTStart='2024-05-01' RegularRange='1' RemindTime='8:00'/></R>"),
            L"周期类型的提醒，重复定义格式不正确，原因：未指定重复次数");
}

TEST(RemindParseTest, ReadsAOneOffRemind) {
  CNorvRemind remind;
  CString error = L"untouched";
  CNorvXmlDocument document;
  ASSERT_TRUE(CNorvCommFun::ParseXML(
      L"<Remind RemindTime='2024-05-08 09:30:00' From='web' SendFlag='6' "
      L"InvalidDate='2024-05-10'><Content>a &amp; <b>b</b></Content>"
      L"<ContentType>Text/Html</ContentType>"
      L"<ReceiverList><Receiver Type='2' ID='u1' Name='N1'/><Receiver ID='u2'/></ReceiverList>"
      L"</Remind>",
      document));
  ASSERT_TRUE(remind.ParseXML(document.GetRootElement(), error));
  EXPECT_EQ(error, L"untouched");
  EXPECT_EQ(remind.m_nType, 0);
  EXPECT_EQ(remind.m_dtRemind, COleDateTime(2024, 5, 8, 9, 30, 0));
  // A one-off remind does not read a deadline at all.
  EXPECT_EQ(remind.m_dtInvalid.GetStatus(), COleDateTime::null);
  EXPECT_EQ(remind.m_strFrom, L"web");
  EXPECT_EQ(remind.m_nSendFlag, 6);
  EXPECT_EQ(remind.m_strContent, L"a & b");
  EXPECT_EQ(remind.m_strContentType, L"Text/Html");
  ASSERT_EQ(remind.m_lstReceiver.size(), 2u);
  EXPECT_EQ(remind.m_lstReceiver.front()->m_nReceiveType, 2);
  EXPECT_EQ(remind.m_lstReceiver.back()->m_strReceiveID, L"u2");
  EXPECT_EQ(remind.m_nState, 0);
  EXPECT_FALSE(remind.m_ID.IsValid());
}

TEST(RemindParseTest, ReadsAPeriodicRemindWithItsRepeat) {
  CNorvRemind remind;
  ASSERT_EQ(Parse(remind, L"<R Type='1' InvalidDate='2024-06-30 17:45:00' RemindTime='x'>"
                          L"<Content>c</Content>"
                          L"<Repeat DTStart='2024-05-01' RegularType='1' RegularValue='124' "
                          L"RemindTime='8:30'/></R>"),
            L"ok");
  EXPECT_EQ(remind.m_dtInvalid, COleDateTime(2024, 6, 30, 0, 0, 0));
  EXPECT_EQ(remind.m_dtRemind.GetStatus(), COleDateTime::null);
  EXPECT_EQ(remind.m_Repeat.m_nRegularType, 1);
  EXPECT_EQ(remind.m_Repeat.m_nRegularValue, 124);
  EXPECT_EQ(remind.m_Repeat.m_strRemindTime, L"8:30");
  EXPECT_EQ(remind.m_strContentType, L"Text/Text");
}

TEST(RemindParseTest, APeriodicRemindMayHaveAnUnreadableOrNoDeadline) {
  CNorvRemind remind;
  ASSERT_EQ(Parse(remind, std::wstring(L"<R Type='1' InvalidDate='soon'><Content>c</Content>") +
                              kRepeat + L"</R>"),
            L"ok");
  EXPECT_EQ(remind.m_dtInvalid.GetStatus(), COleDateTime::invalid);

  CNorvRemind open;
  ASSERT_EQ(Parse(open, std::wstring(L"<R Type='1'><Content>c</Content>") + kRepeat + L"</R>"),
            L"ok");
  EXPECT_EQ(open.m_dtInvalid.GetStatus(), COleDateTime::null);
}

TEST(RemindParseTest, ReadsACustomStyleRemindWithoutParsingItsStyle) {
  CNorvRemind remind;
  ASSERT_EQ(Parse(remind, L"<R Type='2' InvalidDate='2024-05-10'><Content>c</Content>"
                          L"<RemindStyleDef>&lt;S&gt;&lt;Item Day='1' Time='9:00'/&gt;&lt;/S&gt;"
                          L"</RemindStyleDef></R>"),
            L"ok");
  EXPECT_EQ(remind.m_dtInvalid, COleDateTime(2024, 5, 10, 0, 0, 0));
  EXPECT_EQ(remind.m_strRemindStyleDef, L"<S><Item Day='1' Time='9:00'/></S>");
  EXPECT_TRUE(remind.m_lstStyleItem.empty());

  // The style text is stored as given, even when it is not a style list.
  EXPECT_EQ(Parse(L"<R Type='2' InvalidDate='2024-05-10'><Content>c</Content>"
                  L"<RemindStyleDef>not <b>xml</b> &lt;</RemindStyleDef></R>"),
            L"ok");
}

TEST(RemindParseTest, ARepeatChildCountsOnlyForPeriodicReminds) {
  EXPECT_EQ(Parse(L"<R RemindTime='2024-05-08'><Content>c</Content><Repeat/></R>"), L"ok");
  EXPECT_EQ(Parse(L"<R Type='2' InvalidDate='2024-05-10'><Content>c</Content>"
                  L"<RemindStyleDef>s</RemindStyleDef><Repeat DTStart='bad'/></R>"),
            L"ok");
  CNorvRemind remind;
  ASSERT_EQ(Parse(remind, std::wstring(L"<R RemindTime='2024-05-08'><Content>c</Content>") +
                              kRepeat + L"</R>"),
            L"ok");
  EXPECT_EQ(remind.m_Repeat.m_dtStart.GetStatus(), COleDateTime::null);
}

TEST(RemindParseTest, ChildNamesMatchInAnyCaseAndLaterOrEmptyChildrenWin) {
  CNorvRemind remind;
  ASSERT_EQ(Parse(remind, L"<R RemindTime='2024-05-08'>text<!-- Content -->"
                          L"<content>first</content><CONTENT>second</CONTENT>"
                          L"<contenttype>T/1</contenttype><Other><Content>no</Content></Other>"
                          L"<?Content pi?></R>"),
            L"ok");
  EXPECT_EQ(remind.m_strContent, L"second");
  EXPECT_EQ(remind.m_strContentType, L"T/1");

  CNorvRemind emptyType;
  ASSERT_EQ(Parse(emptyType, L"<R RemindTime='2024-05-08'><Content>c</Content>"
                             L"<ContentType></ContentType></R>"),
            L"ok");
  EXPECT_EQ(emptyType.m_strContentType, L"Text/Text");
}

TEST(RemindParseTest, OtherTypesNeedOnlyContent) {
  CNorvRemind remind;
  ASSERT_EQ(Parse(remind, L"<R Type='7'><Content>c</Content></R>"), L"ok");
  EXPECT_EQ(remind.m_nType, 7);
  EXPECT_EQ(Parse(L"<R Type='7'/>"), L"未指定提醒的内容");
}

TEST(RemindParseTest, NumbersReadTheirLeadingDigitsInSixteenBits) {
  CNorvRemind remind;
  // 65537 is 1 in sixteen bits: a periodic remind.
  EXPECT_EQ(Parse(remind, L"<R Type='65537'><Content>c</Content></R>"),
            L"周期提醒中未指定开始提醒的日期");
  EXPECT_EQ(remind.m_nType, 1);
  // Garbage reads as 0: a one-off remind.
  EXPECT_EQ(Parse(L"<R Type='abc'><Content>c</Content></R>"), L"未指定提醒的时间");
  CNorvRemind flags;
  ASSERT_EQ(Parse(flags, L"<R Type=' 2x' InvalidDate='2024-05-10' SendFlag='5 apples'>"
                         L"<Content>c</Content><RemindStyleDef>s</RemindStyleDef></R>"),
            L"ok");
  EXPECT_EQ(flags.m_nType, 2);
  EXPECT_EQ(flags.m_nSendFlag, 5);
  CNorvRemind wide;
  ASSERT_EQ(Parse(wide, L"<R Type='-65536' RemindTime='2024-05-08' SendFlag='98304'>"
                        L"<Content>c</Content></R>"),
            L"ok");
  EXPECT_EQ(wide.m_nType, 0);
  EXPECT_EQ(wide.m_nSendFlag, static_cast<short>(98304));
}

TEST(RemindParseTest, AnAbsentTypeKeepsTheCurrentOne) {
  CNorvRemind remind;
  remind.m_nType = 2;
  EXPECT_EQ(Parse(remind, L"<R RemindTime='2024-05-08'><Content>c</Content></R>"),
            L"自定义类型的提醒未指定截止日期");
}

TEST(RemindParseTest, ReceiversAreReplacedOnEntryAndAppendedByEachList) {
  CNorvRemind remind;
  CNorvBasePtr<CEmItem> old(new CEmItem);
  remind.m_lstReceiver = {old};
  ASSERT_EQ(Parse(remind, L"<R RemindTime='2024-05-08'><Content>c</Content>"
                          L"<ReceiverList><Receiver ID='a'/></ReceiverList>"
                          L"<receiverlist><Receiver ID='b'/><Receiver ID='c'/></receiverlist></R>"),
            L"ok");
  ASSERT_EQ(remind.m_lstReceiver.size(), 3u);
  EXPECT_EQ(remind.m_lstReceiver.front()->m_strReceiveID, L"a");
  EXPECT_EQ(remind.m_lstReceiver.back()->m_strReceiveID, L"c");
}

TEST(RemindParseTest, AFailureKeepsWhatWasReadBeforeIt) {
  CNorvRemind remind;
  EXPECT_EQ(Parse(remind, L"<R RemindTime='2024-05-08' From='f' SendFlag='2'>"
                          L"<ReceiverList><Receiver ID='a'/><Receiver/></ReceiverList></R>"),
            L"提醒接收者信息定义不正确");
  EXPECT_EQ(remind.m_dtRemind, COleDateTime(2024, 5, 8, 0, 0, 0));
  EXPECT_EQ(remind.m_strFrom, L"f");
  EXPECT_EQ(remind.m_nSendFlag, 2);
  ASSERT_EQ(remind.m_lstReceiver.size(), 1u);
  EXPECT_EQ(remind.m_lstReceiver.front()->m_strReceiveID, L"a");

  CNorvRemind custom;
  EXPECT_EQ(Parse(custom, L"<R Type='2' InvalidDate='x'/>"), L"自定义类型的提醒指定截止日期无效");
  EXPECT_EQ(custom.m_dtInvalid.GetStatus(), COleDateTime::invalid);
}

TEST(RemindParseTest, HostileDefinitionsGiveTheirResultWithoutCrashing) {
  // Attributes that are present but empty are read, not skipped.
  EXPECT_EQ(Parse(L"<R Type='' RemindTime=''><Content>c</Content></R>"), L"指定提醒的时间无效");
  EXPECT_EQ(Parse(L"<R Type='2' InvalidDate=''><Content>c</Content></R>"),
            L"自定义类型的提醒指定截止日期无效");
  EXPECT_EQ(Parse(L"<R RemindTime='2024-05-08 25:00'><Content>c</Content></R>"),
            L"指定提醒的时间无效");

  // Content nested far deeper than any stack allows.
  std::wstring deep = L"<R RemindTime='2024-05-08'><Content>";
  for (int i = 0; i < 100000; ++i) deep += L"<d>x";
  for (int i = 0; i < 100000; ++i) deep += L"</d>";
  deep += L"</Content></R>";
  CNorvRemind nested;
  ASSERT_EQ(Parse(nested, deep), L"ok");
  EXPECT_EQ(nested.m_strContent.GetLength(), 100000);

  // Huge texts are kept whole.
  const std::wstring big(1 << 20, L'\x4E2D');
  CNorvRemind huge;
  ASSERT_EQ(Parse(huge, L"<R RemindTime='2024-05-08' From='" + big + L"'><Content>" + big +
                            L"</Content></R>"),
            L"ok");
  EXPECT_EQ(huge.m_strContent, big);
  EXPECT_EQ(huge.m_strFrom, big);
  EXPECT_EQ(Parse(L"<R RemindTime='" + big + L"'><Content>c</Content></R>"), L"指定提醒的时间无效");
}

}  // namespace
