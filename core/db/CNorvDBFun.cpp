#include "core/db/CNorvDBFun.h"

#include "core/db/internal/NorvDBBackend.h"

int CNorvDBFun::RunSQL(CSession& session, const CString& statement, CString* errorText,
                       const char* /*sourceFile*/, int /*sourceLine*/) {
  session.LogStatement(statement);
  CNorvDBBackend* backend = session.Backend();
  if (backend == nullptr) {
    if (errorText != nullptr) *errorText = L"The database session is not open";
    return -1;
  }
  return backend->Execute(statement, errorText);
}

// Standard SQL: a quote is doubled, a backslash is an ordinary character.
CString CNorvDBFun::FormatSQLValue(const CString& text) {
  CString quoted(text);
  quoted.Replace(L"'", L"''");
  return quoted;
}
