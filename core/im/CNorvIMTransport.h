#ifndef NORV_CORE_IM_CNORVIMTRANSPORT_H_
#define NORV_CORE_IM_CNORVIMTRANSPORT_H_

#include "core/base/CString.h"
#include "core/base/NorvExport.h"
#include "core/im/CMsg.h"

// What carries CIM's messages. CIM picks a built-in one from the server
// address; a host or a test may hand it another with CIM::SetTransport.
// Send may be called from several threads at once.
class NORV_EXPORT CNorvIMTransport {
 public:
  virtual ~CNorvIMTransport() = default;

  // Receives CIM::Init's arguments as given. `mode` is the host's fifth
  // argument (the manager passes 1); the built-in transports ignore it.
  virtual void Init(const CString& /*server*/, int /*port*/, const CString& /*user*/,
                    const CString& /*password*/, int /*mode*/) {}

  // Non-zero once the message is delivered; otherwise 0 with a code and a
  // readable reason.
  virtual int Send(const CMsg& msg, const CString& receiver, int& errorCode,
                   CString& errorText) = 0;
};

#endif  // NORV_CORE_IM_CNORVIMTRANSPORT_H_
