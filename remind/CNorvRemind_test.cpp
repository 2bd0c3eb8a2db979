#include "remind/CNorvRemind.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

using ReceiverList = std::list<CNorvBasePtr<CEmItem>>;
using ItemList = std::list<CNorvBasePtr<CNorvRemindStyleItem>>;

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

void MakePeriodic(CNorvRemind& remind, short regularType, const wchar_t* time) {
  remind.m_nType = CNorvRemind::kPeriodic;
  remind.m_Repeat.m_nRegularType = regularType;
  remind.m_Repeat.m_strRemindTime = time;
  remind.m_Repeat.m_dtStart = COleDateTime(2024, 1, 1, 0, 0, 0);
}

TEST(RemindRecordTest, ANewRemindIsAnActiveOneOffInstantMessage) {
  COleDateTime before = COleDateTime::GetCurrentTime();
  CNorvBasePtr<CNorvRemind> remind(new CNorvRemind);
  COleDateTime after = COleDateTime::GetCurrentTime();

  EXPECT_EQ(remind->GetType(), 0);
  EXPECT_EQ(remind->GetState(), 0);
  EXPECT_EQ(remind->GetSendFlag(), 1);
  EXPECT_TRUE(remind->HasAMFlag());
  EXPECT_FALSE(remind->HasSMSFlag());
  EXPECT_FALSE(remind->HasEmailFlag());
  EXPECT_FALSE(remind->HasRepeat());
  EXPECT_FALSE(remind->m_ID.IsValid());
  EXPECT_EQ(remind->m_dtRemind.GetStatus(), COleDateTime::null);
  EXPECT_EQ(remind->GetInvalidDate().GetStatus(), COleDateTime::null);
  CString content = L"x", contentType;
  remind->GetContent(content, contentType);
  EXPECT_EQ(content, L"");
  EXPECT_EQ(contentType, L"Text/Text");
  EXPECT_TRUE(remind->m_lstReceiver.empty());
  EXPECT_TRUE(remind->m_lstStyleItem.empty());
  EXPECT_TRUE(remind->m_mapAMMsg.empty());

  COleDateTime created;
  ASSERT_TRUE(created.ParseDateTime(remind->m_strCreateTime)) << remind->m_strCreateTime.ToUtf8();
  EXPECT_TRUE(before <= created && created <= after);
}

TEST(RemindRecordTest, SendFlagBitsSelectTheChannels) {
  CNorvRemind remind;
  remind.m_nSendFlag = 6;
  EXPECT_FALSE(remind.HasAMFlag());
  EXPECT_TRUE(remind.HasSMSFlag());
  EXPECT_TRUE(remind.HasEmailFlag());
  remind.m_nSendFlag = static_cast<short>(0xFFF8);
  EXPECT_FALSE(remind.HasAMFlag() || remind.HasSMSFlag() || remind.HasEmailFlag());
  remind.m_nSendFlag = -1;
  EXPECT_TRUE(remind.HasAMFlag() && remind.HasSMSFlag() && remind.HasEmailFlag());
}

TEST(RemindRecordTest, OnlyTypeOneHasARepeat) {
  CNorvRemind remind;
  for (short type : {0, 2, 5, -1}) {
    remind.m_nType = type;
    EXPECT_FALSE(remind.HasRepeat()) << type;
  }
  remind.m_nType = 1;
  EXPECT_TRUE(remind.HasRepeat());
}

TEST(RemindRecordTest, GetReceiverListReplacesAndShares) {
  CNorvRemind remind;
  remind.m_lstReceiver = {MakeReceiver(L"a"), MakeReceiver(L"b")};
  ReceiverList out{MakeReceiver(L"old")};
  remind.GetReceiverList(out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out.front().p, remind.m_lstReceiver.front().p);
  EXPECT_EQ(out.back()->m_strReceiveID, L"b");
}

TEST(RemindCopyTest, SetInfoCopiesTheDefinitionButNotTheIdentity) {
  CNorvRemind source;
  MakePeriodic(source, 1, L"08:30");
  source.m_Repeat.m_nRegularValue = 124;
  source.m_nState = 1;
  source.m_dtInvalid = COleDateTime(2024, 6, 1, 0, 0, 0);
  source.m_dtRemind = COleDateTime(2024, 5, 1, 9, 0, 0);
  source.m_nSendFlag = 4;
  source.m_strContent = L"source content";
  source.m_strContentType = L"Text/Html";
  source.m_strRemindStyleDef = L"<S/>";
  source.m_lstStyleItem = {MakeItem(1, L"09:00"), MakeItem(0, L"08:00")};
  source.m_lstReceiver = {MakeReceiver(L"a"), MakeReceiver(L"b")};
  source.m_ID.NewID();
  source.m_strFrom = L"source from";
  source.m_strCreatorID = L"source creator";

  CNorvRemind target;
  target.m_ID.NewID();
  const CGuid targetID = target.m_ID;
  target.m_strFrom = L"mine";
  target.m_strCreatorID = L"me";
  target.m_strCreatorName = L"Me";
  target.m_strCreateTime = L"2000-01-01 00:00:00";
  target.m_lstReceiver = {MakeReceiver(L"old")};
  target.SetInfo(&source);

  EXPECT_EQ(target.GetState(), 1);
  EXPECT_EQ(target.GetType(), 1);
  EXPECT_EQ(target.m_Repeat.m_nRegularType, 1);
  EXPECT_EQ(target.m_Repeat.m_nRegularValue, 124);
  EXPECT_EQ(target.m_Repeat.m_strRemindTime, L"08:30");
  EXPECT_EQ(target.GetInvalidDate(), source.m_dtInvalid);
  EXPECT_EQ(target.m_dtRemind, source.m_dtRemind);
  EXPECT_EQ(target.GetSendFlag(), 4);
  EXPECT_EQ(target.m_strContent, L"source content");
  EXPECT_EQ(target.m_strContentType, L"Text/Html");
  EXPECT_EQ(target.m_strRemindStyleDef, L"<S/>");

  EXPECT_TRUE(target.m_ID == targetID);
  EXPECT_EQ(target.m_strFrom, L"mine");
  EXPECT_EQ(target.m_strCreatorID, L"me");
  EXPECT_EQ(target.m_strCreatorName, L"Me");
  EXPECT_EQ(target.m_strCreateTime, L"2000-01-01 00:00:00");
}

TEST(RemindCopyTest, SetInfoSharesItemsAndReceiversThatOutliveTheSource) {
  CNorvRemind target;
  {
    CNorvRemind source;
    source.m_lstStyleItem = {MakeItem(1, L"09:00"), MakeItem(0, L"08:00")};
    source.m_lstReceiver = {MakeReceiver(L"a"), MakeReceiver(L"b")};
    target.SetInfo(&source);
    ASSERT_EQ(target.m_lstReceiver.size(), 2u);
    EXPECT_EQ(target.m_lstReceiver.front().p, source.m_lstReceiver.front().p);
    EXPECT_EQ(target.m_lstStyleItem.back().p, source.m_lstStyleItem.back().p);
    source.m_lstReceiver.front()->m_strReceiveName = L"renamed";
    source.m_lstReceiver.clear();
    source.m_lstStyleItem.clear();
  }
  EXPECT_EQ(target.m_lstReceiver.front()->m_strReceiveName, L"renamed");
  EXPECT_EQ(target.m_lstReceiver.back()->m_strReceiveID, L"b");
  EXPECT_EQ(target.m_lstStyleItem.front()->m_strTime, L"09:00");
}

TEST(RemindCopyTest, SetInfoFromANonPeriodicRemindKeepsTheRepeat) {
  CNorvRemind target;
  MakePeriodic(target, 2, L"07:15");
  CNorvRemind oneOff;
  MakePeriodic(oneOff, 3, L"23:00");
  oneOff.m_nType = 0;
  target.SetInfo(&oneOff);
  EXPECT_EQ(target.GetType(), 0);
  EXPECT_EQ(target.m_Repeat.m_nRegularType, 2);
  EXPECT_EQ(target.m_Repeat.m_strRemindTime, L"07:15");
}

TEST(RemindCopyTest, GetInfoCopiesIntoTheTargetButNotItsStyle) {
  CNorvRemind source;
  MakePeriodic(source, 0, L"06:45");
  source.m_Repeat.m_nInterval = 3;
  source.m_strContent = L"c";
  source.m_lstReceiver = {MakeReceiver(L"a")};
  source.m_strRemindStyleDef = L"<source/>";
  source.m_lstStyleItem = {MakeItem(9, L"09:00")};

  CNorvRemind target;
  target.m_strRemindStyleDef = L"<mine/>";
  auto mine = MakeItem(1, L"01:00");
  target.m_lstStyleItem = {mine};
  target.m_lstReceiver = {MakeReceiver(L"old1"), MakeReceiver(L"old2")};
  source.GetInfo(&target);

  EXPECT_EQ(target.GetType(), 1);
  EXPECT_EQ(target.m_Repeat.m_nInterval, 3);
  EXPECT_EQ(target.m_Repeat.m_strRemindTime, L"06:45");
  EXPECT_EQ(target.m_strContent, L"c");
  ASSERT_EQ(target.m_lstReceiver.size(), 1u);
  EXPECT_EQ(target.m_lstReceiver.front().p, source.m_lstReceiver.front().p);
  EXPECT_EQ(target.m_strRemindStyleDef, L"<mine/>");
  ASSERT_EQ(target.m_lstStyleItem.size(), 1u);
  EXPECT_EQ(target.m_lstStyleItem.front().p, mine.p);
}

TEST(RemindCopyTest, GetInfoFromANonPeriodicRemindKeepsTheTargetsRepeat) {
  CNorvRemind source;
  CNorvRemind target;
  MakePeriodic(target, 2, L"07:15");
  source.GetInfo(&target);
  EXPECT_EQ(target.GetType(), 0);
  EXPECT_EQ(target.m_Repeat.m_strRemindTime, L"07:15");
}

// Counts destructions so the test sees what a remind releases.
std::atomic<int> g_destroyed{0};

struct CountedReceiver : CEmItem {
  ~CountedReceiver() override { ++g_destroyed; }
};
struct CountedItem : CNorvRemindStyleItem {
  ~CountedItem() override { ++g_destroyed; }
};
struct CountedMessage : CNorvRemindAMMsg {
  ~CountedMessage() override { ++g_destroyed; }
};

TEST(RemindRecordTest, DestroyingARemindReleasesWhatItHolds) {
  g_destroyed = 0;
  CNorvBasePtr<CEmItem> kept(new CountedReceiver);
  {
    CNorvBasePtr<CNorvRemind> remind(new CNorvRemind);
    remind->m_lstReceiver = {kept, new CountedReceiver};
    remind->m_lstStyleItem = {new CountedItem};
    CGuid id;
    id.NewID();
    remind->m_mapAMMsg[id] = new CountedMessage;
  }
  EXPECT_EQ(g_destroyed, 3);
  kept = nullptr;
  EXPECT_EQ(g_destroyed, 4);
}

}  // namespace
