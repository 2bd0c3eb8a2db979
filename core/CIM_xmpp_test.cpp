// The IM client against a real prosody (tests/prosody/start-prosody.sh).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "NorvTestSupport.h"
#include "NorvTestXmpp.h"
#include "core/CGuid.h"
#include "core/CIM.h"

namespace {

using std::chrono::seconds;

CString Wide(const std::string& text) { return CString::FromUtf8(text); }

std::string LastError(const CIM& client) {
  CString text;
  client.GetErrInfo(client.GetLastErr(), L"EN", text);
  return std::to_string(client.GetLastErr()) + " - " + text.ToUtf8();
}

std::vector<std::string> Bodies(const std::vector<norvtest::XmppReceived>& messages) {
  std::vector<std::string> bodies;
  for (const auto& message : messages) bodies.push_back(message.body);
  return bodies;
}

// A port on the loopback that nothing listens on right now.
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

class CIMXmppTest : public testing::Test {
 protected:
  void SetUp() override {
    server = norvtest::XmppServer();
    CGuid id;
    id.NewID();
    remindId = id.GetString();
  }

  void InitSender(CIM& client) {
    client.Init(Wide(server.host), server.port, Wide(server.sender),
                Wide(server.senderPassword), 1);
  }

  // Every message of a case carries the case's own RemindID.
  int SendRemind(CIM& client, const CString& body, const CString& receiver) {
    CMsg msg;
    msg.SetMsgType(1);
    msg.SetBody(body);
    msg.SetContentType(L"text/plain");
    msg.SetMsgExtType(L"MsgAddIn?RemindMsg");
    msg.SetAttrib(L"RemindID", remindId);
    return client.SendMsgEx(&msg, receiver);
  }

  std::unique_ptr<norvtest::XmppReceiver> OnlineReceiver(int port) {
    auto receiver = std::make_unique<norvtest::XmppReceiver>(
        server.host, port, server.receiver + "@" + server.host, server.receiverPassword,
        remindId.ToUtf8());
    EXPECT_TRUE(receiver->WaitOnline(seconds(10))) << "the receiving client could not log in";
    return receiver;
  }

  norvtest::XmppTestServer server;
  CString remindId;
};

TEST_F(CIMXmppTest, DeliversEachMessageOnceInOrderWithItsExtension) {
  NORV_REQUIRE_XMPP();
  auto receiver = OnlineReceiver(server.port);
  const std::string receiverJid = server.receiver + "@" + server.host;
  CIM client;
  client.Init(Wide(server.host), server.port, Wide(server.sender + "@" + server.host),
              Wide(server.senderPassword), 1);

  const std::vector<std::string> bodies = {"first", "开会 <&> \"quoted\" 'single'", "",
                                           "line one\nline two", "fifth"};
  for (const std::string& body : bodies) {
    ASSERT_NE(SendRemind(client, Wide(body), Wide(server.receiver)), 0) << LastError(client);
  }
  // Anything sent twice would arrive before this last one.
  ASSERT_NE(SendRemind(client, L"last", Wide(receiverJid)), 0) << LastError(client);

  std::vector<norvtest::XmppReceived> received = receiver->WaitForMessages(6, seconds(10));
  std::vector<std::string> expected = bodies;
  expected.push_back("last");
  ASSERT_EQ(Bodies(received), expected);
  for (const auto& message : received) {
    EXPECT_EQ(message.type, "chat");
    EXPECT_EQ(message.from.substr(0, message.from.find('/')), server.sender + "@" + server.host);
    ASSERT_TRUE(message.hasExtension) << message.body;
    EXPECT_EQ(message.msgType, "1");
    EXPECT_EQ(message.contentType, "text/plain");
    EXPECT_EQ(message.extType, "MsgAddIn?RemindMsg");
    ASSERT_EQ(message.attribs.size(), 1u);
    EXPECT_EQ(message.attribs[0].first, "RemindID");
    EXPECT_EQ(message.attribs[0].second, remindId.ToUtf8());
  }
}

TEST_F(CIMXmppTest, ConcurrentSendersAreEachDeliveredOnceInTheirOrder) {
  NORV_REQUIRE_XMPP();
  auto receiver = OnlineReceiver(server.port);
  CIM client;
  InitSender(client);
  const int threads = 2, perThread = 10;
  std::vector<std::thread> senders;
  for (int t = 0; t < threads; ++t) {
    senders.emplace_back([&, t] {
      for (int i = 0; i < perThread; ++i) {
        const std::string body = std::to_string(t) + ":" + std::to_string(i);
        EXPECT_NE(SendRemind(client, Wide(body), Wide(server.receiver)), 0) << LastError(client);
      }
    });
  }
  for (auto& sender : senders) sender.join();

  std::map<int, int> next;
  for (const std::string& body : Bodies(receiver->WaitForMessages(threads * perThread,
                                                                  seconds(20)))) {
    const int t = std::stoi(body.substr(0, body.find(':')));
    EXPECT_EQ(std::stoi(body.substr(body.find(':') + 1)), next[t]++) << body;
  }
  for (int t = 0; t < threads; ++t) EXPECT_EQ(next[t], perThread);
}

TEST_F(CIMXmppTest, WrongPasswordIsAnAuthenticationFailure) {
  NORV_REQUIRE_XMPP();
  CIM client;
  client.Init(Wide(server.host), server.port, Wide(server.sender), L"not the password", 1);
  EXPECT_EQ(SendRemind(client, L"never", Wide(server.receiver)), 0);
  EXPECT_EQ(client.GetLastErr(), kNorvIMAuthFailed);
  CString text;
  client.GetErrInfo(kNorvIMAuthFailed, L"CHS", text);
  EXPECT_EQ(text.Left(17), L"即时消息服务器拒绝了发送账号或密码") << text.ToUtf8();
}

TEST_F(CIMXmppTest, UnknownReceiverIsRejectedAndTheNextSendStillGoes) {
  NORV_REQUIRE_XMPP();
  auto receiver = OnlineReceiver(server.port);
  CIM client;
  InitSender(client);
  EXPECT_EQ(SendRemind(client, L"to nobody", L"nobody-here"), 0);
  EXPECT_EQ(client.GetLastErr(), kNorvIMRejected) << LastError(client);
  ASSERT_NE(SendRemind(client, L"to somebody", Wide(server.receiver)), 0) << LastError(client);
  EXPECT_EQ(Bodies(receiver->WaitForMessages(1, seconds(10))),
            std::vector<std::string>{"to somebody"});
}

TEST_F(CIMXmppTest, NothingListeningIsCannotConnect) {
  NORV_REQUIRE_XMPP();
  CIM client;
  client.Init(Wide(server.host), UnusedPort(), Wide(server.sender), Wide(server.senderPassword),
              1);
  EXPECT_EQ(SendRemind(client, L"nowhere", Wide(server.receiver)), 0);
  EXPECT_EQ(client.GetLastErr(), kNorvIMCannotConnect) << LastError(client);
}

// A server that takes the connection and then says nothing must not hold a
// send for ever.
TEST_F(CIMXmppTest, SilentServerIsCannotConnect) {
  NORV_REQUIRE_XMPP();
  int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);

  CIM client;
  client.Init(L"localhost", ntohs(address.sin_port), Wide(server.sender),
              Wide(server.senderPassword), 1);
  EXPECT_EQ(SendRemind(client, L"into silence", Wide(server.receiver)), 0);
  EXPECT_EQ(client.GetLastErr(), kNorvIMCannotConnect) << LastError(client);
  ::close(listener);
}

// A prosody of the test's own, so stopping it disturbs no other test. With
// and without stream management, since the client confirms sends
// differently on each.
class CIMXmppRestartTest : public CIMXmppTest, public testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    CIMXmppTest::SetUp();
    port = UnusedPort();
  }
  void TearDown() override {
    if (started) Stop();
  }

  bool Start() {
    started = true;
    const std::string command = std::string("NORV_PROSODY_SMACKS=") + (GetParam() ? "1" : "0") +
                                " '" + server.scripts + "/start-prosody.sh' '" + dir.path() +
                                "' " + std::to_string(port) + " >/dev/null";
    return std::system(command.c_str()) == 0;
  }
  bool Stop() {
    const std::string command = "'" + server.scripts + "/stop-prosody.sh' '" + dir.path() + "'";
    return std::system(command.c_str()) == 0;
  }

  norvtest::TempDir dir;
  int port = 0;
  bool started = false;
};

TEST_P(CIMXmppRestartTest, FailsWhileTheServerIsDownAndDeliversOnceItIsBack) {
  NORV_REQUIRE_XMPP();
  ASSERT_FALSE(server.scripts.empty()) << "NORV_TEST_XMPP_SCRIPTS is not set";
  ASSERT_TRUE(Start());
  CIM client;
  client.Init(Wide(server.host), port, Wide(server.sender), Wide(server.senderPassword), 1);
  {
    auto receiver = OnlineReceiver(port);
    ASSERT_NE(SendRemind(client, L"before", Wide(server.receiver)), 0) << LastError(client);
    EXPECT_EQ(Bodies(receiver->WaitForMessages(1, seconds(10))),
              std::vector<std::string>{"before"});
  }

  ASSERT_TRUE(Stop());
  EXPECT_EQ(SendRemind(client, L"while down", Wide(server.receiver)), 0);
  EXPECT_EQ(client.GetLastErr(), kNorvIMCannotConnect) << LastError(client);

  ASSERT_TRUE(Start());
  auto receiver = OnlineReceiver(port);
  ASSERT_NE(SendRemind(client, L"after", Wide(server.receiver)), 0) << LastError(client);
  EXPECT_EQ(Bodies(receiver->WaitForMessages(1, seconds(10))),
            std::vector<std::string>{"after"});

  // The connection the server dropped between two sends is replaced too.
  receiver.reset();
  ASSERT_TRUE(Start());
  receiver = OnlineReceiver(port);
  ASSERT_NE(SendRemind(client, L"after a quiet restart", Wide(server.receiver)), 0)
      << LastError(client);
  EXPECT_EQ(Bodies(receiver->WaitForMessages(1, seconds(10))),
            std::vector<std::string>{"after a quiet restart"});
}

INSTANTIATE_TEST_SUITE_P(StreamManagement, CIMXmppRestartTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Acknowledged" : "Pinged";
                         });

}  // namespace
