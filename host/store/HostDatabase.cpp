#include "host/store/HostDatabase.h"

#include <sys/stat.h>

#include <cerrno>

#include "core/db/CNorvDBFun.h"
#include "core/db/CNorvRecordSet.h"
#include "host/cli/HostText.h"
#include "host/store/HostSchema.h"

namespace norvhost {

OpenResult HostDatabase::OpenSession(bool createFile, CString& reason) {
  m_notices.clear();
  if (m_settings.isSqlite && !CheckSqliteFile(createFile, reason)) return OpenResult::kUnavailable;
  if (m_settings.isDefault && createFile) {
    if (std::string failure; !CreatePrivateFolder(m_settings.dataFolder, failure)) {
      reason = Widen("cannot create the data folder: " + failure);
      return OpenResult::kUnavailable;
    }
  }
  CString failure;
  if (!m_session.Open(Widen(m_settings.connection), &failure)) {
    reason = Widen("cannot open the database " + m_settings.display + ": ") + failure;
    return OpenResult::kUnavailable;
  }
  return OpenResult::kOpened;
}

// A file another user can read gives the reminds away; the owner is told,
// since changing the mode of a file someone else set up is not ours to do.
bool HostDatabase::CheckSqliteFile(bool mayCreate, CString& reason) {
  const std::string& path = m_settings.sqlitePath;
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    if (errno != ENOENT || mayCreate) return true;
    // The default file needs no --db to name it, and a mistyped path must
    // not quietly become an empty database.
    reason = Widen("cannot open the database " + m_settings.display +
                   ": the file does not exist; create it with: norvremind init" +
                   (m_settings.isDefault ? "" : " --db " + path));
    return false;
  }
  if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    m_notices.push_back("warning: other users can read the database " + path +
                        "; make it private with: chmod 600 " + path);
  }
  return true;
}

OpenResult HostDatabase::Open(CString& reason) {
  if (OpenResult result = OpenSession(false, reason); result != OpenResult::kOpened) return result;
  const char* schema = m_settings.isSqlite ? SqliteSchemaText() : PostgresSchemaText();
  if (!HasTable(L"NORV_REMIND_DEF")) {
    if (m_settings.isSqlite) return CreateTables(schema, reason);
    reason = Widen("the database " + m_settings.display +
                   " has no NorvRemindCore tables; create them with: norvremind init");
    return OpenResult::kUnavailable;
  }
  // The firing table is the host's last one made.
  if (HasTable(L"NORV_HOST_FIRING")) return OpenResult::kOpened;
  const OpenResult result = CreateTables(HostTablesText(schema), reason);
  if (result == OpenResult::kOpened) {
    m_notices.push_back("added the host's own tables to " + m_settings.display);
  }
  return result;
}

OpenResult HostDatabase::OpenForInit(bool& created, CString& reason) {
  created = false;
  if (OpenResult result = OpenSession(true, reason); result != OpenResult::kOpened) return result;
  if (HasTable(L"NORV_REMIND_DEF") && HasTable(L"NORV_HOST_FIRING")) return OpenResult::kOpened;
  const OpenResult result =
      CreateTables(m_settings.isSqlite ? SqliteSchemaText() : PostgresSchemaText(), reason);
  created = result == OpenResult::kOpened;
  return result;
}

bool HostDatabase::HasTable(const wchar_t* table) {
  CNorvRecordSet rows;
  return rows.Open(m_session, CString(L"SELECT COUNT(*) FROM ") + table, nullptr);
}

OpenResult HostDatabase::CreateTables(const char* schema, CString& reason) {
  // One statement text: both backends run every statement in it, and a
  // server applies it as a whole or not at all.
  CString failure;
  if (Run(Widen(schema), &failure)) return OpenResult::kOpened;
  reason = Widen("cannot create the tables in " + m_settings.display + ": ") + failure;
  return OpenResult::kFailed;
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
