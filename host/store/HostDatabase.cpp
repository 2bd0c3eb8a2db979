#include "host/store/HostDatabase.h"

#include <sys/stat.h>

#include <cerrno>

#include "core/db/CNorvDBFun.h"
#include "core/db/CNorvRecordSet.h"
#include "host/cli/HostOptions.h"
#include "host/cli/HostText.h"
#include "host/store/HostSchema.h"

namespace norvhost {

int HostDatabase::OpenSession(bool createFile) {
  if (m_settings.isSqlite && !CheckSqliteFile(createFile)) return kExitUnavailable;
  if (m_settings.isDefault && createFile) {
    if (std::string reason; !CreatePrivateFolder(m_settings.dataFolder, reason)) {
      PrintError("cannot create the data folder: " + reason);
      return kExitUnavailable;
    }
  }
  CString reason;
  if (!m_session.Open(Widen(m_settings.connection), &reason)) {
    PrintError("cannot open the database " + m_settings.display + ": " + Narrow(reason));
    return kExitUnavailable;
  }
  return kExitOk;
}

// A file another user can read gives the reminds away; the owner is told,
// since changing the mode of a file someone else set up is not ours to do.
bool HostDatabase::CheckSqliteFile(bool mayCreate) {
  const std::string& path = m_settings.sqlitePath;
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    if (errno != ENOENT || mayCreate) return true;
    // The default file needs no --db to name it, and a mistyped path must
    // not quietly become an empty database.
    PrintError("cannot open the database " + m_settings.display +
               ": the file does not exist; create it with: norvremind init" +
               (m_settings.isDefault ? "" : " --db " + path));
    return false;
  }
  if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    PrintError("warning: other users can read the database " + path +
               "; make it private with: chmod 600 " + path);
  }
  return true;
}

int HostDatabase::Open() {
  bool created = false;
  return OpenCreating(m_settings.isSqlite, false, created);
}

int HostDatabase::OpenForInit(bool& created) { return OpenCreating(true, true, created); }

int HostDatabase::OpenCreating(bool createTables, bool createFile, bool& created) {
  created = false;
  if (int code = OpenSession(createFile); code != kExitOk) return code;
  if (HasTables()) return kExitOk;
  if (!createTables) {
    PrintError("the database " + m_settings.display +
               " has no NorvRemindCore tables; create them with: norvremind init");
    return kExitUnavailable;
  }
  CString reason;
  if (!ApplySchema(&reason)) {
    PrintError("cannot create the tables in " + m_settings.display + ": " + Narrow(reason));
    return kExitFailure;
  }
  created = true;
  return kExitOk;
}

bool HostDatabase::HasTables() {
  // The host's tables came later than the library's; a database made
  // before them gets them on the next run (SQLite) or init (a server). The
  // firing table is the last one made.
  CNorvRecordSet library;
  CNorvRecordSet host;
  return library.Open(m_session, L"SELECT COUNT(*) FROM NORV_REMIND_DEF", nullptr) &&
         host.Open(m_session, L"SELECT COUNT(*) FROM NORV_HOST_FIRING", nullptr);
}

bool HostDatabase::ApplySchema(CString* errorText) {
  const char* schema = m_settings.isSqlite ? SqliteSchemaText() : PostgresSchemaText();
  // One statement text: both backends run every statement in it, and a
  // server applies it as a whole or not at all.
  return Run(Widen(schema), errorText);
}

bool HostDatabase::Run(const CString& statement, CString* errorText) {
  int changedRows = 0;
  return Run(statement, changedRows, errorText);
}

bool HostDatabase::Run(const CString& statement, int& changedRows, CString* errorText) {
  changedRows = CNorvDBFun::RunSQL(m_session, statement, errorText, __FILE__, __LINE__);
  return changedRows != -1;
}

bool HostDatabase::QueryColumn(const CString& query, std::vector<CString>& values,
                               CString* errorText) {
  values.clear();
  CNorvRecordSet rows;
  if (!rows.Open(m_session, query, errorText)) return false;
  while (rows.MoveNext() == 0) {
    CString value;
    rows.GetValue(1, value);
    values.push_back(value);
  }
  return true;
}

CString HostDatabase::TimeValue(const COleDateTime& time) const {
  CString value;
  const CString text = time.Format(L"%Y-%m-%d %H:%M:%S");
  if (m_settings.kind == 1) {
    value.Format(L"to_date( '%s', 'yyyy-mm-dd hh24:mi:ss' )", text);
  } else {
    value.Format(L"'%s'", text);
  }
  return value;
}

CString HostDatabase::TextValue(const CString& text) {
  return L"'" + CNorvDBFun::FormatSQLValue(text) + L"'";
}

Transaction::~Transaction() {
  if (m_open) m_database.Run(L"ROLLBACK", nullptr);
}

bool Transaction::Begin(CString* errorText) {
  m_open = m_database.Run(L"BEGIN", errorText);
  return m_open;
}

bool Transaction::Commit(CString* errorText) {
  if (!m_database.Run(L"COMMIT", errorText)) return false;
  m_open = false;
  return true;
}

}  // namespace norvhost
