#ifndef NORV_TESTS_SUPPORT_NORVBACKENDTEST_H_
#define NORV_TESTS_SUPPORT_NORVBACKENDTEST_H_

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "NorvScratchDatabase.h"
#include "core/base/COleDateTime.h"
#include "core/base/CString.h"
#include "core/db/CSession.h"

// Lets failures show texts rather than bytes.
inline void PrintTo(const CString& text, std::ostream* out) { *out << '"' << text.ToUtf8() << '"'; }

namespace norvtest {

// Named like sqlite_kind1.
struct BackendCase {
  Backend backend;
  short dbType;
  friend void PrintTo(const BackendCase& c, std::ostream* out) {
    *out << (c.backend == Backend::kSqlite ? "sqlite" : "postgresql") << "_kind" << c.dbType;
  }
};

// A case on a fresh database, run for each backend (an SQLite file and
// PostgreSQL) and each database kind (1: to_date forms, 0: quoted texts).
// Every statement the library composes is kept in `statements`.
class BackendTest : public testing::TestWithParam<BackendCase> {
 protected:
  void SetUp() override;

  short dbType() const { return GetParam().dbType; }

  // A time as the statements of this case's database kind write it.
  CString TimeSql(const CString& text) const;
  // The one statement run since the last call (fails the case otherwise).
  CString TakeStatement();
  // Whether `expected(now)` matches `statement` for some second between the
  // two moments, both included.
  bool MatchesAtSomeSecond(const CString& statement,
                           const std::function<CString(const CString& now)>& expected,
                           const COleDateTime& from, const COleDateTime& to) const;
  // Runs a statement of the test's own; the case fails when it does.
  void Exec(const CString& statement);
  std::vector<std::vector<CString>> Rows(const CString& query, int columns);
  // The database's own reason for a failing statement or query. Taken by
  // value: the text may live in `statements`, which running it changes.
  CString ReasonOf(CString statement);
  CString QueryReasonOf(CString query);

  CSession session;
  std::vector<CString> statements;

 private:
  std::unique_ptr<ScratchDatabase> m_database;
};

}  // namespace norvtest

#define NORV_INSTANTIATE_BACKEND_TEST(Suite)                                   \
  INSTANTIATE_TEST_SUITE_P(                                                    \
      Backends, Suite,                                                         \
      testing::Values(norvtest::BackendCase{norvtest::Backend::kSqlite, 1},    \
                      norvtest::BackendCase{norvtest::Backend::kSqlite, 0},    \
                      norvtest::BackendCase{norvtest::Backend::kPostgres, 1},  \
                      norvtest::BackendCase{norvtest::Backend::kPostgres, 0}), \
      testing::PrintToStringParamName())

#endif  // NORV_TESTS_SUPPORT_NORVBACKENDTEST_H_
