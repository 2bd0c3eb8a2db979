#ifndef NORV_CORE_DB_CNORVDBFUN_H_
#define NORV_CORE_DB_CNORVDBFUN_H_

#include "core/base/CString.h"
#include "core/base/NorvExport.h"
#include "core/db/CSession.h"

// Statement helpers. RunSQL may run on several threads at once with one
// session, as CSession allows.
class NORV_EXPORT CNorvDBFun {
 public:
  // The source location every statement of the library reports to RunSQL.
  static constexpr const char* kSourceFile = "CNorvDBFun.h";
  static constexpr int kSourceLine = 33;

  // Runs one statement. -1 on failure with the database's reason in
  // *errorText; otherwise the number of rows changed.
  static int RunSQL(CSession& session, const CString& statement, CString* errorText,
                    const char* sourceFile, int sourceLine);
  // The text in a form that may stand between single quotes.
  static CString FormatSQLValue(const CString& text);
};

#endif  // NORV_CORE_DB_CNORVDBFUN_H_
