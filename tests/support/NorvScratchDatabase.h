#ifndef NORV_TESTS_SUPPORT_NORVSCRATCHDATABASE_H_
#define NORV_TESTS_SUPPORT_NORVSCRATCHDATABASE_H_

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "NorvTestSupport.h"
#include "core/base/CString.h"
#include "core/db/CSession.h"

namespace norvtest {

enum class Backend { kSqlite, kPostgres };

// "sqlite" or "postgresql": names the cases of a suite instantiated over
// the backends.
std::string BackendName(const testing::TestParamInfo<Backend>& info);

// Lets GoogleTest print a backend parameter by name.
void PrintTo(Backend backend, std::ostream* out);

// A fresh database holding the library's six tables and nothing else,
// removed with the object: a file in a temporary folder for SQLite, a
// database of its own on the NORV_TEST_PG cluster for PostgreSQL, so that
// test programs may run side by side. PostgreSQL cases call
// NORV_REQUIRE_POSTGRES() first.
class ScratchDatabase {
 public:
  explicit ScratchDatabase(Backend backend) : m_backend(backend) {}
  ~ScratchDatabase();

  // Opens `session` on the database, creating it and its tables on the
  // first call.
  testing::AssertionResult Open(CSession& session);

  // The connection text, once the database exists.
  const CString& connection() const { return m_connection; }

 private:
  testing::AssertionResult Create();

  Backend m_backend;
  std::unique_ptr<TempDir> m_dir;
  std::string m_postgresName;
  CString m_connection;
};

// Every row of a query, each as the texts of its first `columns` columns;
// a query that fails fails the case.
std::vector<std::vector<CString>> QueryRows(CSession& session, const CString& query, int columns);
// The first column of every row of a query.
std::vector<CString> QueryColumn(CSession& session, const CString& query);

}  // namespace norvtest

#endif  // NORV_TESTS_SUPPORT_NORVSCRATCHDATABASE_H_
