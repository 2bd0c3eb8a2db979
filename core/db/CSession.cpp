#include "core/db/CSession.h"

#include "core/db/internal/NorvDBBackend.h"
#include "core/db/internal/PostgresBackend.h"
#include "core/db/internal/SqliteBackend.h"

namespace {

bool StartsWith(const CString& text, const wchar_t* prefix) {
  return text.str().starts_with(prefix);
}

void SetError(CString* errorText, const CString& reason) {
  if (errorText != nullptr) *errorText = reason;
}

}  // namespace

CSession::CSession() = default;
CSession::~CSession() = default;

bool CSession::Open(const CString& connection, CString* errorText) {
  Close();
  if (StartsWith(connection, L"sqlite:")) {
    const CString path = connection.Mid(7);
    if (path.IsEmpty()) {
      SetError(errorText, L"The SQLite connection text names no database file");
      return false;
    }
    m_backend = SqliteBackend::Open(path.ToUtf8(), errorText);
    return m_backend != nullptr;
  }
  if (StartsWith(connection, L"postgresql:")) {
    m_backend = PostgresBackend::Open(connection, errorText);
    return m_backend != nullptr;
  }
  // Only the scheme is repeated: a password may sit anywhere in the rest.
  const int colon = connection.Find(L':');
  CString reason;
  reason.Format(
      L"Unknown database connection scheme '%s': expected sqlite:<path>, "
      L"sqlite::memory: or postgresql:...",
      colon < 0 ? CString() : connection.Left(colon));
  SetError(errorText, reason);
  return false;
}

void CSession::Close() { m_backend.reset(); }

bool CSession::IsOpen() const { return m_backend != nullptr; }

void CSession::SetStatementLog(std::function<void(const CString&)> log) { m_log = std::move(log); }

void CSession::LogStatement(const CString& statement) const {
  if (m_log) m_log(statement);
}
