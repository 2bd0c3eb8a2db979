// The IM client against a real prosody (tests/prosody/start-prosody.sh).

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <optional>
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

using norvtest::LoopbackSocket;

bool Readable(int fd) {
  pollfd wait{fd, POLLIN, 0};
  return ::poll(&wait, 1, 5000) == 1;
}

// An XMPP server that offers PLAIN login and no TLS, refuses every login,
// and tells what its one client sent once that hangs up.
struct PlainServer {
  LoopbackSocket socket{true};
  std::future<std::string> received = std::async(std::launch::async, [fd = socket.fd] {
    std::string got;
    if (!Readable(fd)) return got;
    const int client = ::accept(fd, nullptr, nullptr);
    // The refusal goes out with the greeting: only a client that logs in reads it.
    const std::string replies =
        "<?xml version='1.0'?><stream:stream xmlns='jabber:client' "
        "xmlns:stream='http://etherx.jabber.org/streams' id='1' from='localhost' "
        "version='1.0'><stream:features><mechanisms "
        "xmlns='urn:ietf:params:xml:ns:xmpp-sasl'><mechanism>PLAIN</mechanism></mechanisms>"
        "</stream:features><failure xmlns='urn:ietf:params:xml:ns:xmpp-sasl'><not-authorized/>"
        "</failure>";
    ::write(client, replies.data(), replies.size());
    char buffer[4096];
    for (ssize_t n; Readable(client) && (n = ::read(client, buffer, sizeof(buffer))) > 0;)
      got.append(buffer, static_cast<size_t>(n));
    ::close(client);
    return got;
  });
};

class CIMXmppTest : public testing::Test {
 protected:
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

  norvtest::XmppTestServer server = norvtest::XmppServer();
  const CString remindId = [] {
    CGuid id;
    id.NewID();
    return id.GetString();
  }();
};

TEST_F(CIMXmppTest, DeliversEachMessageOnceInOrderWithItsExtensionAndRefusesUnknownReceivers) {
  NORV_REQUIRE_XMPP();
  auto receiver = OnlineReceiver(server.port);
  CIM client;
  client.Init(Wide(server.Address()), server.port, Wide(server.sender + "@" + server.host),
              Wide(server.senderPassword), 1);
  const Bodies bodies = {"first", "开会 <&> \"quoted\" 'single'", "", "line one\nline two"};
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
    EXPECT_EQ(seen, "chat " + server.sender + "@" + server.host +
                        " 1 text/plain MsgAddIn?RemindMsg RemindID=" + remindId.ToUtf8());
  }
}

TEST_F(CIMXmppTest, SendsThePasswordOnlyOverVerifiedTlsUnlessPlainIsAskedForOnLoopback) {
  NORV_REQUIRE_XMPP();
  // At its own port, "fake" is a server without TLS that tells whether it
  // saw a login, "silent" one that never answers. 0.0.0.0 is no loopback
  // name, but reaches the fake server all the same.
  const std::string pw = server.senderPassword, real = "real", fake = "fake", silent = "silent";
  const std::tuple<const char*, std::string, std::string, std::string, int, bool> cases[] = {
      {"TLS by default", fake, "127.0.0.1", pw, kNorvIMCannotConnect, false},
      {"plain when asked", fake, "127.0.0.1?tls=off", pw, kNorvIMAuthFailed, true},
      {"plain to a remote host", fake, "0.0.0.0?tls=off", pw, kNorvIMCannotConnect, false},
      {"plain to a remote host allowed", fake, "0.0.0.0?tls=off&allow-plain-remote=1", pw,
       kNorvIMAuthFailed, true},
      {"an unknown CA", real, server.host, pw, kNorvIMCannotConnect, false},
      {"an unknown option", real, server.host + "?tls=maybe", pw, kNorvIMCannotConnect, false},
      {"wrong password", real, server.Address(), "not the password", kNorvIMAuthFailed, false},
      {"a server that never answers", silent, server.Address(), pw, kNorvIMCannotConnect, false},
  };
  for (const auto& [what, kind, address, password, code, loggedIn] : cases) {
    std::optional<PlainServer> plain;
    std::optional<LoopbackSocket> quiet;
    int port = server.port;
    if (kind == fake) port = plain.emplace().socket.port;
    if (kind == silent) port = quiet.emplace(true).port;
    CIM client;
    client.Init(Wide(address), port, Wide(server.sender + "@localhost"), Wide(password), 1);
    EXPECT_EQ(SendRemind(client, "never", server.receiver), 0) << what;
    EXPECT_EQ(client.GetLastErr(), code) << what << ": " << LastError(client);
    if (plain) {
      EXPECT_EQ(plain->received.get().find("<auth") != std::string::npos, loggedIn) << what;
    }
  }
}

// A prosody of the case's own, so stopping it disturbs no other test. With
// and without stream management, since the client confirms sends
// differently on each.
class CIMXmppRestartTest : public CIMXmppTest, public testing::WithParamInterface<bool> {
 protected:
  void TearDown() override { Prosody("stop"); }

  // Starts (or restarts) or stops the case's prosody.
  bool Prosody(const std::string& what) {
    const std::string command = std::string("NORV_PROSODY_SMACKS=") + (GetParam() ? "1" : "0") +
                                " '" + server.scripts + "/" + what + "-prosody.sh' '" + dir.path() +
                                "' " + std::to_string(port) + " >/dev/null";
    return std::system(command.c_str()) == 0;
  }

  // One send that must arrive at a receiver logged in just for it.
  void ExpectDelivered(CIM& client, const std::string& body) {
    auto receiver = OnlineReceiver(port);
    ASSERT_NE(SendRemind(client, body, server.receiver), 0) << LastError(client);
    EXPECT_EQ(BodiesOf(receiver->WaitForMessages(1, seconds(10))), Bodies{body});
  }

  norvtest::TempDir dir;
  int port = LoopbackSocket(false).port;
};

TEST_P(CIMXmppRestartTest, FailsWhileTheServerIsDownAndDeliversOnceItIsBack) {
  NORV_REQUIRE_XMPP();
  ASSERT_FALSE(server.scripts.empty()) << "NORV_TEST_XMPP_SCRIPTS is not set";
  ASSERT_TRUE(Prosody("start"));
  CIM client;
  client.Init(Wide(server.Address()), port, Wide(server.sender), Wide(server.senderPassword), 1);
  ExpectDelivered(client, "before");

  ASSERT_TRUE(Prosody("stop"));
  EXPECT_EQ(SendRemind(client, "while down", server.receiver), 0);
  EXPECT_EQ(client.GetLastErr(), kNorvIMCannotConnect) << LastError(client);

  ASSERT_TRUE(Prosody("start"));
  ExpectDelivered(client, "after");
  // A connection the server dropped between two sends is replaced too.
  ASSERT_TRUE(Prosody("start"));
  ExpectDelivered(client, "after a quiet restart");
}

INSTANTIATE_TEST_SUITE_P(StreamManagement, CIMXmppRestartTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Acknowledged" : "Pinged";
                         });

}  // namespace
