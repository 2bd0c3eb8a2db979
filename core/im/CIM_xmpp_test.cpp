// The IM client against a real prosody (tests/prosody/start-prosody.sh).

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
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

// An XMPP server that offers PLAIN login and no TLS, refuses every login,
// and records what one client sends it.
class PlainServer {
 public:
  PlainServer() : m_thread([this] { Serve(); }) {}
  ~PlainServer() {
    if (m_thread.joinable()) m_thread.join();
  }
  // Waits for the client to hang up, then tells what it sent.
  std::string Received() {
    if (m_thread.joinable()) m_thread.join();
    return m_received;
  }
  int port() const { return m_socket.port; }

 private:
  static bool Readable(int fd) {
    pollfd wait{fd, POLLIN, 0};
    return ::poll(&wait, 1, 5000) == 1;
  }
  // The refusal goes out with the greeting: only a client that logs in reads it.
  void Serve() {
    if (!Readable(m_socket.fd)) return;
    const int client = ::accept(m_socket.fd, nullptr, nullptr);
    static const std::string kReplies =
        "<?xml version='1.0'?><stream:stream xmlns='jabber:client' "
        "xmlns:stream='http://etherx.jabber.org/streams' id='1' from='localhost' "
        "version='1.0'><stream:features><mechanisms "
        "xmlns='urn:ietf:params:xml:ns:xmpp-sasl'><mechanism>PLAIN</mechanism></mechanisms>"
        "</stream:features><failure xmlns='urn:ietf:params:xml:ns:xmpp-sasl'><not-authorized/>"
        "</failure>";
    ::write(client, kReplies.data(), kReplies.size());
    char buffer[4096];
    for (ssize_t got; Readable(client) && (got = ::read(client, buffer, sizeof(buffer))) > 0;) {
      m_received.append(buffer, static_cast<size_t>(got));
    }
    ::close(client);
  }

  LoopbackSocket m_socket{true};
  std::string m_received;
  std::thread m_thread;
};

class CIMXmppTest : public testing::Test {
 protected:
  void SetUp() override {
    server = norvtest::XmppServer();
    CGuid id;
    id.NewID();
    remindId = id.GetString();
  }

  void InitSender(CIM& client, int port, const CString& password) {
    client.Init(Wide(server.Address()), port, Wide(server.sender), password, 1);
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
        server.host, port, server.receiver + "@" + server.host, server.receiverPassword,
        remindId.ToUtf8());
    EXPECT_TRUE(receiver->WaitOnline(seconds(10))) << "the receiving client could not log in";
    return receiver;
  }

  norvtest::XmppTestServer server;
  CString remindId;
};

TEST_F(CIMXmppTest, DeliversEachMessageOnceInOrderWithItsExtensionAndFailsWithItsOwnCodes) {
  NORV_REQUIRE_XMPP();
  auto receiver = OnlineReceiver(server.port);
  CIM client, plain;  // plain only when asked for, on loopback
  client.Init(Wide(server.Address()), server.port, Wide(server.sender + "@" + server.host),
              Wide(server.senderPassword), 1);
  plain.Init(Wide(server.host + "?tls=off"), server.port, Wide(server.sender),
             Wide(server.senderPassword), 1);
  const Bodies bodies = {"first", "开会 <&> \"quoted\" 'single'", "", "line one\nline two",
                         "plain"};
  for (const std::string& body : bodies) {
    CIM& sender = body == bodies.back() ? plain : client;
    ASSERT_NE(SendRemind(sender, body, server.receiver), 0) << LastError(sender);
    // A receiver the server does not know is refused; the connection stays good.
    EXPECT_EQ(SendRemind(sender, "to nobody", "nobody-here"), 0);
    EXPECT_EQ(sender.GetLastErr(), kNorvIMRejected) << LastError(sender);
  }
  // Anything sent twice would arrive before the last one.
  const auto received = receiver->WaitForMessages(bodies.size(), seconds(10));
  ASSERT_EQ(BodiesOf(received), bodies);
  for (const auto& message : received) {
    std::string seen = message.type + " " + message.from.substr(0, message.from.find('/')) + " " +
                       message.msgType + " " + message.contentType + " " + message.extType;
    for (const auto& [name, value] : message.attribs) seen += " " + name + "=" + value;
    EXPECT_EQ(seen, "chat " + server.sender + "@" + server.host +
                        " 1 text/plain MsgAddIn?RemindMsg RemindID=" + remindId.ToUtf8());
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

TEST_F(CIMXmppTest, SendsThePasswordOnlyOverVerifiedTlsUnlessPlainIsAskedForOnLoopback) {
  NORV_REQUIRE_XMPP();
  const std::string fake = "fake";  // the server without TLS, at its own port
  const std::tuple<const char*, std::string, int, bool> cases[] = {
      // what, server text, code, whether the fake server saw a login
      {"TLS by default", fake, kNorvIMCannotConnect, false},
      {"plain when asked", fake + "?tls=off", kNorvIMAuthFailed, true},
      {"plain to a remote host", "example.org?tls=off", kNorvIMCannotConnect, false},
      {"an unknown CA", server.host, kNorvIMCannotConnect, false},
      {"an unknown option", server.host + "?tls=maybe", kNorvIMCannotConnect, false},
  };
  for (const auto& [what, text, code, loggedIn] : cases) {
    std::optional<PlainServer> plain;
    std::string address = text;
    if (text.starts_with(fake)) {
      plain.emplace();
      address.replace(0, fake.size(), "127.0.0.1");
    }
    CIM client;
    client.Init(Wide(address), plain ? plain->port() : server.port,
                Wide(server.sender + "@localhost"), Wide(server.senderPassword), 1);
    EXPECT_EQ(SendRemind(client, "never", server.receiver), 0) << what;
    EXPECT_EQ(client.GetLastErr(), code) << what << ": " << LastError(client);
    if (plain) {
      EXPECT_EQ(plain->Received().find("<auth") != std::string::npos, loggedIn) << what;
    }
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
    const std::string command = std::string("NORV_PROSODY_SMACKS=") + (GetParam() ? "1" : "0") +
                                " '" + server.scripts + "/" + name + "' '" + dir.path() + "'" +
                                rest;
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
