// The check and send cycles, on the caller's thread and on the manager's own.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "NorvTestSupport.h"
#include "core/base/CNorvCommFun.h"
#include "core/base/COleDateTimeSpan.h"
#include "manager/CNorvRemindMgr.h"

namespace {

using namespace std::chrono_literals;
using Messages = std::vector<CNorvRemindAMMsg*>;
using Texts = std::vector<std::string>;

// A message due `seconds` from now (negative: in the past).
CNorvBasePtr<CNorvRemindAMMsg> Message(const std::string& body, int seconds = -60,
                                       const CGuid& remindID = CGuid()) {
  CNorvBasePtr<CNorvRemindAMMsg> message = new CNorvRemindAMMsg;
  message->m_ID.NewID();
  message->m_RemindID = remindID;
  message->m_strContent = CString::FromUtf8(body);
  message->m_strContentType = L"Text/Html";
  message->m_strReceiver = L"someone";
  message->m_dtRemind = COleDateTime::GetCurrentTime() + COleDateTimeSpan(0, 0, 0, seconds);
  return message;
}

Texts Lines(const std::string& path) {
  Texts lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The bodies of the messages a file transport wrote, in file order.
Texts Bodies(const std::string& path) {
  const std::string key = "\"Body\": \"";
  Texts bodies;
  for (const std::string& line : Lines(path)) {
    const size_t start = line.find(key) + key.size();
    bodies.push_back(line.substr(start, line.find('"', start) - start));
  }
  return bodies;
}

// Polls without judging speed: the limit only keeps a broken build from hanging.
template <class Done>
void Await(Done done) {
  const auto end = std::chrono::steady_clock::now() + 5min;
  while (!done() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(10ms);
}

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

class ManagerCycle : public testing::Test {
 protected:
  void SendToFile(const std::string& path) {
    manager.SetAMServer(CString::FromUtf8("file:" + path), 0);
    manager.SetAMSendUser(L"norvsender", L"unused");
  }

  norvtest::TempDir dir;
  const std::string sent = dir.File("sent.jsonl");
  CNorvRemindMgr manager;
};

// Time order, ties in arrival order; an invalid time stays where it was put.
// A pass queues the due front and stops at the first future message, taking
// each queued one off its registered remind.
TEST_F(ManagerCycle, CheckListOrderAndPass) {
  manager.CheckAMMsg();
  EXPECT_FALSE(manager.SendEvent.IsSet());
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind, gone = new CNorvRemind;
  remind->m_ID.NewID();
  gone->m_ID.NewID();
  ASSERT_TRUE(manager.AddRemind(remind));
  auto three = Message("3", 3 * 3600), one = Message("1", 3600, remind->m_ID),
       two = Message("2", 2 * 3600), oneAgain = Message("1 again", 3600), invalid = Message("x"),
       first = Message("first", -30, remind->m_ID), second = Message("second", -30, remind->m_ID),
       now = Message("now", 0, remind->m_ID), twice = Message("twice"),
       orphan = Message("orphan", -60, gone->m_ID), stranger = Message("stranger"),
       last = Message("last", 4 * 3600);
  oneAgain->m_dtRemind = one->m_dtRemind;
  second->m_dtRemind = first->m_dtRemind;
  invalid->m_dtRemind.SetStatus(COleDateTime::invalid);
  twice->m_ID = CGuid();
  for (CNorvRemindAMMsg* message : {one.p, first.p, second.p, now.p}) remind->AddAMMsg(message);
  gone->AddAMMsg(orphan);
  for (CNorvRemindAMMsg* message :
       {three.p, one.p, invalid.p, now.p, two.p, second.p, oneAgain.p, first.p, last.p}) {
    manager.AddRemindAMMsg(message, true);
  }
  for (CNorvRemindAMMsg* message : {twice.p, orphan.p, twice.p})
    manager.AddRemindAMMsg(message, false);
  manager.AddRemindAMMsg(nullptr, true);
  manager.RemoveRemindAMMsg(stranger);
  manager.RemoveRemindAMMsg(nullptr);
  manager.RemoveRemindAMMsg(two);
  EXPECT_EQ(CheckList(manager), (Messages{second, first, now, one, oneAgain, three, invalid, last,
                                          twice, orphan, twice}));

  manager.CheckAMMsg();
  EXPECT_TRUE(manager.SendEvent.IsSet());
  EXPECT_EQ(DrainSendQueue(manager), (Messages{second, first, now}));
  EXPECT_EQ(CheckList(manager),
            (Messages{one, oneAgain, three, invalid, last, twice, orphan, twice}));
  EXPECT_EQ(PendingOf(remind), Messages{one});

  // Out of the registry, a remind is no longer the pass's business.
  for (CNorvRemindAMMsg* message : {one.p, oneAgain.p, three.p, last.p})
    manager.RemoveRemindAMMsg(message);
  manager.CheckAMMsg();
  EXPECT_EQ(DrainSendQueue(manager), (Messages{invalid, twice, orphan, twice}));
  EXPECT_TRUE(CheckList(manager).empty());
  EXPECT_EQ(PendingOf(gone), Messages{orphan});

  // A sorted insert goes before the first later entry in list order, also
  // past an unsorted one; a list changed directly is indexed anew.
  auto at10 = Message("10", 600), at8 = Message("8", 480), at7 = Message("7", 420),
       at9 = Message("9", 540), at5 = Message("5", 300);
  manager.AddRemindAMMsg(at10, true);
  manager.AddRemindAMMsg(at8, false);
  manager.AddRemindAMMsg(at7, true);
  EXPECT_EQ(CheckList(manager), (Messages{at7, at10, at8}));
  manager.RemindAMMsgList.push_front(at9);
  manager.AddRemindAMMsg(at5, true);
  manager.RemoveRemindAMMsg(at9);
  EXPECT_EQ(CheckList(manager), (Messages{at5, at7, at10, at8}));
}

TEST_F(ManagerCycle, SendsOneQueuedMessagePerCallAndLogsEachFailure) {
  manager.IMClient.Init(CString::FromUtf8("file:" + sent), 0, L"sender", L"", 1);
  manager.SendAMMsg();
  EXPECT_FALSE(std::filesystem::exists(sent));
  auto first = Message("Meeting at \"10\" & <notes>"), removed = Message("removed"),
       anonymous = Message("no remind");
  first->m_RemindID.FromString1(L"0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9");
  first->m_strReceiver = L"alice";
  manager.AddSendAMMsg(nullptr);
  for (CNorvRemindAMMsg* message : {first.p, removed.p, anonymous.p, removed.p})
    manager.AddSendAMMsg(message);
  manager.RemoveSendAMMsg(removed);
  manager.RemoveSendAMMsg(nullptr);
  EXPECT_TRUE(manager.SendEvent.IsSet());
  manager.SendAMMsg();
  EXPECT_EQ(Lines(sent).size(), 1u);
  manager.SendAMMsg();
  manager.SendAMMsg();
  EXPECT_TRUE(!manager.GetSendAMMsg());

  Texts lines = Lines(sent);
  ASSERT_EQ(lines.size(), 2u);
  for (std::string& line : lines) line.erase(0, line.find("\"Receiver\""));
  EXPECT_EQ(lines[0],
            "\"Receiver\": \"alice\", \"MsgType\": \"1\", \"Body\": \"Meeting at \\\"10\\\" & "
            "<notes>\", \"ContentType\": \"Text/Html\", \"MsgExtType\": \"MsgAddIn?RemindMsg\", "
            "\"Attribs\": { \"RemindID\": \"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}\" } }");
  EXPECT_NE(lines[1].find("\"RemindID\": \"{00000000-0000-0000-0000-000000000000}\" }"),
            std::string::npos);

  // A message file that cannot be written fails each send for real. The log
  // goes to the host's folder, or else to the program's.
  for (const CString& folder : {CString::FromUtf8(dir.path()), CString()}) {
    CNorvRemindMgr failing;
    failing.SendErrLogPath = folder;
    failing.IMClient.Init(CString::FromUtf8("file:" + dir.File("absent/m.jsonl")), 0, L"", L"", 1);
    const COleDateTime from = COleDateTime::GetCurrentTime();
    const std::string file = (folder.IsEmpty() ? CNorvCommFun::GetCurAppPath() : folder).ToUtf8() +
                             "/Remind_SendAMMsgErr_" + from.Format(L"%Y%m%d").ToUtf8() + ".log";
    const bool existed = std::filesystem::exists(file);
    const size_t before = Lines(file).size();
    for (const char* body : {"lost", "lost too"}) failing.AddSendAMMsg(Message(body));
    failing.SendAMMsg();
    failing.SendAMMsg();
    const std::string to = COleDateTime::GetCurrentTime().Format(L"%Y-%m-%d %H:%M:%S").ToUtf8();
    CString reason;
    failing.IMClient.GetErrInfo(kNorvIMFileNotWritable, L"CHS", reason);
    const std::string tail = (L" 提醒发送消息失败，原因：" +
                              std::to_wstring(kNorvIMFileNotWritable) + L" - " + reason + L"\r")
                                 .ToUtf8();
    Texts lines = Lines(file);
    if (!existed) std::filesystem::remove(file);
    ASSERT_EQ(lines.size(), before + 2) << file;
    for (size_t i = before; i < lines.size(); ++i) {
      const std::string at = lines[i].substr(0, 19);
      EXPECT_TRUE(from.Format(L"%Y-%m-%d %H:%M:%S").ToUtf8() <= at && at <= to) << lines[i];
      EXPECT_EQ(lines[i].substr(19), tail);
    }
  }
}

// The server settings reach the client at Start only, and the check thread
// passes after its interval. After Stop the stop event stays set, so a second
// Start makes no pass and only empties the send queue.
TEST_F(ManagerCycle, StopAndSecondStart) {
  const std::string other = dir.File("other.jsonl");
  SendToFile(sent);
  auto tomorrow = Message("tomorrow", 86400), late = Message("due after the stop");
  manager.AddRemindAMMsg(Message("found by the thread"), true);
  manager.AddRemindAMMsg(tomorrow, true);
  manager.SetCheckInterval(20);
  EXPECT_TRUE(manager.Start());
  SendToFile(other);
  Await([&] { return !Bodies(sent).empty(); });
  EXPECT_TRUE(manager.Stop());
  EXPECT_TRUE(manager.CheckMsgThread.GetHandle()->IsSet());
  EXPECT_TRUE(manager.SendMsgThread.GetHandle()->IsSet());

  for (const char* body : {"second", "third"}) manager.AddSendAMMsg(Message(body));
  manager.AddRemindAMMsg(late, true);
  EXPECT_TRUE(manager.Start());
  EXPECT_TRUE(manager.CheckMsgThread.Wait(120000));
  EXPECT_TRUE(manager.SendMsgThread.Wait(120000));
  EXPECT_EQ(Bodies(sent), Texts{"found by the thread"});
  EXPECT_EQ(Bodies(other), (Texts{"second", "third"}));
  EXPECT_FALSE(manager.SendEvent.IsSet());
  EXPECT_EQ(CheckList(manager), (Messages{late, tomorrow}));
}

// Host threads use every registry while both threads run; each deliverable
// message must come out exactly once, and the ones taken back never.
TEST_F(ManagerCycle, HostThreadsAgainstRunningThreads) {
  constexpr int kHosts = 4, kRounds = 150;
  SendToFile(sent);
  manager.Start();
  std::vector<std::thread> hosts;
  for (int host = 0; host < kHosts; ++host) {
    hosts.emplace_back([this, host] {
      std::vector<CGuid> reminds;
      for (int round = 0; round < kRounds; ++round) {
        const std::string tag = std::to_string(host) + "-" + std::to_string(round);
        CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
        remind->m_ID.NewID();
        manager.AddRemind(remind);
        reminds.push_back(remind->m_ID);
        auto deliver = Message("deliver-" + tag, -1, remind->m_ID), withdrawn = Message("w", 3600);
        remind->AddAMMsg(deliver);
        manager.AddRemindAMMsg(deliver, round % 2 == 0);
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
        manager.GenRemindStyleListInfo_Json();
        manager.RemoveRemindStyle(style->m_ID);

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
  Await([&] { return Bodies(sent).size() >= size_t{kHosts * kRounds}; });
  // Each body is told apart by its tag, so no repeat and the full count means all came.
  const Texts bodies = Bodies(sent);
  EXPECT_EQ(std::set<std::string>(bodies.begin(), bodies.end()).size(), size_t{kHosts * kRounds});
  EXPECT_EQ(std::count_if(bodies.begin(), bodies.end(),
                          [](const std::string& body) { return body.starts_with("deliver-"); }),
            kHosts * kRounds);
}

}  // namespace
