#ifndef NORV_HOST_HOSTTESTRUN_H_
#define NORV_HOST_HOSTTESTRUN_H_

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace hosttest {

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// The program as a user runs it: a home and data folder of its own, no
// NORVREMIND_* variables unless a test adds them.
class HostEnvironment {
 public:
  explicit HostEnvironment(const std::string& home);

  void Set(const std::string& name, const std::string& value);
  // Runs norvremind to its end with `input` on standard input.
  RunResult Run(const std::vector<std::string>& args, const std::string& input = "") const;

  const std::string& home() const { return m_home; }
  std::string DataFolder() const { return m_home + "/data/norvremind"; }
  std::string DatabaseConnection() const { return "sqlite:" + DataFolder() + "/norvremind.db"; }
  std::string Outbox() const { return DataFolder() + "/outbox.jsonl"; }
  const std::vector<std::string>& variables() const { return m_variables; }

 private:
  std::string m_home;
  std::vector<std::string> m_variables;
};

// norvremind running in the background, its standard output and error
// collected as they come.
class BackgroundHost {
 public:
  BackgroundHost(const HostEnvironment& environment, const std::vector<std::string>& args);
  ~BackgroundHost();  // kills the program if it still runs
  BackgroundHost(const BackgroundHost&) = delete;
  BackgroundHost& operator=(const BackgroundHost&) = delete;

  // True once the output holds `fragment` `times` times.
  bool WaitForOutput(const std::string& fragment, std::chrono::seconds timeout, size_t times = 1);
  void Signal(int signal);
  // The exit code, or -1 when the program has not ended in time.
  int WaitForExit(std::chrono::seconds timeout);
  std::string Output();

 private:
  void Collect(int descriptor);

  pid_t m_pid = -1;
  bool m_ended = false;
  int m_exitCode = -1;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::string m_output;
  std::thread m_reader;
};

// Occurrences of `fragment` in `text`.
size_t CountOf(const std::string& text, const std::string& fragment);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
// The lines of a file, empty when it does not exist.
std::vector<std::string> FileLines(const std::string& path);

// The local time `seconds` from now, as "YYYY-MM-DD HH:MM:SS" or in another
// strftime format.
std::string LocalTime(int seconds, const char* format = "%Y-%m-%d %H:%M:%S");

// The text value of the member `name` in a line of JSON ("" when absent).
std::string JsonField(const std::string& line, const std::string& name);

// A one-off remind definition at `time` for the given receiver ids.
std::string OneOffDefinition(const std::string& time, const std::string& content,
                             const std::vector<std::string>& receivers);

}  // namespace hosttest

#endif  // NORV_HOST_HOSTTESTRUN_H_
