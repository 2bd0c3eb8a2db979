#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "NorvTestSupport.h"
#include "manager/ManagerTestSupport.h"

namespace {

using mgrtest::Message;
using Messages = std::vector<CNorvRemindAMMsg*>;

Messages CheckList(CNorvRemindMgr& manager) {
  return Messages(manager.RemindAMMsgList.begin(), manager.RemindAMMsgList.end());
}

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

// The thread's first pass comes a full minute after Start. Declared first
// in the program so that a parallel ctest starts it early, beside the rest.
TEST(CheckCycle, ThreadMakesItsOwnPassAfterItsInterval) {
  norvtest::TempDir dir;
  const std::string sent = dir.File("sent.jsonl");
  CNorvRemindMgr manager;
  mgrtest::SendToFile(manager, sent);
  auto due = Message("found by the thread"), tomorrow = Message("tomorrow", 86400);
  manager.AddRemindAMMsg(due, true);
  manager.AddRemindAMMsg(tomorrow, true);
  manager.Start();
  // Polls without judging speed: the limit only keeps a broken build from hanging.
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(5);
  while (mgrtest::Lines(sent).empty() && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  manager.Stop();
  EXPECT_EQ(mgrtest::Bodies(sent), std::vector<std::string>{"found by the thread"});
  EXPECT_EQ(CheckList(manager), Messages{tomorrow});
}

// An invalid time sorts last; a pass stops at the first future message.
TEST(CheckCycle, SortedInsertionKeepsTimeThenArrivalOrderAndThePassStopsAtTheFront) {
  CNorvRemindMgr manager;
  auto three = Message("3", 3 * 3600), one = Message("1", 3600), two = Message("2", 2 * 3600),
       oneAgain = Message("1 again", 3600), invalid = Message("invalid"),
       early = Message("early", -3600), stranger = Message("stranger");
  oneAgain->m_dtRemind = one->m_dtRemind;
  invalid->m_dtRemind.SetStatus(COleDateTime::invalid);
  for (CNorvRemindAMMsg* message : {three.p, one.p, invalid.p, two.p, oneAgain.p}) {
    manager.AddRemindAMMsg(message, true);
  }
  manager.AddRemindAMMsg(early, false);
  manager.AddRemindAMMsg(nullptr, true);
  EXPECT_EQ(CheckList(manager), (Messages{one, oneAgain, two, three, invalid, early}));

  manager.AddRemindAMMsg(two, false);
  manager.RemoveRemindAMMsg(stranger);
  manager.RemoveRemindAMMsg(nullptr);
  EXPECT_EQ(CheckList(manager).size(), 7u);
  manager.RemoveRemindAMMsg(two);
  EXPECT_EQ(CheckList(manager), (Messages{one, oneAgain, three, invalid, early}));

  manager.CheckAMMsg();
  EXPECT_TRUE(!manager.GetSendAMMsg());
  for (CNorvRemindAMMsg* message : {one.p, oneAgain.p, three.p}) manager.RemoveRemindAMMsg(message);
  manager.CheckAMMsg();
  EXPECT_EQ(DrainSendQueue(manager), (Messages{invalid, early}));
}

TEST(CheckCycle, PassMovesDueMessagesInListOrderAndTakesThemOffTheirRemind) {
  CNorvRemindMgr manager;
  manager.CheckAMMsg();
  EXPECT_FALSE(manager.SendEvent.IsSet());

  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  remind->m_ID.NewID();
  ASSERT_TRUE(manager.AddRemind(remind));
  auto later = Message("later", 3600, remind->m_ID), first = Message("first", -30, remind->m_ID),
       second = Message("second", -30, remind->m_ID), now = Message("now", 0, remind->m_ID);
  second->m_dtRemind = first->m_dtRemind;
  for (CNorvRemindAMMsg* message : {later.p, first.p, second.p, now.p}) {
    remind->AddAMMsg(message);
    manager.AddRemindAMMsg(message, true);
  }
  manager.CheckAMMsg();
  EXPECT_TRUE(manager.SendEvent.IsSet());
  EXPECT_EQ(DrainSendQueue(manager), (Messages{first, second, now}));
  EXPECT_EQ(CheckList(manager), Messages{later});
  EXPECT_EQ(PendingOf(remind), Messages{later});
}

TEST(CheckCycle, SameObjectTwiceAndMessagesWithoutARemindAreQueued) {
  CNorvRemindMgr manager;
  CNorvBasePtr<CNorvRemind> removed = new CNorvRemind;
  removed->m_ID.NewID();
  ASSERT_TRUE(manager.AddRemind(removed));
  auto twice = Message("twice"), orphan = Message("orphan", -60, removed->m_ID),
       anonymous = Message("anonymous");
  anonymous->m_ID = CGuid();
  removed->AddAMMsg(orphan);
  ASSERT_TRUE(manager.RemoveRemind(removed->m_ID));
  for (CNorvRemindAMMsg* message : {twice.p, orphan.p, twice.p, anonymous.p}) {
    manager.AddRemindAMMsg(message, false);
  }
  manager.CheckAMMsg();
  EXPECT_EQ(DrainSendQueue(manager), (Messages{twice, orphan, twice, anonymous}));
  // Out of the registry, the remind is no longer the pass's business.
  EXPECT_EQ(PendingOf(removed), Messages{orphan});
}

// The list the spec's walk builds, step by step, against the manager's
// indexed list: random times (some equal, some invalid), sorted and unsorted
// additions, the same object twice, removals, and a list changed directly.
TEST(CheckCycle, IndexedListMatchesTheWalkedOne) {
  std::mt19937 random(5);
  for (int round = 0; round < 20; ++round) {
    CNorvRemindMgr manager;
    std::list<CNorvRemindAMMsg*> walked;
    std::vector<CNorvBasePtr<CNorvRemindAMMsg>> pool;
    for (int step = 0; step < 60; ++step) {
      const int action = static_cast<int>(random() % 10);
      if (action < 7 || pool.empty()) {
        if (pool.empty() || random() % 4 != 0) {
          pool.push_back(Message("m", static_cast<int>(random() % 5) * 60));
          if (random() % 8 == 0) pool.back()->m_dtRemind.SetStatus(COleDateTime::invalid);
        }
        CNorvRemindAMMsg* message = pool[random() % pool.size()];
        const bool sorted = random() % 5 != 0;
        auto position = walked.end();
        const COleDateTime time = message->GetRemindTime();
        for (auto it = walked.begin(); sorted && it != walked.end(); ++it) {
          const COleDateTime other = (*it)->GetRemindTime();
          if (other.GetStatus() == COleDateTime::valid && time.GetStatus() == COleDateTime::valid && other > time) {
            position = it;
            break;
          }
        }
        walked.insert(position, message);
        manager.AddRemindAMMsg(message, sorted);
      } else if (action < 9) {
        CNorvRemindAMMsg* message = pool[random() % pool.size()];
        walked.remove(message);
        manager.RemoveRemindAMMsg(message);
      } else {
        manager.RemindAMMsgList.push_back(pool.front());
        walked.push_back(pool.front());
      }
      ASSERT_EQ(CheckList(manager), Messages(walked.begin(), walked.end())) << "round " << round << " step " << step;
    }
  }
}

}  // namespace
