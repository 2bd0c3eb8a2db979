#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "NorvTestSupport.h"
#include "manager/ManagerTestSupport.h"

namespace {

using mgrtest::Bodies;
using mgrtest::Message;
using Texts = std::vector<std::string>;

bool Ended(CNorvThread& thread) { return thread.GetHandle()->IsSet(); }

class ManagerThreads : public testing::Test {
 protected:
  norvtest::TempDir dir;
  const std::string sent = dir.File("sent.jsonl");
};

TEST_F(ManagerThreads, StopOneSecondAfterStartEndsBothThreadsBeforeAnyPass) {
  CNorvRemindMgr manager;
  mgrtest::SendToFile(manager, sent);
  manager.AddRemindAMMsg(Message("due"), true);
  EXPECT_TRUE(manager.Start());
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_TRUE(manager.Stop());
  EXPECT_TRUE(Ended(manager.CheckMsgThread));
  EXPECT_TRUE(Ended(manager.SendMsgThread));
  EXPECT_EQ(manager.RemindAMMsgList.size(), 1u);
  EXPECT_TRUE(Bodies(sent).empty());
}

// The destructor waits for the send thread however long Stop's waits were.
TEST_F(ManagerThreads, StopWithAFullQueueSendsEverythingFirst) {
  Texts queued;
  {
    CNorvRemindMgr manager;
    mgrtest::SendToFile(manager, sent);
    for (int i = 0; i < 200; ++i) {
      queued.push_back("queued-" + std::to_string(i));
      manager.AddSendAMMsg(Message(queued.back()));
    }
    manager.Start();
    manager.Stop();
  }
  EXPECT_EQ(Bodies(sent), queued);
}

// The server settings reach the client at Start only; after Stop the stop
// event stays set, so a second Start only empties the send queue.
TEST_F(ManagerThreads, SecondStartTakesTheNewServerAndOnlyEmptiesTheSendQueue) {
  const std::string other = dir.File("other.jsonl");
  CNorvRemindMgr manager;
  mgrtest::SendToFile(manager, sent);
  manager.Start();
  mgrtest::SendToFile(manager, other);
  manager.AddSendAMMsg(Message("first"));
  // Polls without judging speed: the limit only keeps a broken build from hanging.
  for (int i = 0; i < 12000 && Bodies(sent).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  manager.Stop();

  manager.AddRemindAMMsg(Message("waits in the check list"), true);
  for (const char* body : {"second", "third"}) manager.AddSendAMMsg(Message(body));
  EXPECT_TRUE(manager.Start());
  EXPECT_TRUE(manager.CheckMsgThread.Wait(120000));
  EXPECT_TRUE(manager.SendMsgThread.Wait(120000));
  EXPECT_EQ(Bodies(sent), Texts{"first"});
  EXPECT_EQ(Bodies(other), (Texts{"second", "third"}));
  EXPECT_FALSE(manager.SendEvent.IsSet());
  EXPECT_EQ(manager.RemindAMMsgList.size(), 1u);
}

// Counts its own destruction.
template <class Base>
class Counted : public Base {
 public:
  explicit Counted(std::atomic<int>& deaths) : m_deaths(deaths) { this->m_ID.NewID(); }
  ~Counted() override { ++m_deaths; }

 private:
  std::atomic<int>& m_deaths;
};

TEST_F(ManagerThreads, DestructionReleasesEveryObjectOnce) {
  std::vector<std::atomic<int>> deaths(9);
  auto message = [&](int i, CNorvRemind* owner) {
    auto* object = new Counted<CNorvRemindAMMsg>(deaths[i]);
    object->m_RemindID = owner->m_ID;
    owner->AddAMMsg(object);
    return object;
  };
  {
    CNorvRemindMgr manager;
    auto* first = new Counted<CNorvRemind>(deaths[0]);
    auto* second = new Counted<CNorvRemind>(deaths[1]);
    ASSERT_TRUE(manager.AddRemind(first));
    ASSERT_TRUE(manager.AddRemind(second));
    auto* plain = new Counted<CNorvRemindStyle>(deaths[2]);
    auto* renamed = new Counted<CNorvRemindStyle>(deaths[3]);
    auto* defaultOnly = new Counted<CNorvRemindStyle>(deaths[4]);
    plain->m_strName = L"plain";
    renamed->m_strName = L"renamed";
    ASSERT_TRUE(manager.AddRemindStyle(plain, true));
    ASSERT_TRUE(manager.AddRemindStyle(renamed, false));
    ASSERT_TRUE(manager.RenameRemindStyle(L"renamed", L"new name"));
    manager.SetDefRemindStyle(renamed);
    manager.SetDefRemindStyle(defaultOnly);
    manager.AddRemindAMMsg(message(5, first), true);
    CNorvRemindAMMsg* twice = message(6, second);
    manager.AddRemindAMMsg(twice, true);
    manager.AddRemindAMMsg(twice, false);
    manager.AddSendAMMsg(message(7, second));
    manager.AddSendAMMsg(message(8, first));
    ASSERT_TRUE(std::all_of(deaths.begin(), deaths.end(), [](auto& count) { return count == 0; }));
  }
  for (size_t i = 0; i < deaths.size(); ++i) EXPECT_EQ(deaths[i].load(), 1) << "object " << i;
}

// Host threads use every registry while both threads run; each deliverable
// message must come out exactly once, and the ones taken back never.
TEST_F(ManagerThreads, StressHostThreadsAgainstRunningThreads) {
  constexpr int kHosts = 4, kRounds = 150;
  {
    CNorvRemindMgr manager;
    mgrtest::SendToFile(manager, sent);
    manager.Start();
    std::vector<std::thread> hosts;
    for (int host = 0; host < kHosts; ++host) {
      hosts.emplace_back([&manager, host] {
        std::vector<CGuid> reminds;
        for (int round = 0; round < kRounds; ++round) {
          const std::string tag = std::to_string(host) + "-" + std::to_string(round);
          CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
          remind->m_ID.NewID();
          manager.AddRemind(remind);
          reminds.push_back(remind->m_ID);
          auto deliver = Message("deliver-" + tag, -1, remind->m_ID);
          remind->AddAMMsg(deliver);
          manager.AddRemindAMMsg(deliver, round % 2 == 0);
          auto withdrawn = Message("withdrawn-" + tag, 3600);
          manager.AddRemindAMMsg(withdrawn, true);
          manager.RemoveRemindAMMsg(withdrawn);

          CNorvBasePtr<CNorvRemindStyle> style = new CNorvRemindStyle;
          style->m_ID.NewID();
          style->m_strName = CString::FromUtf8("style-" + tag);
          style->m_nOrder = static_cast<short>(round % 7);
          manager.AddRemindStyle(style, round % 3 != 0);
          manager.AlterRemindStyleOrder(manager.GetRemindStyle(style->m_strName), round % 5);
          manager.RenameRemindStyle(style->m_strName, CString::FromUtf8("renamed-" + tag));
          manager.SetDefRemindStyle(style);
          manager.GenRemindStyleListInfo_XML();
          manager.GenRemindStyleListInfo_Json();
          manager.GetRemindStyleMaxOrder();
          if (round % 2 == 0) {
            manager.RemoveRemindStyle(style->m_ID);
          } else {
            manager.RemoveRemindStyle(CString::FromUtf8("renamed-" + tag));
          }

          CNorvRemindMgr::RemindList list;
          if (round % 10 == 0) manager.GetRemindList(list);
          manager.GetRemind(reminds[round / 2]);
          if (round % 3 == 0) manager.RemoveRemind(reminds[round / 3]);
          manager.CheckAMMsg();
        }
      });
    }
    for (std::thread& host : hosts) host.join();
    manager.CheckAMMsg();
    EXPECT_TRUE(manager.RemindAMMsgList.empty());
    manager.Stop();
  }
  Texts expected, bodies = Bodies(sent);
  for (int host = 0; host < kHosts; ++host) {
    for (int round = 0; round < kRounds; ++round) {
      expected.push_back("deliver-" + std::to_string(host) + "-" + std::to_string(round));
    }
  }
  std::sort(expected.begin(), expected.end());
  std::sort(bodies.begin(), bodies.end());
  EXPECT_EQ(bodies, expected);
}

}  // namespace
