#ifndef NORV_HOST_STORE_HOSTDATABASE_H_
#define NORV_HOST_STORE_HOSTDATABASE_H_

#include <string>
#include <vector>

#include "core/base/COleDateTime.h"
#include "core/base/CString.h"
#include "core/db/CSession.h"
#include "host/cli/HostSettings.h"

namespace norvhost {

// How opening a database ended.
enum class OpenResult {
  kOpened,
  kUnavailable,  // it cannot be reached, or holds none of this system's tables
  kFailed,       // its tables cannot be created
};

// The host's database session: opened from the settings, with the tables
// created on first use of the embedded SQLite file.
class HostDatabase {
 public:
  explicit HostDatabase(DatabaseSettings settings) : m_settings(std::move(settings)) {}

  // Opens the session; `reason` says why unless kOpened. A SQLite file must
  // exist, made by `init`; a server database must have been set up with
  // `init`. The host's own tables came later than the library's: where only
  // they are missing, they are added, and notices() says so.
  OpenResult Open(CString& reason);
  // Opens the session and creates the tables unless they exist; `created`
  // tells which.
  OpenResult OpenForInit(bool& created, CString& reason);
  // What the last open did or found that the user should know, one line each.
  const std::vector<std::string>& notices() const { return m_notices; }

  CSession& session() { return m_session; }
  short kind() const { return m_settings.kind; }
  const DatabaseSettings& settings() const { return m_settings; }

  // Runs one statement; false with the database's reason.
  bool Run(const CString& statement, CString* errorText);
  // The same, telling how many rows the statement changed.
  bool Run(const CString& statement, int& changedRows, CString* errorText);
  // The first column of every row; false with the reason when the query fails.
  bool QueryColumn(const CString& query, std::vector<CString>& values, CString* errorText);

  // A time as the database kind writes it into a statement.
  CString TimeValue(const COleDateTime& time) const;
  // A text as a statement's literal, quotes and all, whatever it holds.
  static CString TextValue(const CString& text);

 private:
  OpenResult OpenSession(bool createFile, CString& reason);
  // False, saying why, when the SQLite file is missing and may not be
  // created; notes when other users may read it.
  bool CheckSqliteFile(bool mayCreate, CString& reason);
  bool HasTable(const wchar_t* table);
  OpenResult CreateTables(const char* schema, CString& reason);

  DatabaseSettings m_settings;
  CSession m_session;
  std::vector<std::string> m_notices;
};

// All or nothing for a group of statements: rolled back unless committed.
class Transaction {
 public:
  explicit Transaction(HostDatabase& database) : m_database(database) {}
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  bool Begin(CString* errorText);
  bool Commit(CString* errorText);

 private:
  HostDatabase& m_database;
  bool m_open = false;
};

}  // namespace norvhost

#endif  // NORV_HOST_STORE_HOSTDATABASE_H_
