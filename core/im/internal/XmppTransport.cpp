#include "core/im/internal/XmppTransport.h"

#include <chrono>
#include <cstdlib>

#include "core/im/NorvIMError.h"

namespace {

constexpr std::chrono::seconds kDefaultTimeout(10);
constexpr unsigned short kDefaultPort = 5222;

// Text as XML may carry it: characters XML forbids (most control
// characters) would make the server drop the whole connection.
std::string XmlText(const CString& text) {
  std::wstring clean(text.str());
  for (wchar_t& ch : clean) {
    const auto code = static_cast<unsigned long>(ch);
    const bool allowed = code == 0x9 || code == 0xA || code == 0xD ||
                         (code >= 0x20 && code <= 0xD7FF) || (code >= 0xE000 && code <= 0xFFFD) ||
                         (code >= 0x10000 && code <= 0x10FFFF);
    if (!allowed) ch = L'\xFFFD';
  }
  return CString(std::move(clean)).ToUtf8();
}

std::chrono::milliseconds TimeoutFromEnvironment() {
  const char* text = std::getenv(kNorvIMTimeoutVariable);
  const long seconds = text == nullptr ? 0 : std::strtol(text, nullptr, 10);
  return seconds > 0 ? std::chrono::seconds(seconds) : kDefaultTimeout;
}

// A name without '@' lives on `domain`.
std::string Jid(const CString& name, const std::string& domain) {
  std::string jid = XmlText(name);
  if (jid.find('@') == std::string::npos) jid += "@" + domain;
  return jid;
}

std::string DomainOf(const std::string& jid) {
  const size_t at = jid.find('@');
  return jid.substr(at + 1, jid.find('/', at) - at - 1);
}

bool IsLoopback(const std::string& host) {
  return host == "localhost" || host.starts_with("127.") || host == "::1" || host == "[::1]";
}

// Fills the account's host and TLS settings from "host[?key=value&...]";
// the reason when the text cannot be used.
std::string ApplyServerText(const std::string& text, XmppAccount& account) {
  const size_t question = text.find('?');
  account.host = text.substr(0, question);
  bool allowPlainRemote = false;
  std::string rest = question == std::string::npos ? "" : text.substr(question + 1);
  while (!rest.empty()) {
    const size_t amp = rest.find('&');
    const std::string option = rest.substr(0, amp);
    rest = amp == std::string::npos ? "" : rest.substr(amp + 1);
    const size_t equals = option.find('=');
    const std::string key = option.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : option.substr(equals + 1);
    if (key == "tls" && (value == "off" || value == "on")) {
      account.requireTls = value == "on";
    } else if (key == "ca" && !value.empty()) {
      account.caFile = value;
    } else if (key == "allow-plain-remote" && value == "1") {
      allowPlainRemote = true;
    } else {
      return "unknown server option '" + key +
             "': expected tls=off, ca=PATH or "
             "allow-plain-remote=1";
    }
  }
  if (!account.requireTls && !allowPlainRemote && !IsLoopback(account.host)) {
    return "tls=off sends the password readable to " + account.host +
           "; add allow-plain-remote=1 to allow that";
  }
  return "";
}

XmppOutgoing Outgoing(const CMsg& msg, const std::string& to) {
  XmppOutgoing outgoing;
  outgoing.to = to;
  outgoing.body = XmlText(msg.GetBody());
  outgoing.msgType = std::to_string(msg.GetMsgType());
  outgoing.contentType = XmlText(msg.GetContentType());
  outgoing.extType = XmlText(msg.GetMsgExtType());
  for (const auto& [name, value] : msg.GetAttribList()) {
    outgoing.attribs.emplace_back(XmlText(name), XmlText(value));
  }
  return outgoing;
}

}  // namespace

XmppTransport::XmppTransport() = default;
XmppTransport::~XmppTransport() = default;

void XmppTransport::Init(const CString& server, int port, const CString& user,
                         const CString& password, int) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_session.reset();
  m_account = XmppAccount();
  m_setupError = ApplyServerText(XmlText(server), m_account);
  m_account.port = port > 0 && port <= 65535 ? static_cast<unsigned short>(port) : kDefaultPort;
  m_account.jid = user.IsEmpty() ? std::string() : Jid(user, m_account.host);
  m_account.password = password.ToUtf8();
  m_timeout = TimeoutFromEnvironment();
  m_initialised = true;
}

int XmppTransport::Send(const CMsg& msg, const CString& receiver, int& errorCode,
                        CString& errorText) {
  std::string detail;
  const int code = Deliver(msg, receiver, detail);
  if (code == kNorvIMOk) return 1;
  errorCode = code;
  errorText = CString::FromUtf8(detail);
  return 0;
}

int XmppTransport::Deliver(const CMsg& msg, const CString& receiver, std::string& detail) {
  std::lock_guard<std::mutex> hold(m_mutex);
  if (!m_initialised) return kNorvIMNotInitialised;
  if (!m_setupError.empty()) {
    detail = m_setupError;
    return kNorvIMCannotConnect;
  }
  if (m_account.host.empty()) {
    detail = "no server given";
    return kNorvIMCannotConnect;
  }
  if (m_account.jid.empty()) {
    detail = "no sending account given";
    return kNorvIMAuthFailed;
  }
  int code = EnsureSession(detail);
  if (code != kNorvIMOk) return code;
  code = m_session->Deliver(Outgoing(msg, Jid(receiver, DomainOf(m_account.jid))), detail);
  // A refused message leaves the connection as good as it was; after any
  // other failure its state is unknown, so the next send starts afresh.
  if (code != kNorvIMOk && code != kNorvIMRejected) m_session.reset();
  return code;
}

int XmppTransport::EnsureSession(std::string& detail) {
  if (m_session && m_session->IsOpen()) return kNorvIMOk;
  m_session.reset();
  int code = kNorvIMOk;
  m_session = XmppSession::Open(m_account, m_timeout, code, detail);
  return code;
}
