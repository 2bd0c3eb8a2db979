#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "NorvTestSupport.h"
#include "NorvTestXmpp.h"
#include "core/CNorvCommFun.h"
#include "core/COleDateTimeSpan.h"
#include "core/NorvIMError.h"
#include "manager/CNorvRemindMgr.h"

namespace {

using namespace std::chrono_literals;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

CNorvBasePtr<CNorvRemindAMMsg> Message(const wchar_t* body, const CString& receiver = L"someone") {
  CNorvBasePtr<CNorvRemindAMMsg> message = new CNorvRemindAMMsg;
  message->m_ID.NewID();
  message->m_RemindID.NewID();
  message->m_strContent = body;
  message->m_strContentType = L"Text/Html";
  message->m_strReceiver = receiver;
  message->m_dtRemind = COleDateTime::GetCurrentTime() - COleDateTimeSpan(0, 0, 1, 0);
  return message;
}

// The day's log file and the line a failed send should have left in it,
// for a failure at some second between the two moments.
struct ExpectedLog {
  std::string path;
  std::string line;
};

std::vector<ExpectedLog> ExpectedLogs(const CString& folder, const COleDateTime& from,
                                      const COleDateTime& to, int code, const CString& reason) {
  std::vector<ExpectedLog> candidates;
  for (COleDateTime at = from; at <= to; at += COleDateTimeSpan(0, 0, 0, 1)) {
    CString path = folder + L"/Remind_SendAMMsgErr_" + at.Format(L"%Y%m%d") + L".log";
    CString line;
    line.Format(L"%s 提醒发送消息失败，原因：%d - %s\r\n", at.Format(L"%Y-%m-%d %H:%M:%S"), code,
                reason);
    candidates.push_back({path.ToUtf8(), line.ToUtf8()});
  }
  return candidates;
}

// True when one candidate file holds exactly the candidate line, as its
// last line.
bool LoggedOnce(const std::vector<ExpectedLog>& candidates) {
  for (const ExpectedLog& candidate : candidates) {
    const std::string text = ReadFile(candidate.path);
    if (text.size() >= candidate.line.size() &&
        text.compare(text.size() - candidate.line.size(), std::string::npos, candidate.line) == 0) {
      return true;
    }
  }
  return false;
}

std::set<std::string> LogFiles(const std::string& folder) {
  std::set<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind("Remind_SendAMMsgErr_", 0) == 0) {
      files.insert(entry.path().string());
    }
  }
  return files;
}

// Everything the send-error logs in a folder hold.
std::string LogText(const std::string& folder) {
  std::string all;
  for (const std::string& file : LogFiles(folder)) all += ReadFile(file);
  return all;
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

TEST_F(SendCycle, HandsTheClientTheQueuedMessage) {
  auto message = Message(L"Meeting at \"10\" & bring <notes>", L"alice");
  manager.AddSendAMMsg(message);
  manager.SendAMMsg();

  const std::vector<std::string> lines = Lines(sent);
  ASSERT_EQ(lines.size(), 1u);
  for (const std::string& member :
       {std::string("\"Receiver\": \"alice\""), std::string("\"MsgType\": \"1\""),
        std::string("\"Body\": \"Meeting at \\\"10\\\" & bring <notes>\""),
        std::string("\"ContentType\": \"Text/Html\""),
        std::string("\"MsgExtType\": \"MsgAddIn?RemindMsg\""),
        "\"Attribs\": { \"RemindID\": \"" + message->m_RemindID.GetString().ToUtf8() + "\" }"}) {
    EXPECT_NE(lines[0].find(member), std::string::npos) << member << " in " << lines[0];
  }
}

TEST_F(SendCycle, EmptyRemindIdentifierIsSentInItsTextForm) {
  auto message = Message(L"no remind");
  message->m_RemindID = CGuid();
  manager.AddSendAMMsg(message);
  manager.SendAMMsg();
  const std::vector<std::string> lines = Lines(sent);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("\"RemindID\": \"{00000000-0000-0000-0000-000000000000}\""),
            std::string::npos);
}

TEST_F(SendCycle, SendsOnePerCallInQueueOrderAndSkipsRemovedOnes) {
  manager.SendAMMsg();
  EXPECT_FALSE(std::filesystem::exists(sent));

  auto first = Message(L"first");
  auto removed = Message(L"removed");
  auto last = Message(L"last");
  manager.AddSendAMMsg(nullptr);
  manager.AddSendAMMsg(first);
  manager.AddSendAMMsg(removed);
  manager.AddSendAMMsg(last);
  manager.AddSendAMMsg(removed);
  manager.RemoveSendAMMsg(removed);
  manager.RemoveSendAMMsg(nullptr);
  EXPECT_TRUE(manager.SendEvent.IsSet());

  manager.SendAMMsg();
  EXPECT_EQ(Lines(sent).size(), 1u);
  manager.SendAMMsg();
  manager.SendAMMsg();
  const std::vector<std::string> lines = Lines(sent);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("\"Body\": \"first\""), std::string::npos);
  EXPECT_NE(lines[1].find("\"Body\": \"last\""), std::string::npos);
  EXPECT_TRUE(!manager.GetSendAMMsg());
}

TEST_F(SendCycle, FailedSendAppendsTheDaysLogLine) {
  manager.IMClient.SetTransport(std::make_shared<FailingTransport>());
  manager.SendErrLogPath = CString::FromUtf8(dir.path());
  manager.AddSendAMMsg(Message(L"lost"));
  manager.AddSendAMMsg(Message(L"lost too"));
  const COleDateTime from = COleDateTime::GetCurrentTime();
  manager.SendAMMsg();
  const COleDateTime to = COleDateTime::GetCurrentTime();
  EXPECT_TRUE(LoggedOnce(ExpectedLogs(manager.SendErrLogPath, from, to, 12, L"timeout")));

  manager.SendAMMsg();
  const std::string all = LogText(dir.path());
  size_t lines = 0;
  for (size_t at = all.find("\r\n"); at != std::string::npos; at = all.find("\r\n", at + 2)) ++lines;
  EXPECT_EQ(lines, 2u);
  EXPECT_EQ(manager.SendErrLogPath, CString::FromUtf8(dir.path()));
}

TEST_F(SendCycle, UnwritableMessageFileIsLoggedInTheProgramsFolder) {
  const std::string programFolder = CNorvCommFun::GetCurAppPath().ToUtf8();
  const auto logsBefore = LogFiles(programFolder);
  manager.IMClient.Init(CString::FromUtf8("file:" + dir.File("missing/sent.jsonl")), 0, L"sender",
                        L"", 1);
  manager.AddSendAMMsg(Message(L"nowhere"));
  const COleDateTime from = COleDateTime::GetCurrentTime();
  manager.SendAMMsg();
  const COleDateTime to = COleDateTime::GetCurrentTime();

  EXPECT_EQ(manager.SendErrLogPath, CNorvCommFun::GetCurAppPath());
  EXPECT_EQ(manager.IMClient.GetLastErr(), kNorvIMFileNotWritable);
  CString reason;
  manager.IMClient.GetErrInfo(kNorvIMFileNotWritable, L"CHS", reason);
  EXPECT_EQ(reason.Left(8), L"无法写入消息文件");
  EXPECT_TRUE(
      LoggedOnce(ExpectedLogs(manager.SendErrLogPath, from, to, kNorvIMFileNotWritable, reason)));
  for (const std::string& file : LogFiles(programFolder)) {
    if (logsBefore.count(file) == 0) std::filesystem::remove(file);
  }
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

// Delivery through the real XMPP server of the test run. Each case marks
// its messages with a remind of its own, so that test programs sharing the
// receiving account see only their own messages.
class XmppDelivery : public testing::Test {
 protected:
  void SetUp() override {
    NORV_REQUIRE_XMPP();
    server = norvtest::XmppServer();
    remindID.NewID();
    manager.SetAMSendUser(CString::FromUtf8(server.sender),
                          CString::FromUtf8(server.senderPassword));
    manager.SendErrLogPath = CString::FromUtf8(dir.path());
  }

  std::unique_ptr<norvtest::XmppReceiver> OnlineReceiver(int port) {
    auto receiver = std::make_unique<norvtest::XmppReceiver>(
        server.host, port, server.receiver + "@" + server.host, server.receiverPassword,
        remindID.GetString().ToUtf8());
    EXPECT_TRUE(receiver->WaitOnline(30s)) << "the receiving client could not log in";
    return receiver;
  }

  CNorvBasePtr<CNorvRemindAMMsg> MessageFor(const wchar_t* body) {
    auto message = Message(body, CString::FromUtf8(server.receiver));
    message->m_RemindID = remindID;
    return message;
  }

  norvtest::TempDir dir;
  norvtest::XmppTestServer server;
  CGuid remindID;
  CNorvRemindMgr manager;
};

TEST_F(XmppDelivery, QueuedMessagesArriveOnceEachInOrder) {
  auto receiver = OnlineReceiver(server.port);
  manager.SetAMServer(CString::FromUtf8(server.host), static_cast<unsigned>(server.port));
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  remind->m_ID = remindID;
  ASSERT_TRUE(manager.AddRemind(remind));
  const wchar_t* bodies[] = {L"first: <b>1</b> & more", L"第二条提醒", L"third"};
  std::vector<CNorvBasePtr<CNorvRemindAMMsg>> messages;
  for (const wchar_t* body : bodies) {
    messages.push_back(MessageFor(body));
    remind->AddAMMsg(messages.back());
    manager.AddRemindAMMsg(messages.back(), true);
  }
  manager.Start();
  manager.CheckAMMsg();
  const auto received = receiver->WaitForMessages(3, 60s);
  manager.Stop();
  EXPECT_TRUE(manager.SendMsgThread.Wait(60000));
  EXPECT_EQ(receiver->WaitForMessages(4, 1s).size(), 3u);
  EXPECT_FALSE(remind->HasRemindMsg());
  EXPECT_TRUE(LogText(dir.path()).empty());

  ASSERT_EQ(received.size(), 3u);
  for (size_t i = 0; i < received.size(); ++i) {
    EXPECT_EQ(received[i].body, CString(bodies[i]).ToUtf8());
    EXPECT_EQ(received[i].from.rfind(server.sender + "@", 0), 0u) << received[i].from;
    EXPECT_TRUE(received[i].hasExtension);
    EXPECT_EQ(received[i].msgType, "1");
    EXPECT_EQ(received[i].contentType, "Text/Html");
    EXPECT_EQ(received[i].extType, "MsgAddIn?RemindMsg");
    EXPECT_EQ(received[i].attribs,
              (std::vector<std::pair<std::string, std::string>>{
                  {"RemindID", remindID.GetString().ToUtf8()}}));
  }
}

// A prosody of the case's own, so that stopping it disturbs no other test.
class XmppOutage : public XmppDelivery {
 protected:
  void TearDown() override {
    if (started) StopServer();
  }
  bool StartServer() {
    started = true;
    return Script("start-prosody.sh' '" + serverDir.path() + "' " + std::to_string(port) +
                  " >/dev/null") == 0;
  }
  bool StopServer() { return Script("stop-prosody.sh' '" + serverDir.path() + "'") == 0; }
  int Script(const std::string& rest) {
    return std::system(("'" + server.scripts + "/" + rest).c_str());
  }

  norvtest::TempDir serverDir;
  const int port = UnusedPort();
  bool started = false;
};

TEST_F(XmppOutage, FailedSendIsLoggedAndTheNextMessageGoesThroughOnceTheServerIsBack) {
  ASSERT_FALSE(server.scripts.empty()) << "NORV_TEST_XMPP_SCRIPTS is not set";
  ASSERT_TRUE(StartServer());
  manager.SetAMServer(CString::FromUtf8(server.host), static_cast<unsigned>(port));
  manager.Start();
  {
    auto receiver = OnlineReceiver(port);
    manager.AddSendAMMsg(MessageFor(L"before"));
    EXPECT_EQ(receiver->WaitForMessages(1, 60s).size(), 1u);
  }
  ASSERT_TRUE(StopServer());

  const COleDateTime from = COleDateTime::GetCurrentTime();
  manager.AddSendAMMsg(MessageFor(L"sent while the server is down"));
  // Polls without judging speed: the limit only keeps a broken build from hanging.
  const auto logged = [&] { return LogText(dir.path()).find("\r\n") != std::string::npos; };
  for (int i = 0; i < 12000 && !logged(); ++i) std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(logged());
  const COleDateTime to = COleDateTime::GetCurrentTime();
  const int code = manager.IMClient.GetLastErr();
  EXPECT_EQ(code, kNorvIMCannotConnect);
  CString reason;
  manager.IMClient.GetErrInfo(code, L"CHS", reason);
  EXPECT_EQ(reason.Left(11), L"无法连接即时消息服务器");
  EXPECT_TRUE(LoggedOnce(ExpectedLogs(manager.SendErrLogPath, from, to, code, reason)));

  ASSERT_TRUE(StartServer());
  auto receiver = OnlineReceiver(port);
  manager.AddSendAMMsg(MessageFor(L"sent after the server is back"));
  const auto received = receiver->WaitForMessages(1, 60s);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].body, "sent after the server is back");
}

}  // namespace
