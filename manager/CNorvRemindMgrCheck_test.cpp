#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "core/COleDateTimeSpan.h"
#include "manager/CNorvRemindMgr.h"

namespace {

using Messages = std::vector<CNorvRemindAMMsg*>;

// A message due `seconds` from now (negative: in the past).
CNorvBasePtr<CNorvRemindAMMsg> MessageAt(int seconds, const CGuid& remindID = CGuid()) {
  CNorvBasePtr<CNorvRemindAMMsg> message = new CNorvRemindAMMsg;
  message->m_ID.NewID();
  message->m_RemindID = remindID;
  message->m_dtRemind = COleDateTime::GetCurrentTime() + COleDateTimeSpan(0, 0, 0, seconds);
  return message;
}

CNorvBasePtr<CNorvRemindAMMsg> InvalidTimeMessage() {
  CNorvBasePtr<CNorvRemindAMMsg> message = MessageAt(0);
  message->m_dtRemind.SetStatus(COleDateTime::invalid);
  return message;
}

Messages CheckList(CNorvRemindMgr& manager) {
  return Messages(manager.RemindAMMsgList.begin(), manager.RemindAMMsgList.end());
}

// Empties the send queue; the tests hold their messages themselves.
Messages DrainSendQueue(CNorvRemindMgr& manager) {
  Messages sent;
  while (CNorvBasePtr<CNorvRemindAMMsg> message = manager.GetSendAMMsg()) sent.push_back(message);
  return sent;
}

Messages PendingOf(CNorvRemind* remind) {
  std::list<CNorvBasePtr<CNorvRemindAMMsg>> list;
  remind->GetAMMsgList(list);
  return Messages(list.begin(), list.end());
}

TEST(CheckCycle, EmptyListPassQueuesNothing) {
  CNorvRemindMgr manager;
  manager.CheckAMMsg();
  EXPECT_TRUE(!manager.GetSendAMMsg());
  EXPECT_FALSE(manager.SendEvent.IsSet());
}

TEST(CheckCycle, DueMessagesMoveInListOrderAndLeaveTheirRemind) {
  CNorvRemindMgr manager;
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  remind->m_ID.NewID();
  ASSERT_TRUE(manager.AddRemind(remind));
  auto later = MessageAt(3600, remind->m_ID);
  auto first = MessageAt(-30, remind->m_ID);
  CNorvBasePtr<CNorvRemindAMMsg> second = new CNorvRemindAMMsg;
  second->m_ID.NewID();
  second->m_RemindID = remind->m_ID;
  second->m_dtRemind = first->m_dtRemind;
  for (CNorvRemindAMMsg* message : {later.p, first.p, second.p}) {
    remind->AddAMMsg(message);
    manager.AddRemindAMMsg(message, true);
  }
  ASSERT_EQ(CheckList(manager), (Messages{first, second, later}));

  manager.CheckAMMsg();
  EXPECT_TRUE(manager.SendEvent.IsSet());
  EXPECT_EQ(DrainSendQueue(manager), (Messages{first, second}));
  EXPECT_EQ(CheckList(manager), Messages{later});
  EXPECT_EQ(PendingOf(remind), Messages{later});
}

TEST(CheckCycle, MessageOfTheCurrentSecondIsDue) {
  CNorvRemindMgr manager;
  auto now = MessageAt(0);
  manager.AddRemindAMMsg(now, true);
  manager.CheckAMMsg();
  EXPECT_EQ(DrainSendQueue(manager), Messages{now});
}

TEST(CheckCycle, SortedInsertionKeepsTimeOrderAndArrivalOrderOfEqualTimes) {
  CNorvRemindMgr manager;
  auto three = MessageAt(3 * 3600);
  auto one = MessageAt(3600);
  auto two = MessageAt(2 * 3600);
  CNorvBasePtr<CNorvRemindAMMsg> oneAgain = new CNorvRemindAMMsg;
  oneAgain->m_dtRemind = one->m_dtRemind;
  for (CNorvRemindAMMsg* message : {three.p, one.p, two.p, oneAgain.p}) {
    manager.AddRemindAMMsg(message, true);
  }
  EXPECT_EQ(CheckList(manager), (Messages{one, oneAgain, two, three}));
  manager.CheckAMMsg();
  EXPECT_TRUE(!manager.GetSendAMMsg());
}

TEST(CheckCycle, InvalidTimeSortsLastAndIsDueOnceReached) {
  CNorvRemindMgr manager;
  auto past = MessageAt(-60);
  auto future = MessageAt(3600);
  auto invalid = InvalidTimeMessage();
  manager.AddRemindAMMsg(past, true);
  manager.AddRemindAMMsg(future, true);
  manager.AddRemindAMMsg(invalid, true);
  ASSERT_EQ(CheckList(manager), (Messages{past, future, invalid}));

  manager.CheckAMMsg();
  EXPECT_EQ(DrainSendQueue(manager), Messages{past});
  manager.RemoveRemindAMMsg(future);
  manager.CheckAMMsg();
  EXPECT_EQ(DrainSendQueue(manager), Messages{invalid});
  EXPECT_TRUE(manager.RemindAMMsgList.empty());
}

TEST(CheckCycle, UnsortedEarlyMessageWaitsBehindTheFront) {
  CNorvRemindMgr manager;
  auto future = MessageAt(3600);
  auto early = MessageAt(-3600);
  manager.AddRemindAMMsg(future, true);
  manager.AddRemindAMMsg(early, false);
  ASSERT_EQ(CheckList(manager), (Messages{future, early}));

  manager.CheckAMMsg();
  EXPECT_TRUE(!manager.GetSendAMMsg());
  manager.RemoveRemindAMMsg(future);
  manager.CheckAMMsg();
  EXPECT_EQ(DrainSendQueue(manager), Messages{early});
}

TEST(CheckCycle, SameObjectTwiceIsQueuedTwice) {
  CNorvRemindMgr manager;
  auto message = MessageAt(-5);
  manager.AddRemindAMMsg(message, true);
  manager.AddRemindAMMsg(message, false);
  manager.CheckAMMsg();
  EXPECT_EQ(DrainSendQueue(manager), (Messages{message, message}));
  EXPECT_TRUE(manager.RemindAMMsgList.empty());
}

TEST(CheckCycle, RemoveTakesEveryEntryOfThatObjectOnly) {
  CNorvRemindMgr manager;
  auto twice = MessageAt(60);
  auto other = MessageAt(60);
  auto stranger = MessageAt(60);
  manager.AddRemindAMMsg(twice, true);
  manager.AddRemindAMMsg(other, true);
  manager.AddRemindAMMsg(twice, true);
  manager.AddRemindAMMsg(nullptr, true);
  ASSERT_EQ(CheckList(manager), (Messages{twice, other, twice}));

  manager.RemoveRemindAMMsg(stranger);
  manager.RemoveRemindAMMsg(nullptr);
  EXPECT_EQ(CheckList(manager), (Messages{twice, other, twice}));
  manager.RemoveRemindAMMsg(twice);
  EXPECT_EQ(CheckList(manager), Messages{other});
}

TEST(CheckCycle, MessageWithoutItsRemindIsStillQueued) {
  CNorvRemindMgr manager;
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  remind->m_ID.NewID();
  ASSERT_TRUE(manager.AddRemind(remind));
  auto orphan = MessageAt(-10, remind->m_ID);
  remind->AddAMMsg(orphan);
  ASSERT_TRUE(manager.RemoveRemind(remind->m_ID));
  auto anonymous = MessageAt(-10);
  anonymous->m_ID = CGuid();
  manager.AddRemindAMMsg(orphan, true);
  manager.AddRemindAMMsg(anonymous, true);

  manager.CheckAMMsg();
  EXPECT_EQ(DrainSendQueue(manager), (Messages{orphan, anonymous}));
  // Out of the registry, the remind is no longer the pass's business.
  EXPECT_EQ(PendingOf(remind), Messages{orphan});
}

// Passes that overlap must not both take the same due message.
TEST(CheckCycle, ConcurrentPassesQueueEachMessageOnce) {
  CNorvRemindMgr manager;
  constexpr int kMessages = 2000;
  std::vector<CNorvBasePtr<CNorvRemindAMMsg>> messages;
  for (int i = 0; i < kMessages; ++i) {
    messages.push_back(MessageAt(-60));
    manager.AddRemindAMMsg(messages.back(), false);
  }
  std::vector<std::thread> passes;
  for (int i = 0; i < 4; ++i) passes.emplace_back([&manager] { manager.CheckAMMsg(); });
  for (std::thread& pass : passes) pass.join();

  Messages sent = DrainSendQueue(manager);
  EXPECT_EQ(sent.size(), static_cast<size_t>(kMessages));
  EXPECT_EQ(std::set<CNorvRemindAMMsg*>(sent.begin(), sent.end()).size(),
            static_cast<size_t>(kMessages));
  EXPECT_TRUE(manager.RemindAMMsgList.empty());
}

}  // namespace
