#ifndef NORV_CORE_IM_INTERNAL_XMPPTRANSPORT_H_
#define NORV_CORE_IM_INTERNAL_XMPPTRANSPORT_H_

#include <chrono>
#include <memory>
#include <mutex>

#include "core/im/CNorvIMTransport.h"
#include "core/im/internal/XmppSession.h"

// CIM's transport to an XMPP server: one chat stanza per message, sent over
// a connection opened at the first send and kept for the next ones. A
// connection found closed is opened again before sending. Each wait for the
// server is bounded by the timeout in kNorvIMTimeoutVariable.
class XmppTransport final : public CNorvIMTransport {
 public:
  XmppTransport();
  ~XmppTransport() override;

  // `server` is the host name (also the domain of a bare account name),
  // optionally followed by options: "host?ca=/etc/ca.pem" verifies the
  // server's certificate against that file instead of the system's trust
  // store; "host?tls=off" logs in without TLS, which only a loopback host
  // is allowed unless "&allow-plain-remote=1" follows. TLS with a verified
  // certificate is required otherwise. A port outside 1-65535 means the
  // standard 5222.
  void Init(const CString& server, int port, const CString& user, const CString& password,
            int mode) override;
  int Send(const CMsg& msg, const CString& receiver, int& errorCode, CString& errorText) override;

 private:
  int Deliver(const CMsg& msg, const CString& receiver, std::string& detail);
  int EnsureSession(std::string& detail);

  // Sends run one at a time: libstrophe is not to be entered from two
  // threads, and the server's acknowledgements count the stanzas in order.
  std::mutex m_mutex;
  bool m_initialised = false;
  // Why the server text cannot be used; empty when it can.
  std::string m_setupError;
  XmppAccount m_account;
  // For the login and for each confirmation; set at Init.
  std::chrono::milliseconds m_timeout{0};
  std::unique_ptr<XmppSession> m_session;
};

#endif  // NORV_CORE_IM_INTERNAL_XMPPTRANSPORT_H_
