#ifndef NORV_CORE_IM_CIM_H_
#define NORV_CORE_IM_CIM_H_

#include <memory>
#include <mutex>

#include "core/base/CString.h"
#include "core/base/NorvExport.h"
#include "core/im/CMsg.h"
#include "core/im/CNorvIMTransport.h"
#include "core/im/NorvIMError.h"

// The instant-messaging client. Init's server address picks the transport:
// "file:<path>" appends one JSON line per message to that file, anything
// else is the host name of an XMPP server. All members may be called from
// several threads.
class NORV_EXPORT CIM {
 public:
  CIM();
  ~CIM();
  CIM(const CIM&) = delete;
  CIM& operator=(const CIM&) = delete;

  // `user` is a full JID or a local part on the server's domain. Never
  // blocks on the network: an XMPP server is reached at the first send.
  void Init(CString server, int port, CString user, CString password, int mode);

  // Non-zero once the transport has delivered the message: for XMPP, once
  // the server has confirmed it took the stanza. 0 on failure, with the
  // reason kept for GetLastErr. `receiver` is a JID or a local part on the
  // account's domain.
  int SendMsgEx(const CMsg* msg, CString receiver);

  // The code of the last failed send (kNorvIMOk before any failure).
  int GetLastErr() const;

  // Fills `text` with the reason for `code`: Simplified Chinese for the
  // language "CHS", English otherwise; when `code` is the last failure's,
  // the transport's detail follows. False for a code of no known meaning.
  bool GetErrInfo(int code, CString language, CString& text) const;

  // Replaces the transport chosen by Init (null restores that choice). A
  // transport set after Init is initialised with the last Init's arguments.
  void SetTransport(std::shared_ptr<CNorvIMTransport> transport);

 private:
  struct InitArgs;

  std::shared_ptr<CNorvIMTransport> CurrentTransport() const;
  void RecordFailure(int code, const CString& detail);

  mutable std::mutex m_mutex;
  std::unique_ptr<InitArgs> m_initArgs;
  std::shared_ptr<CNorvIMTransport> m_transport;
  bool m_transportGiven = false;
  int m_lastError = kNorvIMOk;
  CString m_lastErrorDetail;
};

#endif  // NORV_CORE_IM_CIM_H_
