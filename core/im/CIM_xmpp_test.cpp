// The IM client against a real prosody (tests/prosody/start-prosody.sh).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "NorvTestSupport.h"
#include "NorvTestXmpp.h"
#include "core/base/CGuid.h"
#include "core/im/CIM.h"

namespace {

using std::chrono::seconds;
using Bodies = std::vector<std::string>;

CString Wide(const std::string& text) { return CString::FromUtf8(text); }

std::string LastError(const CIM& client) {
  CString text;
  client.GetErrInfo(client.GetLastErr(), L"EN", text);
  return std::to_string(client.GetLastErr()) + " - " + text.ToUtf8();
}

Bodies BodiesOf(const std::vector<norvtest::XmppReceived>& messages) {
  Bodies bodies;
  for (const auto& message : messages) bodies.push_back(message.body);
  return bodies;
}

// A loopback socket bound to a free port; listening when asked to.
struct LoopbackSocket {
  explicit LoopbackSocket(bool listen) : fd(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    if (listen) ::listen(fd, 4);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
  }
  ~LoopbackSocket() { ::close(fd); }

  int fd;
  int port;
};

int UnusedPort() { return LoopbackSocket(false).port; }

class CIMXmppTest : public testing::Test {
 protected:
  void SetUp() override {
    server = norvtest::XmppServer();
    CGuid id;
    id.NewID();
    remindId = id.GetString();
  }

  void InitSender(CIM& client, int port, const CString& password) {
    client.Init(Wide(server.host), port, Wide(server.sender), password, 1);
  }

  // Every message of a case carries the case's own RemindID, which keeps it
  // apart from those of test programs sharing the receiving account.
  int SendRemind(CIM& client, const std::string& body, const std::string& receiver) {
    CMsg msg;
    msg.SetMsgType(1);
    msg.SetBody(Wide(body));
    msg.SetContentType(L"text/plain");
    msg.SetMsgExtType(L"MsgAddIn?RemindMsg");
    msg.SetAttrib(L"RemindID", remindId);
    return client.SendMsgEx(&msg, Wide(receiver));
  }

  std::unique_ptr<norvtest::XmppReceiver> OnlineReceiver(int port) {
    auto receiver = std::make_unique<norvtest::XmppReceiver>(
        server.host, port, server.receiver + "@" + server.host, server.receiverPassword, remindId.ToUtf8());
    EXPECT_TRUE(receiver->WaitOnline(seconds(10))) << "the receiving client could not log in";
    return receiver;
  }

  norvtest::XmppTestServer server;
  CString remindId;
};

TEST_F(CIMXmppTest, DeliversEachMessageOnceInOrderWithItsExtensionAndFailsWithItsOwnCodes) {
  NORV_REQUIRE_XMPP();
  auto receiver = OnlineReceiver(server.port);
  CIM client;
  client.Init(Wide(server.host), server.port, Wide(server.sender + "@" + server.host),
              Wide(server.senderPassword), 1);
  const Bodies bodies = {"first", "开会 <&> \"quoted\" 'single'", "", "line one\nline two", "last"};
  for (const std::string& body : bodies) {
    ASSERT_NE(SendRemind(client, body, server.receiver), 0) << LastError(client);
    // A receiver the server does not know is refused; the connection stays good.
    EXPECT_EQ(SendRemind(client, "to nobody", "nobody-here"), 0);
    EXPECT_EQ(client.GetLastErr(), kNorvIMRejected) << LastError(client);
  }
  // Anything sent twice would arrive before the last one.
  const auto received = receiver->WaitForMessages(bodies.size(), seconds(10));
  ASSERT_EQ(BodiesOf(received), bodies);
  for (const auto& message : received) {
    std::string seen = message.type + " " + message.from.substr(0, message.from.find('/')) + " " +
                       message.msgType + " " + message.contentType + " " + message.extType;
    for (const auto& [name, value] : message.attribs) seen += " " + name + "=" + value;
    EXPECT_EQ(seen, "chat " + server.sender + "@" + server.host + " 1 text/plain MsgAddIn?RemindMsg RemindID=" +
                        remindId.ToUtf8());
  }
  LoopbackSocket silent(true);
  const std::tuple<const char*, int, std::string, int> failures[] = {
      {"wrong password", server.port, "not the password", kNorvIMAuthFailed},
      {"a server that never answers", silent.port, server.senderPassword, kNorvIMCannotConnect},
  };
  for (const auto& [what, port, password, code] : failures) {
    CIM failing;
    InitSender(failing, port, Wide(password));
    EXPECT_EQ(SendRemind(failing, "never", server.receiver), 0) << what;
    EXPECT_EQ(failing.GetLastErr(), code) << what << ": " << LastError(failing);
  }
}

// A prosody of the case's own, so stopping it disturbs no other test. With
// and without stream management, since the client confirms sends
// differently on each.
class CIMXmppRestartTest : public CIMXmppTest, public testing::WithParamInterface<bool> {
 protected:
  void TearDown() override {
    if (started) Script("stop-prosody.sh", "");
  }

  bool Start() {
    started = true;
    return Script("start-prosody.sh", " " + std::to_string(port) + " >/dev/null");
  }
  bool Script(const std::string& name, const std::string& rest) {
    const std::string command = std::string("NORV_PROSODY_SMACKS=") + (GetParam() ? "1" : "0") + " '" +
                                server.scripts + "/" + name + "' '" + dir.path() + "'" + rest;
    return std::system(command.c_str()) == 0;
  }

  // One send that must arrive at a receiver logged in just for it.
  void ExpectDelivered(CIM& client, const std::string& body) {
    auto receiver = OnlineReceiver(port);
    ASSERT_NE(SendRemind(client, body, server.receiver), 0) << LastError(client);
    EXPECT_EQ(BodiesOf(receiver->WaitForMessages(1, seconds(10))), Bodies{body});
  }

  norvtest::TempDir dir;
  int port = UnusedPort();
  bool started = false;
};

TEST_P(CIMXmppRestartTest, FailsWhileTheServerIsDownAndDeliversOnceItIsBack) {
  NORV_REQUIRE_XMPP();
  ASSERT_FALSE(server.scripts.empty()) << "NORV_TEST_XMPP_SCRIPTS is not set";
  ASSERT_TRUE(Start());
  CIM client;
  InitSender(client, port, Wide(server.senderPassword));
  ExpectDelivered(client, "before");

  ASSERT_TRUE(Script("stop-prosody.sh", ""));
  EXPECT_EQ(SendRemind(client, "while down", server.receiver), 0);
  EXPECT_EQ(client.GetLastErr(), kNorvIMCannotConnect) << LastError(client);

  ASSERT_TRUE(Start());
  ExpectDelivered(client, "after");
  // A connection the server dropped between two sends is replaced too.
  ASSERT_TRUE(Start());
  ExpectDelivered(client, "after a quiet restart");
}

INSTANTIATE_TEST_SUITE_P(StreamManagement, CIMXmppRestartTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Acknowledged" : "Pinged";
                         });

}  // namespace
