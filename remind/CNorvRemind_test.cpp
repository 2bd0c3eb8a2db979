#include "remind/CNorvRemind.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

CNorvBasePtr<CEmItem> MakeReceiver(const wchar_t* id) {
  CNorvBasePtr<CEmItem> receiver(new CEmItem);
  receiver->m_strReceiveID = id;
  return receiver;
}

CNorvBasePtr<CNorvRemindStyleItem> MakeItem(int day, const wchar_t* time) {
  CNorvBasePtr<CNorvRemindStyleItem> item(new CNorvRemindStyleItem);
  item->m_nDay = day;
  item->m_strTime = time;
  return item;
}

// What the copies carry, in one line; the repeat by its own text.
std::wstring Definition(CNorvRemind& remind) {
  CString text;
  text.Format(
      L"state=%d type=%d flag=%d remind=%s invalid=%s content=%s/%s style=%s items=%d "
      L"receivers=%d %s",
      remind.m_nState, remind.m_nType, remind.m_nSendFlag,
      remind.m_dtRemind.Format(L"%Y-%m-%d %H:%M:%S"), remind.m_dtInvalid.Format(L"%Y-%m-%d"),
      remind.m_strContent, remind.m_strContentType, remind.m_strRemindStyleDef,
      static_cast<int>(remind.m_lstStyleItem.size()), static_cast<int>(remind.m_lstReceiver.size()),
      remind.m_Repeat.GenInfo_XML());
  return text.str();
}

// A weekly remind with every copied field set, and an identity of its own.
void MakeSource(CNorvRemind& remind) {
  remind.m_nState = 1;
  remind.m_nType = CNorvRemind::kPeriodic;
  remind.m_Repeat.m_nRegularType = 1;
  remind.m_Repeat.m_nRegularValue = 124;
  remind.m_Repeat.m_strRemindTime = L"08:30";
  remind.m_Repeat.m_dtStart = COleDateTime(2024, 1, 1, 0, 0, 0);
  remind.m_dtInvalid = COleDateTime(2024, 6, 1, 0, 0, 0);
  remind.m_dtRemind = COleDateTime(2024, 5, 1, 9, 0, 0);
  remind.m_nSendFlag = 4;
  remind.m_strContent = L"source";
  remind.m_strContentType = L"Text/Html";
  remind.m_strRemindStyleDef = L"<S/>";
  remind.m_lstStyleItem = {MakeItem(1, L"09:00"), MakeItem(0, L"08:00")};
  remind.m_lstReceiver = {MakeReceiver(L"a"), MakeReceiver(L"b")};
  remind.m_ID.NewID();
  remind.m_strFrom = L"source from";
  remind.m_strCreatorID = L"source creator";
}

const wchar_t kSourceDefinition[] =
    L"state=1 type=1 flag=4 remind=2024-05-01 09:00:00 invalid=2024-06-01 content=source/Text/Html "
    L"style=<S/> items=2 receivers=2 <Repeat RemindTime='08:30' RegularType='1' Interval='1' "
    L"RagularValue='124' RegularRange='0' DTStart='2024-01-01' />";

TEST(RemindRecord, ANewRemindIsAnActiveOneOffInstantMessage) {
  const COleDateTime before = COleDateTime::GetCurrentTime();
  CNorvBasePtr<CNorvRemind> remind(new CNorvRemind);
  const COleDateTime after = COleDateTime::GetCurrentTime();
  EXPECT_EQ(Definition(*remind),
            L"state=0 type=0 flag=1 remind= invalid= content=/Text/Text style= items=0 receivers=0 "
            L"<Repeat RemindTime='' RegularType='0' Interval='1' RagularValue='0' "
            L"RegularRange='0' DTStart='' />");
  EXPECT_FALSE(remind->m_ID.IsValid());
  EXPECT_TRUE(remind->m_mapAMMsg.empty());
  COleDateTime created;
  ASSERT_TRUE(created.ParseDateTime(remind->m_strCreateTime)) << remind->m_strCreateTime.ToUtf8();
  EXPECT_TRUE(before <= created && created <= after);
}

TEST(RemindRecord, AccessorsReadTheFields) {
  CNorvRemind remind;
  MakeSource(remind);
  EXPECT_EQ(remind.GetState() * 100 + remind.GetType() * 10 + remind.GetSendFlag(), 114);
  EXPECT_EQ(remind.GetInvalidDate(), COleDateTime(2024, 6, 1, 0, 0, 0));
  std::list<CNorvBasePtr<CEmItem>> out{MakeReceiver(L"old")};
  remind.GetReceiverList(out);
  EXPECT_EQ(out, remind.m_lstReceiver);  // replaced, and the same objects
  // Send flag bits 0, 1 and 2: instant message, SMS, e-mail.
  const std::pair<short, int> flags[] = {
      {1, 1}, {2, 2}, {4, 4}, {static_cast<short>(0xFFF8), 0}, {-1, 7}};
  for (const auto& [flag, channels] : flags) {
    remind.m_nSendFlag = flag;
    EXPECT_EQ(remind.HasAMFlag() + remind.HasSMSFlag() * 2 + remind.HasEmailFlag() * 4, channels);
  }
  for (short type : {0, 1, 2, 5, -1}) {
    remind.m_nType = type;
    EXPECT_EQ(remind.HasRepeat(), type == 1) << type;
  }
}

// The copies share the lists' objects; the identity and the people stay.
TEST(RemindCopy, SetInfoTakesTheDefinitionAndGetInfoAllButTheStyle) {
  CNorvRemind target;
  target.m_ID.NewID();
  const CGuid targetID = target.m_ID;
  target.m_strFrom = L"mine";
  target.m_strCreateTime = L"2000-01-01 00:00:00";
  target.m_lstReceiver = {MakeReceiver(L"old")};
  CNorvRemind source;
  MakeSource(source);
  target.SetInfo(&source);
  EXPECT_EQ(Definition(target), kSourceDefinition);
  EXPECT_EQ(target.m_lstReceiver, source.m_lstReceiver);
  EXPECT_EQ(target.m_lstStyleItem, source.m_lstStyleItem);
  EXPECT_TRUE(target.m_ID == targetID);
  EXPECT_EQ(target.m_strFrom + target.m_strCreatorID + target.m_strCreateTime,
            L"mine2000-01-01 00:00:00");

  CNorvRemind copy;
  copy.m_strRemindStyleDef = L"<mine/>";
  copy.m_lstStyleItem = {MakeItem(1, L"01:00")};
  source.GetInfo(&copy);
  std::wstring expected = kSourceDefinition;
  expected.replace(expected.find(L"style=<S/> items=2"), 18, L"style=<mine/> items=1");
  EXPECT_EQ(Definition(copy), expected);
  EXPECT_EQ(copy.m_lstReceiver, source.m_lstReceiver);
  EXPECT_TRUE(copy.m_strFrom.IsEmpty());

  // Only a periodic source hands its repeat over.
  CNorvRemind oneOff;
  oneOff.m_Repeat.m_strRemindTime = L"23:00";
  target.SetInfo(&oneOff);
  oneOff.GetInfo(&copy);
  EXPECT_EQ(target.m_Repeat.GenInfo_XML() + copy.m_Repeat.GenInfo_XML(),
            source.m_Repeat.GenInfo_XML() + source.m_Repeat.GenInfo_XML());
}

}  // namespace
