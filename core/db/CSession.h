#ifndef NORV_CORE_DB_CSESSION_H_
#define NORV_CORE_DB_CSESSION_H_

#include <functional>
#include <memory>

#include "core/base/CString.h"
#include "core/base/NorvExport.h"

class CNorvDBBackend;

// An open database connection, owned by the host. Connection texts:
// "sqlite:<path>", "sqlite::memory:", "postgresql://..." or
// "postgresql:<libpq conninfo>". Statements arrive in the library's
// Oracle-style dialect and are translated for the backend.
//
// Threads: statements and queries may come from several threads at once;
// the backend runs them one at a time. Open, Close and SetStatementLog may
// not overlap any other use.
class NORV_EXPORT CSession {
 public:
  CSession();
  ~CSession();
  CSession(const CSession&) = delete;
  CSession& operator=(const CSession&) = delete;

  bool Open(const CString& connection, CString* errorText = nullptr);
  void Close();
  bool IsOpen() const;

  // Receives every statement and query as the library composed it, before
  // any translation.
  void SetStatementLog(std::function<void(const CString&)> log);

  // For CNorvDBFun and CNorvRecordSet.
  CNorvDBBackend* Backend() const { return m_backend.get(); }
  void LogStatement(const CString& statement) const;

 private:
  std::unique_ptr<CNorvDBBackend> m_backend;
  std::function<void(const CString&)> m_log;
};

namespace ATL {
using ::CSession;
}

#endif  // NORV_CORE_DB_CSESSION_H_
