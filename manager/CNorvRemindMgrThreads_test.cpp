#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "NorvTestSupport.h"
#include "core/COleDateTimeSpan.h"
#include "manager/CNorvRemindMgr.h"

namespace {

using namespace std::chrono_literals;

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

size_t CountBody(const std::vector<std::string>& lines, const std::string& body) {
  const std::string member = "\"Body\": \"" + body + "\"";
  size_t count = 0;
  for (const std::string& line : lines) count += line.find(member) != std::string::npos;
  return count;
}

// Bodies of the delivered messages, in file order.
std::vector<std::string> Bodies(const std::string& path) {
  std::vector<std::string> bodies;
  for (const std::string& line : Lines(path)) {
    const std::string key = "\"Body\": \"";
    size_t start = line.find(key);
    if (start == std::string::npos) continue;
    start += key.size();
    bodies.push_back(line.substr(start, line.find('"', start) - start));
  }
  return bodies;
}

// Polls without judging speed: the limit only keeps a broken build from
// hanging.
template <class Condition>
bool Eventually(Condition condition, std::chrono::seconds limit = 120s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

CNorvBasePtr<CNorvRemindAMMsg> Message(const std::string& body, int secondsFromNow = -60) {
  CNorvBasePtr<CNorvRemindAMMsg> message = new CNorvRemindAMMsg;
  message->m_ID.NewID();
  message->m_strContent = CString::FromUtf8(body);
  message->m_strContentType = L"Text/Text";
  message->m_strReceiver = L"someone";
  message->m_dtRemind = COleDateTime::GetCurrentTime() + COleDateTimeSpan(0, 0, 0, secondsFromNow);
  return message;
}

class ManagerThreads : public testing::Test {
 protected:
  void UseFile(CNorvRemindMgr& manager, const std::string& path) {
    manager.SetAMServer(CString::FromUtf8("file:" + path), 0);
    manager.SetAMSendUser(L"norvsender", L"unused");
  }

  bool Ended(CNorvThread& thread) { return thread.GetHandle()->IsSet(); }

  norvtest::TempDir dir;
  const std::string sent = dir.File("sent.jsonl");
};

TEST_F(ManagerThreads, StopOneSecondAfterStartEndsBothThreadsBeforeAnyPass) {
  CNorvRemindMgr manager;
  UseFile(manager, sent);
  auto due = Message("due");
  manager.AddRemindAMMsg(due, true);

  EXPECT_TRUE(manager.Start());
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(manager.Stop());
  EXPECT_TRUE(Ended(manager.CheckMsgThread));
  EXPECT_TRUE(Ended(manager.SendMsgThread));
  EXPECT_EQ(manager.RemindAMMsgList.size(), 1u);
  EXPECT_TRUE(Lines(sent).empty());
}

TEST_F(ManagerThreads, StopWithAFullQueueSendsEverythingFirst) {
  constexpr int kQueued = 200;
  {
    CNorvRemindMgr manager;
    UseFile(manager, sent);
    for (int i = 0; i < kQueued; ++i) manager.AddSendAMMsg(Message("queued-" + std::to_string(i)));
    manager.Start();
    manager.Stop();
    ASSERT_TRUE(manager.SendMsgThread.Wait(120000));
    EXPECT_TRUE(!manager.GetSendAMMsg());
    EXPECT_FALSE(manager.SendEvent.IsSet());
  }
  std::vector<std::string> expected;
  for (int i = 0; i < kQueued; ++i) expected.push_back("queued-" + std::to_string(i));
  EXPECT_EQ(Bodies(sent), expected);
}

TEST_F(ManagerThreads, SecondStartAfterStopOnlyDrainsTheSendQueue) {
  CNorvRemindMgr manager;
  UseFile(manager, sent);
  manager.Start();
  manager.Stop();
  ASSERT_TRUE(Ended(manager.CheckMsgThread));

  auto due = Message("waits-in-check-list");
  manager.AddRemindAMMsg(due, true);
  for (const char* body : {"one", "two", "three"}) manager.AddSendAMMsg(Message(body));
  EXPECT_TRUE(manager.Start());
  EXPECT_TRUE(manager.CheckMsgThread.Wait(120000));
  EXPECT_TRUE(manager.SendMsgThread.Wait(120000));
  EXPECT_EQ(Bodies(sent), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(manager.RemindAMMsgList.size(), 1u);
}

TEST_F(ManagerThreads, NewServerTakesEffectAtTheNextStart) {
  const std::string other = dir.File("other.jsonl");
  CNorvRemindMgr manager;
  UseFile(manager, sent);
  manager.Start();
  UseFile(manager, other);
  manager.AddSendAMMsg(Message("first"));
  ASSERT_TRUE(Eventually([&] { return Lines(sent).size() == 1; }));
  manager.Stop();

  manager.AddSendAMMsg(Message("second"));
  manager.Start();
  ASSERT_TRUE(manager.SendMsgThread.Wait(120000));
  EXPECT_EQ(Bodies(sent), std::vector<std::string>{"first"});
  EXPECT_EQ(Bodies(other), std::vector<std::string>{"second"});
}

TEST_F(ManagerThreads, CheckThreadPassesAfterItsInterval) {
  CNorvRemindMgr manager;
  UseFile(manager, sent);
  auto due = Message("found-by-the-thread");
  auto future = Message("tomorrow", 86400);
  manager.AddRemindAMMsg(due, true);
  manager.AddRemindAMMsg(future, true);
  manager.Start();
  EXPECT_TRUE(Eventually([&] { return Lines(sent).size() == 1; }, 300s));
  manager.Stop();
  EXPECT_EQ(Bodies(sent), std::vector<std::string>{"found-by-the-thread"});
  EXPECT_EQ(manager.RemindAMMsgList.size(), 1u);
}

// Counts its own destruction.
template <class Base>
class Counted : public Base {
 public:
  explicit Counted(std::atomic<int>& deaths) : m_deaths(deaths) {}
  ~Counted() override { ++m_deaths; }

 private:
  std::atomic<int>& m_deaths;
};

TEST_F(ManagerThreads, DestructionReleasesEveryObjectOnce) {
  std::vector<std::atomic<int>> deaths(9);
  auto remind = [&](int i) {
    auto* object = new Counted<CNorvRemind>(deaths[i]);
    object->m_ID.NewID();
    return object;
  };
  auto style = [&](int i, const wchar_t* name) {
    auto* object = new Counted<CNorvRemindStyle>(deaths[i]);
    object->m_ID.NewID();
    object->m_strName = name;
    return object;
  };
  auto message = [&](int i, CNorvRemind* owner, int secondsFromNow) {
    auto* object = new Counted<CNorvRemindAMMsg>(deaths[i]);
    object->m_ID.NewID();
    object->m_RemindID = owner->m_ID;
    object->m_dtRemind = COleDateTime::GetCurrentTime() + COleDateTimeSpan(0, 0, 0, secondsFromNow);
    owner->AddAMMsg(object);
    return object;
  };
  {
    CNorvRemindMgr manager;
    CNorvRemind* first = remind(0);
    CNorvRemind* second = remind(1);
    ASSERT_TRUE(manager.AddRemind(first));
    ASSERT_TRUE(manager.AddRemind(second));
    CNorvRemindStyle* plain = style(2, L"plain");
    CNorvRemindStyle* renamed = style(3, L"renamed");
    ASSERT_TRUE(manager.AddRemindStyle(plain, true));
    ASSERT_TRUE(manager.AddRemindStyle(renamed, false));
    ASSERT_TRUE(manager.RenameRemindStyle(L"renamed", L"new name"));
    manager.SetDefRemindStyle(renamed);
    manager.SetDefRemindStyle(style(4, L"default only"));
    manager.AddRemindAMMsg(message(5, first, 3600), true);
    CNorvRemindAMMsg* twice = message(6, second, 7200);
    manager.AddRemindAMMsg(twice, true);
    manager.AddRemindAMMsg(twice, false);
    manager.AddSendAMMsg(message(7, second, -60));
    manager.AddSendAMMsg(message(8, first, -60));
    for (auto& count : deaths) ASSERT_EQ(count.load(), 0);
  }
  for (size_t i = 0; i < deaths.size(); ++i) EXPECT_EQ(deaths[i].load(), 1) << "object " << i;
}

TEST_F(ManagerThreads, DestroyingARunningManagerWaitsForItsThreads) {
  {
    CNorvRemindMgr manager;
    UseFile(manager, sent);
    manager.Start();
    for (int i = 0; i < 50; ++i) manager.AddSendAMMsg(Message("late-" + std::to_string(i)));
  }
  EXPECT_EQ(Bodies(sent).size(), 50u);
}

// Host threads use every registry while both threads run; each deliverable
// message must come out exactly once, and the ones taken back never.
TEST_F(ManagerThreads, StressHostThreadsAgainstRunningThreads) {
  constexpr int kHosts = 4;
  constexpr int kRounds = 150;
  {
    CNorvRemindMgr manager;
    UseFile(manager, sent);
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

          auto deliver = Message("deliver-" + tag, -1);
          deliver->m_RemindID = remind->m_ID;
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
          manager.GetRemindStyle(style->m_strName);
          manager.AlterRemindStyleOrder(style, static_cast<short>(round % 5));
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
  const std::vector<std::string> lines = Lines(sent);
  EXPECT_EQ(lines.size(), static_cast<size_t>(kHosts * kRounds));
  for (int host = 0; host < kHosts; ++host) {
    for (int round = 0; round < kRounds; ++round) {
      const std::string tag = std::to_string(host) + "-" + std::to_string(round);
      EXPECT_EQ(CountBody(lines, "deliver-" + tag), 1u) << tag;
      EXPECT_EQ(CountBody(lines, "withdrawn-" + tag), 0u) << tag;
    }
  }
}

}  // namespace
