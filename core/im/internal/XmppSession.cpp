#include "core/im/internal/XmppSession.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <signal.h>
#include <strophe.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <new>
#include <system_error>

#include "core/im/NorvIMError.h"

namespace {

constexpr const char* kStreamManagementNs = "urn:xmpp:sm:3";
constexpr const char* kPingNs = "urn:xmpp:ping";
constexpr const char* kStanzaErrorNs = "urn:ietf:params:xml:ns:xmpp-stanzas";
constexpr std::chrono::milliseconds kSlice(100);
constexpr std::chrono::milliseconds kGoodbyeWait(2000);

void InitialiseLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { xmpp_initialize(); });
}

// Every send waits for the server's answer, so Nagle's algorithm would only
// hold the small writes back; keepalive finds a dead peer while idle.
int TuneSocket(xmpp_conn_t* conn, void* socket) {
  const int on = 1;
  ::setsockopt(*static_cast<int*>(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
  return xmpp_sockopt_cb_keepalive(conn, socket);
}

// The defined condition of a stanza error, e.g. "service-unavailable".
std::string ErrorCondition(xmpp_stanza_t* stanza) {
  xmpp_stanza_t* error = xmpp_stanza_get_child_by_name(stanza, "error");
  for (xmpp_stanza_t* child = error ? xmpp_stanza_get_children(error) : nullptr; child != nullptr;
       child = xmpp_stanza_get_next(child)) {
    const char* ns = xmpp_stanza_get_ns(child);
    const char* name = xmpp_stanza_get_name(child);
    if (ns != nullptr && name != nullptr && std::string(ns) == kStanzaErrorNs) return name;
  }
  return "an error";
}

// OpenSSL writes with write(), which raises SIGPIPE once the server has
// gone, and the signal would end the host's process. Held back on this
// thread while libstrophe runs; one that came meanwhile is taken.
class HoldSigpipe {
 public:
  HoldSigpipe() {
    sigemptyset(&m_pipe);
    sigaddset(&m_pipe, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    m_wasPending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &m_pipe, &m_saved);
  }
  ~HoldSigpipe() {
    sigset_t pending;
    sigpending(&pending);
    if (!m_wasPending && sigismember(&pending, SIGPIPE) == 1) {
      const timespec now{};
      sigtimedwait(&m_pipe, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &m_saved, nullptr);
  }
  HoldSigpipe(const HoldSigpipe&) = delete;
  HoldSigpipe& operator=(const HoldSigpipe&) = delete;

 private:
  sigset_t m_pipe;
  sigset_t m_saved;
  bool m_wasPending = false;
};

void RunOnce(xmpp_ctx_t* ctx, unsigned long milliseconds) {
  HoldSigpipe hold;
  xmpp_run_once(ctx, milliseconds);
}

// The session whose libstrophe loop runs on this thread.
thread_local XmppSession* t_running = nullptr;

std::string Seconds(std::chrono::milliseconds span) {
  return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(span).count()) + " s";
}

}  // namespace

struct XmppSession::Handlers {
  static XmppSession& Of(void* userdata) { return *static_cast<XmppSession*>(userdata); }

  static void OnConnectionEvent(xmpp_conn_t*, xmpp_conn_event_t event, int error,
                                xmpp_stream_error_t*, void* userdata) {
    XmppSession& session = Of(userdata);
    if (event == XMPP_CONN_CONNECT) {
      // Logged in. The server answers this ping only after it has dealt
      // with the stream-management request sent before it, so by then we
      // know whether acknowledgements will come.
      session.m_phase = Phase::kProbing;
      session.m_probeId = session.NewId();
      session.SendPing(session.m_probeId);
    } else {
      session.m_phase = Phase::kClosed;
      session.m_closeError = error;
    }
  }

  static int OnStreamManagementEnabled(xmpp_conn_t*, xmpp_stanza_t*, void* userdata) {
    Of(userdata).m_streamManaged = true;
    return 1;
  }

  static int OnAcknowledgement(xmpp_conn_t*, xmpp_stanza_t* stanza, void* userdata) {
    const char* handled = xmpp_stanza_get_attribute(stanza, "h");
    if (handled != nullptr) {
      Of(userdata).m_acknowledged = static_cast<uint32_t>(std::strtoul(handled, nullptr, 10));
    }
    return 1;
  }

  static int OnPingAnswer(xmpp_conn_t*, xmpp_stanza_t* stanza, void* userdata) {
    XmppSession& session = Of(userdata);
    const char* id = xmpp_stanza_get_id(stanza);
    if (id == nullptr) return 0;
    if (session.m_phase == Phase::kProbing && id == session.m_probeId) {
      session.m_phase = Phase::kReady;
    } else if (id == session.m_pendingPingId) {
      session.m_pingAnswered = true;
    }
    return 0;
  }

  static int OnBounce(xmpp_conn_t*, xmpp_stanza_t* stanza, void* userdata) {
    XmppSession& session = Of(userdata);
    const char* id = xmpp_stanza_get_id(stanza);
    if (id == nullptr || id != session.m_pendingId) return 1;
    // Said when one of the receiver's clients went away before taking the
    // message, even if another of them has it: the server did accept it.
    const std::string condition = ErrorCondition(stanza);
    if (condition != "recipient-unavailable") session.m_rejection = condition;
    return 1;
  }

  // A certificate the trust store cannot vouch for ends the connection
  // before the password is sent. libstrophe passes no user data here; the
  // callback runs inside RunUntil.
  static int OnCertificateFailure(const xmpp_tlscert_t*, const char* reason) {
    if (t_running != nullptr) t_running->m_certificateError = reason ? reason : "not trusted";
    return 0;
  }

  static void OnLibraryLog(void* userdata, xmpp_log_level_t level, const char* area,
                           const char* text) {
    if (level == XMPP_LEVEL_ERROR) Of(userdata).m_libraryError = std::string(area) + ": " + text;
  }
};

std::unique_ptr<XmppSession> XmppSession::Open(const XmppAccount& account,
                                               std::chrono::milliseconds timeout, int& errorCode,
                                               std::string& detail) {
  InitialiseLibrary();
  std::unique_ptr<XmppSession> session(new XmppSession(account, timeout));
  errorCode = session->Connect(detail);
  if (errorCode != kNorvIMOk) session.reset();
  return session;
}

XmppSession::XmppSession(const XmppAccount& account, std::chrono::milliseconds timeout)
    : m_account(account), m_timeout(timeout), m_log(new xmpp_log_t{Handlers::OnLibraryLog, this}) {
  m_ctx = xmpp_ctx_new(nullptr, m_log.get());
  m_conn = m_ctx ? xmpp_conn_new(m_ctx) : nullptr;
  if (m_conn == nullptr) {
    if (m_ctx != nullptr) xmpp_ctx_free(m_ctx);
    throw std::bad_alloc();
  }
  ConfigureTls();
  xmpp_conn_set_sockopt_callback(m_conn, TuneSocket);
  xmpp_conn_set_jid(m_conn, m_account.jid.c_str());
  xmpp_conn_set_pass(m_conn, m_account.password.c_str());
  xmpp_handler_add(m_conn, Handlers::OnStreamManagementEnabled, kStreamManagementNs, "enabled",
                   nullptr, this);
  xmpp_handler_add(m_conn, Handlers::OnAcknowledgement, kStreamManagementNs, "a", nullptr, this);
  xmpp_handler_add(m_conn, Handlers::OnBounce, nullptr, "message", "error", this);
}

void XmppSession::ConfigureTls() {
  if (!m_account.requireTls) {
    xmpp_conn_set_flags(m_conn, XMPP_CONN_FLAG_DISABLE_TLS);
    return;
  }
  xmpp_conn_set_flags(m_conn, XMPP_CONN_FLAG_MANDATORY_TLS);
  xmpp_conn_set_certfail_handler(m_conn, Handlers::OnCertificateFailure);
  if (!m_account.caFile.empty()) xmpp_conn_set_cafile(m_conn, m_account.caFile.c_str());
}

XmppSession::~XmppSession() {
  Close();
  xmpp_conn_release(m_conn);
  xmpp_ctx_free(m_ctx);
}

int XmppSession::Connect(std::string& detail) {
  const std::string where = m_account.host + ":" + std::to_string(m_account.port);
  if (xmpp_connect_client(m_conn, m_account.host.c_str(), m_account.port,
                          Handlers::OnConnectionEvent, this) != XMPP_EOK) {
    m_phase = Phase::kClosed;
    detail = "cannot reach " + where;
    return kNorvIMCannotConnect;
  }
  if (RunUntil(m_timeout, [this] { return m_phase == Phase::kReady; })) return kNorvIMOk;
  if (m_phase != Phase::kClosed) {
    detail = "no login at " + where + " within " + Seconds(m_timeout);
    return kNorvIMCannotConnect;
  }
  if (!m_reachedServer) {
    detail = where + " accepts no connection";
    return kNorvIMCannotConnect;
  }
  if (!m_certificateError.empty()) {
    detail = where + " has an untrusted TLS certificate: " + m_certificateError;
    return kNorvIMCannotConnect;
  }
  // A login the server turned down ends in an orderly close; a peer that
  // is no XMPP server, or a broken network, leaves a socket error.
  if (m_closeError != 0) {
    detail = where + " broke the connection off: " + std::generic_category().message(m_closeError);
    return kNorvIMCannotConnect;
  }
  if (m_account.requireTls && !m_secured) {
    detail = where + " offers no TLS, so the password was not sent";
    if (!m_libraryError.empty()) detail += " (" + m_libraryError + ")";
    return kNorvIMCannotConnect;
  }
  detail = m_account.jid + " cannot log in at " + where;
  if (!m_libraryError.empty()) detail += " (" + m_libraryError + ")";
  return kNorvIMAuthFailed;
}

bool XmppSession::IsOpen() {
  // A server that closed the stream while we were idle left its goodbye
  // unread in the socket; a few turns that do not wait read it.
  for (int turn = 0; turn < 3 && m_phase == Phase::kReady; ++turn) RunOnce(m_ctx, 0);
  return m_phase == Phase::kReady;
}

int XmppSession::Deliver(const XmppOutgoing& message, std::string& detail) {
  m_pendingId = NewId();
  m_rejection.clear();
  SendStanza(BuildMessage(message));
  const uint32_t needed = m_sentStanzas;
  bool confirmed = false;
  if (m_streamManaged) {
    confirmed = RunUntil(m_timeout, [this, needed] {
      return !m_rejection.empty() || static_cast<int32_t>(m_acknowledged - needed) >= 0;
    });
  } else {
    m_pendingPingId = NewId();
    m_pingAnswered = false;
    SendPing(m_pendingPingId);
    confirmed = RunUntil(m_timeout, [this] { return !m_rejection.empty() || m_pingAnswered; });
  }
  if (!m_rejection.empty()) {
    detail = "the server answered " + m_rejection + " for " + message.to;
    return kNorvIMRejected;
  }
  if (confirmed) return kNorvIMOk;
  if (m_phase == Phase::kClosed) {
    detail = "the server closed the connection before confirming the message";
    return kNorvIMDisconnected;
  }
  detail = "no confirmation of the message within " + Seconds(m_timeout);
  Close();
  return kNorvIMNotConfirmed;
}

template <class Done>
bool XmppSession::RunUntil(std::chrono::milliseconds limit, Done done) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  XmppSession* const outer = t_running;
  t_running = this;
  struct Restore {
    XmppSession* outer;
    ~Restore() { t_running = outer; }
  } restore{outer};
  while (!done()) {
    if (m_phase == Phase::kClosed) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    RunOnce(m_ctx, static_cast<unsigned long>(std::min(left, kSlice).count()));
    if (xmpp_conn_is_connected(m_conn)) m_reachedServer = true;
    if (xmpp_conn_is_secured(m_conn)) m_secured = true;
  }
  return true;
}

void XmppSession::Close() {
  if (m_phase == Phase::kClosed) return;
  xmpp_disconnect(m_conn);
  RunUntil(kGoodbyeWait, [this] { return m_phase == Phase::kClosed; });
  m_phase = Phase::kClosed;
}

std::string XmppSession::NewId() {
  char* uuid = xmpp_uuid_gen(m_ctx);
  if (uuid == nullptr) throw std::bad_alloc();
  std::string id(uuid);
  xmpp_free(m_ctx, uuid);
  return id;
}

void XmppSession::SendStanza(xmpp_stanza_t* stanza) {
  xmpp_send(m_conn, stanza);
  xmpp_stanza_release(stanza);
  ++m_sentStanzas;
}

void XmppSession::SendPing(const std::string& id) {
  xmpp_id_handler_add(m_conn, Handlers::OnPingAnswer, id.c_str(), this);
  xmpp_stanza_t* iq = xmpp_iq_new(m_ctx, "get", id.c_str());
  xmpp_stanza_t* ping = xmpp_stanza_new(m_ctx);
  xmpp_stanza_set_name(ping, "ping");
  xmpp_stanza_set_ns(ping, kPingNs);
  xmpp_stanza_add_child_ex(iq, ping, 0);
  SendStanza(iq);
}
