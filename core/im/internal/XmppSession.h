#ifndef NORV_CORE_IM_INTERNAL_XMPPSESSION_H_
#define NORV_CORE_IM_INTERNAL_XMPPSESSION_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// libstrophe's opaque handles, declared as strophe.h declares them so that
// only the .cpp files include it.
typedef struct _xmpp_ctx_t xmpp_ctx_t;
typedef struct _xmpp_conn_t xmpp_conn_t;
typedef struct _xmpp_stanza_t xmpp_stanza_t;
typedef struct _xmpp_log_t xmpp_log_t;

// Where and as whom to log in; all texts UTF-8.
struct XmppAccount {
  std::string host;
  unsigned short port = 5222;
  std::string jid;
  std::string password;
  // Without TLS the password would cross the network readable; the caller
  // decides when that is acceptable.
  bool requireTls = true;
  // PEM file of the authorities that may sign the server's certificate;
  // empty means the system's trust store.
  std::string caFile;
};

// One chat message as it goes on the wire; all texts UTF-8.
struct XmppOutgoing {
  std::string to;
  std::string body;
  std::string msgType;
  std::string contentType;
  std::string extType;
  std::vector<std::pair<std::string, std::string>> attribs;
};

// One logged-in client connection. libstrophe runs only inside the calls
// below, on the caller's thread; the owner serialises them.
class XmppSession {
 public:
  // The namespace of the element that carries what a chat body cannot.
  static constexpr const char* kNamespace = "urn:norvremind:msg";

  // Logs in and returns the session, or null with a NorvIMError code and a
  // reason. Waits at most `timeout`.
  static std::unique_ptr<XmppSession> Open(const XmppAccount& account,
                                           std::chrono::milliseconds timeout, int& errorCode,
                                           std::string& detail);
  ~XmppSession();
  XmppSession(const XmppSession&) = delete;
  XmppSession& operator=(const XmppSession&) = delete;

  // Reads what the server sent since the last call; false once the server
  // has closed the connection.
  bool IsOpen();

  // Sends the message and waits until the server confirms it took it: a
  // stream-management acknowledgement when the server enabled it, the
  // answer to a ping sent right behind the message otherwise (the server
  // handles a client's stanzas in order). kNorvIMOk or the failure's code.
  int Deliver(const XmppOutgoing& message, std::string& detail);

 private:
  enum class Phase { kConnecting, kProbing, kReady, kClosed };

  XmppSession(const XmppAccount& account, std::chrono::milliseconds timeout);

  void ConfigureTls();
  int Connect(std::string& detail);
  // Runs libstrophe until `done` holds; false when the connection closed
  // or `limit` passed first.
  template <class Done>
  bool RunUntil(std::chrono::milliseconds limit, Done done);
  xmpp_stanza_t* BuildMessage(const XmppOutgoing& message);
  void SendStanza(xmpp_stanza_t* stanza);
  void SendPing(const std::string& id);
  std::string NewId();
  void Close();

  // libstrophe's callbacks, which need its types.
  struct Handlers;

  const XmppAccount m_account;
  const std::chrono::milliseconds m_timeout;
  std::unique_ptr<xmpp_log_t> m_log;
  xmpp_ctx_t* m_ctx = nullptr;
  xmpp_conn_t* m_conn = nullptr;

  Phase m_phase = Phase::kConnecting;
  bool m_reachedServer = false;
  int m_closeError = 0;
  std::string m_libraryError;
  std::string m_certificateError;
  bool m_secured = false;
  std::string m_probeId;

  // Stream management counts every stanza after login on both sides; the
  // server's acknowledgement gives its count.
  bool m_streamManaged = false;
  uint32_t m_sentStanzas = 0;
  uint32_t m_acknowledged = 0;

  std::string m_pendingId;
  std::string m_pendingPingId;
  bool m_pingAnswered = false;
  std::string m_rejection;
};

#endif  // NORV_CORE_IM_INTERNAL_XMPPSESSION_H_
