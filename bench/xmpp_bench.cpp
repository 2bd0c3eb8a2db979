// Messages through prosody on loopback: the library's IM client, which
// returns once the server has confirmed each message, against a bare
// libstrophe client that waits for the server's answer to a ping sent
// behind each message, and the same client pipelining all of them behind
// one ping.
//
// Needs the NORV_TEST_XMPP_* variables (and the CA file) the test server's start script
// prints; without them every case is skipped.
#include <NorvRemindCore.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <strophe.h>
#include <sys/socket.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

namespace {

const char kBody[] = "Stand-up in room 4 at 09:30, bring the figures";

struct Server {
  std::string host;
  int port = 0;
  std::string sender;
  std::string password;
  std::string receiver;
  std::string caFile;  // the test CA that signed the server's certificate
  std::string receiverPassword;
};

bool ServerFromEnvironment(Server& server) {
  const char* host = std::getenv("NORV_TEST_XMPP_HOST");
  const char* port = std::getenv("NORV_TEST_XMPP_PORT");
  const char* sender = std::getenv("NORV_TEST_XMPP_SENDER");
  const char* password = std::getenv("NORV_TEST_XMPP_SENDER_PASSWORD");
  const char* receiver = std::getenv("NORV_TEST_XMPP_RECEIVER");
  const char* caFile = std::getenv("NORV_TEST_XMPP_CAFILE");
  const char* receiverPassword = std::getenv("NORV_TEST_XMPP_RECEIVER_PASSWORD");
  if (!host || !port || !sender || !password || !receiver || !receiverPassword) return false;
  server = {host,
            std::atoi(port),
            std::string(sender) + "@" + host,
            password,
            std::string(receiver) + "@" + host,
            caFile ? caFile : "",
            receiverPassword};
  return true;
}

// The bare client: one libstrophe connection, driven by hand.
class BareClient {
 public:
  BareClient(const Server& server, const std::string& jid, const std::string& password)
      : m_server(server) {
    xmpp_initialize();
    m_ctx = xmpp_ctx_new(nullptr, nullptr);
    m_conn = xmpp_conn_new(m_ctx);
    // Verifies the certificate as the library does.
    xmpp_conn_set_flags(m_conn, XMPP_CONN_FLAG_MANDATORY_TLS);
    if (!server.caFile.empty()) xmpp_conn_set_cafile(m_conn, server.caFile.c_str());
    xmpp_conn_set_sockopt_callback(m_conn, NoDelay);
    xmpp_conn_set_jid(m_conn, jid.c_str());
    xmpp_conn_set_pass(m_conn, password.c_str());
    xmpp_connect_client(m_conn, server.host.c_str(), static_cast<unsigned short>(server.port),
                        OnConnection, this);
    while (!m_connected && !m_failed) xmpp_run_once(m_ctx, 10);
  }
  ~BareClient() {
    xmpp_disconnect(m_conn);
    while (!m_failed) xmpp_run_once(m_ctx, 10);
    xmpp_conn_release(m_conn);
    xmpp_ctx_free(m_ctx);
  }

  bool connected() const { return m_connected && !m_failed; }

  void SendMessage() {
    xmpp_stanza_t* message = xmpp_message_new(m_ctx, "chat", m_server.receiver.c_str(), nullptr);
    xmpp_message_set_body(message, kBody);
    xmpp_send(m_conn, message);
    xmpp_stanza_release(message);
  }

  // Online, so that the server delivers instead of bouncing.
  void SendPresence() {
    xmpp_stanza_t* presence = xmpp_presence_new(m_ctx);
    xmpp_send(m_conn, presence);
    xmpp_stanza_release(presence);
  }

  // Reads (and drops) whatever arrives until `stop` is set.
  void RunUntil(const std::atomic<bool>& stop) {
    while (!stop && !m_failed) xmpp_run_once(m_ctx, 10);
  }

  // Sends a ping to the server and runs until its answer has come.
  void PingAndWait() {
    std::string id = "p";
    id += std::to_string(++m_pings);
    xmpp_stanza_t* iq = xmpp_iq_new(m_ctx, "get", id.c_str());
    xmpp_stanza_set_to(iq, m_server.host.c_str());
    xmpp_stanza_t* ping = xmpp_stanza_new(m_ctx);
    xmpp_stanza_set_name(ping, "ping");
    xmpp_stanza_set_ns(ping, "urn:xmpp:ping");
    xmpp_stanza_add_child(iq, ping);
    xmpp_stanza_release(ping);
    m_answered = false;
    xmpp_id_handler_add(m_conn, OnAnswer, id.c_str(), this);
    xmpp_send(m_conn, iq);
    xmpp_stanza_release(iq);
    while (!m_answered && !m_failed) xmpp_run_once(m_ctx, 10);
  }

 private:
  // Without it every small stanza waits for the peer's delayed ACK.
  static int NoDelay(xmpp_conn_t*, void* socket) {
    const int on = 1;
    return setsockopt(*static_cast<int*>(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  }
  static void OnConnection(xmpp_conn_t*, xmpp_conn_event_t event, int, xmpp_stream_error_t*,
                           void* userdata) {
    auto* self = static_cast<BareClient*>(userdata);
    if (event == XMPP_CONN_CONNECT) {
      self->m_connected = true;
    } else {
      self->m_failed = true;
    }
  }
  static int OnAnswer(xmpp_conn_t*, xmpp_stanza_t*, void* userdata) {
    static_cast<BareClient*>(userdata)->m_answered = true;
    return 0;
  }

  Server m_server;
  xmpp_ctx_t* m_ctx;
  xmpp_conn_t* m_conn;
  bool m_connected = false;
  bool m_failed = false;
  bool m_answered = false;
  long m_pings = 0;
};

// The receiver, logged in and reading on its own thread for as long as it lives.
class OnlineReceiver {
 public:
  explicit OnlineReceiver(const Server& server)
      : m_client(server, server.receiver, server.receiverPassword) {
    m_client.SendPresence();
    m_client.PingAndWait();
    m_thread = std::thread([this] { m_client.RunUntil(m_stop); });
  }
  ~OnlineReceiver() {
    m_stop = true;
    m_thread.join();
  }

 private:
  BareClient m_client;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

void BM_LibraryClient(benchmark::State& state) {
  Server server;
  if (!ServerFromEnvironment(server)) {
    state.SkipWithError("NORV_TEST_XMPP_HOST is not set");
    return;
  }
  OnlineReceiver receiverOnline(server);
  CIM client;
  const std::string address =
      server.caFile.empty() ? server.host : server.host + "?ca=" + server.caFile;
  client.Init(CString::FromUtf8(address), server.port, CString::FromUtf8(server.sender),
              CString::FromUtf8(server.password), 0);
  CMsg message;
  message.SetMsgType(1);
  message.SetBody(CString::FromUtf8(kBody));
  const CString receiver = CString::FromUtf8(server.receiver);
  // Logs in, as the bare client does before its loop, again if a loaded
  // server drops the first attempt.
  bool loggedIn = false;
  for (int attempt = 0; attempt < 3 && !loggedIn; ++attempt) {
    loggedIn = client.SendMsgEx(&message, receiver) != 0;
  }
  if (!loggedIn) {
    CString reason;
    client.GetErrInfo(client.GetLastErr(), L"EN", reason);
    state.SkipWithError(reason.ToUtf8().c_str());
  }
  for (auto _ : state) {
    if (client.SendMsgEx(&message, receiver) == 0) state.SkipWithError("send failed");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LibraryClient)->UseRealTime();

// `perPing` messages, then a ping whose answer is waited for.
void MeasureBare(benchmark::State& state, int perPing) {
  Server server;
  if (!ServerFromEnvironment(server)) {
    state.SkipWithError("NORV_TEST_XMPP_HOST is not set");
    return;
  }
  OnlineReceiver receiverOnline(server);
  // A loaded server now and then drops a login; that is not what is measured.
  std::unique_ptr<BareClient> client;
  for (int attempt = 0; attempt < 3 && !(client && client->connected()); ++attempt) {
    client.reset();
    client = std::make_unique<BareClient>(server, server.sender, server.password);
  }
  if (!client->connected()) state.SkipWithError("cannot connect");
  for (auto _ : state) {
    for (int i = 0; i < perPing; ++i) client->SendMessage();
    client->PingAndWait();
  }
  state.SetItemsProcessed(state.iterations() * perPing);
}

void BM_BareAcknowledged(benchmark::State& state) { MeasureBare(state, 1); }
BENCHMARK(BM_BareAcknowledged)->UseRealTime();

void BM_BarePipelined(benchmark::State& state) { MeasureBare(state, 1000); }
BENCHMARK(BM_BarePipelined)->UseRealTime();

}  // namespace
