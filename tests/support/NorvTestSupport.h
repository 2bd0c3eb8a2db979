#ifndef NORV_TESTS_SUPPORT_NORVTESTSUPPORT_H_
#define NORV_TESTS_SUPPORT_NORVTESTSUPPORT_H_

#include <string>

namespace norvtest {

// A fresh folder for one test, removed when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return m_path; }
  std::string File(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

// The PostgreSQL connection text of the test cluster (NORV_TEST_PG), or ""
// when none is configured.
std::string PostgresConnection();

// Call at the start of a PostgreSQL case: skips it visibly when no cluster
// is configured, and fails it instead under CI=true.
#define NORV_REQUIRE_POSTGRES()                                                  \
  do {                                                                           \
    if (norvtest::PostgresConnection().empty()) {                                \
      if (norvtest::RunningUnderCI()) FAIL() << "NORV_TEST_PG is not set in CI"; \
      GTEST_SKIP() << "PostgreSQL not configured: set NORV_TEST_PG";             \
    }                                                                            \
  } while (0)

bool RunningUnderCI();

}  // namespace norvtest

#endif  // NORV_TESTS_SUPPORT_NORVTESTSUPPORT_H_
