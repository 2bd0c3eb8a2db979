#include "core/im/CIM.h"

#include <utility>

#include "core/im/internal/FileTransport.h"
#include "core/im/internal/XmppTransport.h"

struct CIM::InitArgs {
  CString server;
  int port;
  CString user;
  CString password;
  int mode;
};

namespace {

std::shared_ptr<CNorvIMTransport> TransportFor(const CString& server) {
  if (FileTransport::Accepts(server)) return std::make_shared<FileTransport>();
  return std::make_shared<XmppTransport>();
}

}  // namespace

CIM::CIM() = default;
CIM::~CIM() = default;

void CIM::Init(CString server, int port, CString user, CString password, int mode) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_initArgs.reset(new InitArgs{server, port, user, password, mode});
  if (!m_transportGiven) m_transport = TransportFor(server);
  m_transport->Init(server, port, user, password, mode);
}

void CIM::SetTransport(std::shared_ptr<CNorvIMTransport> transport) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_transportGiven = transport != nullptr;
  if (m_transportGiven) {
    m_transport = std::move(transport);
  } else {
    m_transport = m_initArgs ? TransportFor(m_initArgs->server) : nullptr;
  }
  if (m_transport && m_initArgs) {
    const InitArgs& args = *m_initArgs;
    m_transport->Init(args.server, args.port, args.user, args.password, args.mode);
  }
}

int CIM::SendMsgEx(const CMsg* msg, CString receiver) {
  // A copy keeps the transport alive through the send even if Init or
  // SetTransport replaces it meanwhile.
  std::shared_ptr<CNorvIMTransport> transport = CurrentTransport();
  if (!transport) {
    RecordFailure(kNorvIMNotInitialised, CString());
    return 0;
  }
  if (msg == nullptr || receiver.IsEmpty()) {
    RecordFailure(kNorvIMBadMessage, msg == nullptr ? L"no message given" : L"no receiver given");
    return 0;
  }
  int code = kNorvIMOk;
  CString detail;
  if (transport->Send(*msg, receiver, code, detail) != 0) return 1;
  RecordFailure(code, detail);
  return 0;
}

int CIM::GetLastErr() const {
  std::lock_guard<std::mutex> hold(m_mutex);
  return m_lastError;
}

std::shared_ptr<CNorvIMTransport> CIM::CurrentTransport() const {
  std::lock_guard<std::mutex> hold(m_mutex);
  return m_transport;
}

void CIM::RecordFailure(int code, const CString& detail) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_lastError = code;
  m_lastErrorDetail = detail;
}
