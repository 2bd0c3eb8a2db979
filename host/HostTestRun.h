#ifndef NORV_HOST_HOSTTESTRUN_H_
#define NORV_HOST_HOSTTESTRUN_H_

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "NorvTestSupport.h"

namespace hosttest {

struct RunResult {
  int exitCode = -1;
  std::string out, err;
};

// The program as a user runs it: a home and data folder of its own with an
// initialised database, no NORVREMIND_* variables unless a test sets them.
class HostEnvironment {
 public:
  explicit HostEnvironment(const std::string& home);

  void Set(const std::string& name, const std::string& value);
  // Runs norvremind to its end with `input` on standard input.
  RunResult Run(const std::vector<std::string>& args, const std::string& input = "") const;
  // Adds a definition unchecked (--force), expecting success; its id.
  std::string Add(const std::string& definition) const;
  // The rows of a query on the program's database, `columns` joined by '|'.
  std::vector<std::string> Query(const std::string& query, int columns = 1) const;

  const std::string& home() const { return m_home; }
  std::string DataFolder() const { return m_home + "/data/norvremind"; }
  std::string DatabaseConnection() const { return "sqlite:" + DataFolder() + "/norvremind.db"; }
  std::string Outbox() const { return DataFolder() + "/outbox.jsonl"; }
  const std::vector<std::string>& variables() const { return m_variables; }

 private:
  std::string m_home, m_database;
  std::vector<std::string> m_variables;
};

// norvremind running in the background, its output collected in files.
class BackgroundHost {
 public:
  BackgroundHost(const HostEnvironment& environment, const std::vector<std::string>& args,
                 const std::string& input = "");
  ~BackgroundHost();  // kills the program if it still runs
  BackgroundHost(const BackgroundHost&) = delete;
  BackgroundHost& operator=(const BackgroundHost&) = delete;

  // True once standard output holds `fragment` `times` times.
  bool WaitForOutput(const std::string& fragment, std::chrono::seconds timeout, size_t times = 1);
  void Signal(int signal);
  // The exit code, or -1 when the program has not ended in time.
  int WaitForExit(std::chrono::seconds timeout);
  std::string Output() const;
  std::string Errors() const;

 private:
  std::string m_files;
  pid_t m_pid = -1;
  int m_exitCode = -1;
};

// A case with a home of its own for the program.
class HostTest : public testing::Test {
 protected:
  norvtest::TempDir m_dir;
  HostEnvironment m_host{m_dir.path()};
};

using Rows = std::vector<std::string>;

// Runs the daemon until every planned message is sent, expecting exit 0.
std::string RunUntilIdle(const HostEnvironment& environment,
                         const std::vector<std::string>& extra = {});

size_t CountOf(const std::string& text, const std::string& fragment);
void WriteFile(const std::string& path, const std::string& text);
// The lines of a file, none when it does not exist.
std::vector<std::string> FileLines(const std::string& path);
// "receiver body" of every line of an outbox, each line checked to be whole.
std::multiset<std::string> Delivered(const std::string& outbox);
// The local time `seconds` from now, as "YYYY-MM-DD HH:MM:SS" by default.
std::string LocalTime(int seconds, const char* format = "%Y-%m-%d %H:%M:%S");
// The text value of the member `name` in a line of JSON ("" when absent).
std::string JsonField(const std::string& line, const std::string& name);
// A one-off remind definition at `time` for the given receiver ids.
std::string OneOffDefinition(const std::string& time, const std::string& content,
                             const std::vector<std::string>& receivers);

}  // namespace hosttest

#endif  // NORV_HOST_HOSTTESTRUN_H_
