#ifndef NORV_HOST_STORE_HOSTDATABASE_H_
#define NORV_HOST_STORE_HOSTDATABASE_H_

#include <string>
#include <vector>

#include "core/base/COleDateTime.h"
#include "core/base/CString.h"
#include "core/db/CSession.h"
#include "host/cli/HostSettings.h"

namespace norvhost {

// The host's database session: opened from the settings, with the tables
// created on first use of the embedded SQLite file.
class HostDatabase {
 public:
  explicit HostDatabase(DatabaseSettings settings) : m_settings(std::move(settings)) {}

  // Opens the session. A SQLite file must exist, made by `init`; the tables
  // are created when missing (a file from before the host's own table); a
  // server database must have been set up with `init`. Returns an exit code and prints the
  // reason when it is not kExitOk.
  int Open();
  // Opens the session and creates the tables unless they exist; `created`
  // tells which.
  int OpenForInit(bool& created);

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
  int OpenSession(bool createFile);
  // False, saying why, when the SQLite file is missing and may not be
  // created; warns when other users may read it.
  bool CheckSqliteFile(bool mayCreate);
  // Opens the session; missing tables are created when `createTables`, a
  // failure otherwise; a missing SQLite file only when `createFile`.
  int OpenCreating(bool createTables, bool createFile, bool& created);
  bool HasTables();
  bool ApplySchema(CString* errorText);

  DatabaseSettings m_settings;
  CSession m_session;
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
