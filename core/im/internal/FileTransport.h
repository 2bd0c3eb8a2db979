#ifndef NORV_CORE_IM_INTERNAL_FILETRANSPORT_H_
#define NORV_CORE_IM_INTERNAL_FILETRANSPORT_H_

#include <mutex>
#include <string>

#include "core/im/CNorvIMTransport.h"

// CIM's transport for a server address "file:<path>": appends one JSON line
// per message to the file, so a host without an IM server loses nothing and
// can feed the lines to whatever delivers them.
class FileTransport final : public CNorvIMTransport {
 public:
  static bool Accepts(const CString& server);

  void Init(const CString& server, int port, const CString& user, const CString& password,
            int mode) override;
  int Send(const CMsg& msg, const CString& receiver, int& errorCode,
           CString& errorText) override;

 private:
  std::mutex m_mutex;
  std::string m_path;
};

#endif  // NORV_CORE_IM_INTERNAL_FILETRANSPORT_H_
