#ifndef NORV_TESTS_SUPPORT_NORVTESTSUPPORT_H_
#define NORV_TESTS_SUPPORT_NORVTESTSUPPORT_H_

#include <cstddef>
#include <set>
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

// A socket bound to a free loopback port, listening when asked to, closed
// with the object. One that listens and never accepts is a server that
// never answers.
struct LoopbackSocket {
  explicit LoopbackSocket(bool listen);
  ~LoopbackSocket();
  LoopbackSocket(const LoopbackSocket&) = delete;
  LoopbackSocket& operator=(const LoopbackSocket&) = delete;

  int fd;
  int port;
};

// An environment variable, "" when unset.
std::string Env(const std::string& name);

// The PostgreSQL connection text of the test cluster (NORV_TEST_PG), or ""
// when none is configured.
std::string PostgresConnection();

// Call at the start of a case that needs a server: skips it visibly when
// none is configured, and fails it instead under CI=true.
#define NORV_REQUIRE_SERVER(configured, variable, hint)                       \
  do {                                                                        \
    if (!(configured)) {                                                      \
      if (norvtest::RunningUnderCI()) FAIL() << variable " is not set in CI"; \
      GTEST_SKIP() << hint;                                                   \
    }                                                                         \
  } while (0)
#define NORV_REQUIRE_POSTGRES()                                                \
  NORV_REQUIRE_SERVER(!norvtest::PostgresConnection().empty(), "NORV_TEST_PG", \
                      "PostgreSQL not configured: set NORV_TEST_PG")

bool RunningUnderCI();

// Prints how many of `expected` were delivered, lost and duplicated under
// the name of the fault, expecting none lost, at most `mayRepeat`
// duplicated and nothing else delivered.
void ExpectDelivered(const std::string& fault, const std::multiset<std::string>& expected,
                     const std::multiset<std::string>& delivered, size_t mayRepeat = 0);

}  // namespace norvtest

#endif  // NORV_TESTS_SUPPORT_NORVTESTSUPPORT_H_
