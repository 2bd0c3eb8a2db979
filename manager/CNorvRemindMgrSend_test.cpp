#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <thread>

#include "NorvTestSupport.h"
#include "NorvTestXmpp.h"
#include "core/base/CNorvCommFun.h"
#include "core/im/NorvIMError.h"
#include "manager/ManagerTestSupport.h"

namespace {

using namespace std::chrono_literals;
using mgrtest::Message;

// One line of a send-error log, with the file it is in.
struct LogEntry {
  std::string file;
  std::string line;
  bool operator==(const LogEntry&) const = default;
};

std::vector<LogEntry> LogEntries(const std::string& folder) {
  std::vector<LogEntry> entries;
  for (const auto& file : std::filesystem::directory_iterator(folder)) {
    if (file.path().filename().string().rfind("Remind_SendAMMsgErr_", 0) != 0) continue;
    std::stringstream text;
    text << std::ifstream(file.path(), std::ios::binary).rdbuf();
    std::string all = text.str();
    for (size_t start = 0, end; (end = all.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
      entries.push_back({file.path().string(), all.substr(start, end + 2 - start)});
    }
  }
  return entries;
}

// Whether the entry is the log line of a failure at some second between the
// two moments, in that day's file.
bool LoggedBetween(const LogEntry& entry, const CString& folder, const COleDateTime& from,
                   const COleDateTime& to, int code, const CString& reason) {
  for (COleDateTime at = from; at <= to; at += COleDateTimeSpan(0, 0, 0, 1)) {
    CString line;
    line.Format(L"%s 提醒发送消息失败，原因：%d - %s\r\n", at.Format(L"%Y-%m-%d %H:%M:%S"), code,
                reason);
    const CString file = folder + L"/Remind_SendAMMsgErr_" + at.Format(L"%Y%m%d") + L".log";
    if (entry == LogEntry{file.ToUtf8(), line.ToUtf8()}) return true;
  }
  return false;
}

class FailingTransport : public CNorvIMTransport {
 public:
  int Send(const CMsg&, const CString&, int& errorCode, CString& errorText) override {
    errorCode = 12;
    errorText = L"timeout";
    return 0;
  }
};

class SendCycle : public testing::Test {
 protected:
  void SetUp() override {
    manager.IMClient.Init(CString::FromUtf8("file:" + sent), 0, L"sender", L"", 1);
  }

  norvtest::TempDir dir;
  const std::string sent = dir.File("sent.jsonl");
  CNorvRemindMgr manager;
};

TEST_F(SendCycle, SendsOneQueuedMessagePerCallAsTheClientsMessage) {
  manager.SendAMMsg();
  EXPECT_FALSE(std::filesystem::exists(sent));

  auto first = Message("Meeting at \"10\" & <notes>"), removed = Message("removed"),
       anonymous = Message("no remind");
  first->m_RemindID.FromString1(L"0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9");
  first->m_strReceiver = L"alice";
  manager.AddSendAMMsg(nullptr);
  for (CNorvRemindAMMsg* message : {first.p, removed.p, anonymous.p, removed.p}) {
    manager.AddSendAMMsg(message);
  }
  manager.RemoveSendAMMsg(removed);
  manager.RemoveSendAMMsg(nullptr);
  EXPECT_TRUE(manager.SendEvent.IsSet());
  manager.SendAMMsg();
  EXPECT_EQ(mgrtest::Lines(sent).size(), 1u);
  manager.SendAMMsg();
  manager.SendAMMsg();
  EXPECT_TRUE(!manager.GetSendAMMsg());

  std::vector<std::string> lines = mgrtest::Lines(sent);
  ASSERT_EQ(lines.size(), 2u);
  for (std::string& line : lines) line.erase(0, line.find("\"Receiver\""));
  EXPECT_EQ(lines[0],
            "\"Receiver\": \"alice\", \"MsgType\": \"1\", \"Body\": \"Meeting at \\\"10\\\" & "
            "<notes>\", \"ContentType\": \"Text/Html\", \"MsgExtType\": \"MsgAddIn?RemindMsg\", "
            "\"Attribs\": { \"RemindID\": \"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}\" } }");
  EXPECT_NE(
      lines[1].find("\"Attribs\": { \"RemindID\": \"{00000000-0000-0000-0000-000000000000}\" }"),
      std::string::npos);
}

// The folder of the log is the program's until the host names one.
TEST_F(SendCycle, FailedSendAppendsTheDaysLogLineInTheProgramsFolder) {
  const std::string folder = CNorvCommFun::GetCurAppPath().ToUtf8();
  const std::vector<LogEntry> before = LogEntries(folder);
  manager.IMClient.SetTransport(std::make_shared<FailingTransport>());
  manager.AddSendAMMsg(Message("lost"));
  manager.AddSendAMMsg(Message("lost too"));
  const COleDateTime from = COleDateTime::GetCurrentTime();
  manager.SendAMMsg();
  manager.SendAMMsg();
  const COleDateTime to = COleDateTime::GetCurrentTime();

  EXPECT_EQ(manager.SendErrLogPath, CNorvCommFun::GetCurAppPath());
  int logged = 0;
  for (const LogEntry& entry : LogEntries(folder)) {
    if (std::find(before.begin(), before.end(), entry) != before.end()) continue;
    logged += LoggedBetween(entry, manager.SendErrLogPath, from, to, 12, L"timeout");
    const auto inFile = [&](const LogEntry& old) { return old.file == entry.file; };
    if (std::none_of(before.begin(), before.end(), inFile)) std::filesystem::remove(entry.file);
  }
  EXPECT_EQ(logged, 2);
}

int UnusedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

// Delivery through a real XMPP server of the case's own, so that stopping it
// disturbs no other test.
class XmppDelivery : public testing::Test {
 protected:
  void SetUp() override {
    NORV_REQUIRE_XMPP();
    ASSERT_FALSE(server.scripts.empty()) << "NORV_TEST_XMPP_SCRIPTS is not set";
    remindID.NewID();
    manager.SetAMServer(CString::FromUtf8(server.Address()), static_cast<unsigned>(port));
    manager.SetAMSendUser(CString::FromUtf8(server.sender),
                          CString::FromUtf8(server.senderPassword));
    manager.SendErrLogPath = CString::FromUtf8(dir.path());
  }
  void TearDown() override {
    if (started) Script("stop-prosody.sh' '" + serverDir.path() + "'");
  }
  int Script(const std::string& rest) {
    return std::system(("'" + server.scripts + "/" + rest).c_str());
  }
  bool StartServer() {
    started = true;
    return Script("start-prosody.sh' '" + serverDir.path() + "' " + std::to_string(port) +
                  " >/dev/null") == 0;
  }
  std::unique_ptr<norvtest::XmppReceiver> OnlineReceiver() {
    auto receiver = std::make_unique<norvtest::XmppReceiver>(
        server.host, port, server.receiver + "@" + server.host, server.receiverPassword,
        remindID.GetString().ToUtf8());
    EXPECT_TRUE(receiver->WaitOnline(30s)) << "the receiving client could not log in";
    return receiver;
  }
  CNorvBasePtr<CNorvRemindAMMsg> MessageFor(const std::string& body) {
    auto message = Message(body, -60, remindID);
    message->m_strReceiver = CString::FromUtf8(server.receiver);
    return message;
  }

  norvtest::TempDir dir, serverDir;
  norvtest::XmppTestServer server = norvtest::XmppServer();
  const int port = UnusedPort();
  bool started = false;
  CGuid remindID;
  CNorvRemindMgr manager;
};

TEST_F(XmppDelivery, DeliversOnceEachInOrderLogsAnOutageAndDeliversOnceTheServerIsBack) {
  ASSERT_TRUE(StartServer());
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  remind->m_ID = remindID;
  ASSERT_TRUE(manager.AddRemind(remind));
  const std::string bodies[] = {"first: <b>1</b> & more", "第二条提醒", "third"};
  for (const std::string& body : bodies) {
    auto message = MessageFor(body);
    remind->AddAMMsg(message);
    manager.AddRemindAMMsg(message, true);
  }
  {
    auto receiver = OnlineReceiver();
    manager.Start();
    manager.CheckAMMsg();
    receiver->WaitForMessages(3, 60s);
    const auto received = receiver->WaitForMessages(4, 1s);
    EXPECT_FALSE(remind->HasRemindMsg());
    ASSERT_EQ(received.size(), 3u);
    for (size_t i = 0; i < received.size(); ++i) {
      SCOPED_TRACE(bodies[i]);
      EXPECT_EQ(received[i].body, bodies[i]);
      EXPECT_EQ(received[i].from.rfind(server.sender + "@", 0), 0u) << received[i].from;
      EXPECT_EQ(received[i].msgType, "1");
      EXPECT_EQ(received[i].contentType, "Text/Html");
      EXPECT_EQ(received[i].extType, "MsgAddIn?RemindMsg");
      EXPECT_EQ(received[i].attribs, (std::vector<std::pair<std::string, std::string>>{
                                         {"RemindID", remindID.GetString().ToUtf8()}}));
    }
  }
  EXPECT_TRUE(LogEntries(dir.path()).empty());
  ASSERT_EQ(Script("stop-prosody.sh' '" + serverDir.path() + "'"), 0);

  const COleDateTime from = COleDateTime::GetCurrentTime();
  manager.AddSendAMMsg(MessageFor("sent while the server is down"));
  // Polls without judging speed: the limit only keeps a broken build from hanging.
  for (int i = 0; i < 12000 && LogEntries(dir.path()).empty(); ++i)
    std::this_thread::sleep_for(10ms);
  const COleDateTime to = COleDateTime::GetCurrentTime();
  const std::vector<LogEntry> entries = LogEntries(dir.path());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(manager.IMClient.GetLastErr(), kNorvIMCannotConnect);
  CString reason;
  manager.IMClient.GetErrInfo(kNorvIMCannotConnect, L"CHS", reason);
  EXPECT_EQ(reason.Left(11), L"无法连接即时消息服务器");
  EXPECT_TRUE(
      LoggedBetween(entries[0], manager.SendErrLogPath, from, to, kNorvIMCannotConnect, reason))
      << entries[0].line;

  ASSERT_TRUE(StartServer());
  auto receiver = OnlineReceiver();
  manager.AddSendAMMsg(MessageFor("sent after the server is back"));
  const auto received = receiver->WaitForMessages(1, 60s);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].body, "sent after the server is back");
  manager.Stop();
}

}  // namespace
