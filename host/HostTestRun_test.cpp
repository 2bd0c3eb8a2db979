// Runs the real norvremind program for the host's tests.
#include "host/HostTestRun.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <thread>

#include "NorvScratchDatabase.h"
#include "core/db/CSession.h"

extern char** environ;

namespace hosttest {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Polls `done` until it holds or `timeout` passes; whether it held.
template <typename Done>
bool WaitUntil(std::chrono::seconds timeout, Done done) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(10)))
    if (std::chrono::steady_clock::now() >= deadline) return false;
  return true;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

}  // namespace

HostEnvironment::HostEnvironment(const std::string& home)
    : m_home(home), m_database(DatabaseConnection()) {
  for (char** variable = environ; *variable != nullptr; ++variable)
    if (std::string(*variable).rfind("NORVREMIND_", 0) != 0) m_variables.push_back(*variable);
  Set("HOME", home);
  Set("XDG_DATA_HOME", home + "/data");
  Set("USER", "tester");
  // Commands refuse a database that does not exist, as a user's would.
  EXPECT_EQ(Run({"init"}).exitCode, 0);
}

void HostEnvironment::Set(const std::string& name, const std::string& value) {
  std::erase_if(m_variables, [&](const std::string& set) { return set.rfind(name + "=", 0) == 0; });
  m_variables.push_back(name + "=" + value);
  if (name == "NORVREMIND_DB") m_database = value;
}

RunResult HostEnvironment::Run(const std::vector<std::string>& args,
                               const std::string& input) const {
  BackgroundHost program(*this, args, input);
  const int exitCode = program.WaitForExit(std::chrono::seconds(60));
  return RunResult{exitCode, program.Output(), program.Errors()};
}

std::string HostEnvironment::Add(const std::string& definition) const {
  // Setting up, not checking: a time just past is what some cases want.
  const RunResult added = Run({"add", "--force"}, definition);
  EXPECT_EQ(added.exitCode, 0) << added.err;
  return added.out.substr(0, added.out.find('\n'));
}

std::vector<std::string> HostEnvironment::Query(const std::string& query, int columns) const {
  CSession session;
  EXPECT_TRUE(session.Open(CString::FromUtf8(m_database)));
  std::vector<std::string> rows;
  for (const auto& values : norvtest::QueryRows(session, CString::FromUtf8(query), columns)) {
    std::string row;
    for (const CString& value : values) row += (row.empty() ? "" : "|") + value.ToUtf8();
    rows.push_back(row);
  }
  return rows;
}

BackgroundHost::BackgroundHost(const HostEnvironment& environment,
                               const std::vector<std::string>& args, const std::string& input) {
  static std::atomic<int> started{0};
  m_files = environment.home() + "/run-" + std::to_string(++started);
  WriteFile(m_files + ".in", input);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string in = m_files + ".in", out = m_files + ".out", err = m_files + ".err";
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT, 0600);
  std::vector<std::string> argv = {NORV_HOST_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> envp = environment.variables();
  const int failed = posix_spawn(&m_pid, NORV_HOST_BINARY, &actions, nullptr, Pointers(argv).data(),
                                 Pointers(envp).data());
  posix_spawn_file_actions_destroy(&actions);
  EXPECT_EQ(failed, 0) << "cannot start norvremind: " << std::strerror(failed);
}

BackgroundHost::~BackgroundHost() {
  if (WaitForExit(std::chrono::seconds(0)) == -1) {
    kill(m_pid, SIGKILL);
    WaitForExit(std::chrono::seconds(30));
  }
}

bool BackgroundHost::WaitForOutput(const std::string& fragment, std::chrono::seconds timeout,
                                   size_t times) {
  return WaitUntil(timeout, [&] { return CountOf(Output(), fragment) >= times; });
}

void BackgroundHost::Signal(int signal) { kill(m_pid, signal); }

int BackgroundHost::WaitForExit(std::chrono::seconds timeout) {
  WaitUntil(timeout, [this] {
    int status = 0;
    if (m_exitCode == -1 && waitpid(m_pid, &status, WNOHANG) == m_pid)
      m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m_exitCode != -1;
  });
  return m_exitCode;
}

std::string BackgroundHost::Output() const { return ReadFile(m_files + ".out"); }
std::string BackgroundHost::Errors() const { return ReadFile(m_files + ".err"); }

std::string RunUntilIdle(const HostEnvironment& environment,
                         const std::vector<std::string>& extra) {
  std::vector<std::string> args = {"run", "--until-idle", "--poll", "1"};
  args.insert(args.end(), extra.begin(), extra.end());
  BackgroundHost daemon(environment, args);
  EXPECT_EQ(daemon.WaitForExit(std::chrono::seconds(90)), 0) << daemon.Output() << daemon.Errors();
  return daemon.Output();
}

size_t CountOf(const std::string& text, const std::string& fragment) {
  size_t count = 0;
  for (size_t at = text.find(fragment); at != std::string::npos;
       at = text.find(fragment, at + fragment.size()))
    ++count;
  return count;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> FileLines(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

std::multiset<std::string> Delivered(const std::string& outbox) {
  std::multiset<std::string> delivered;
  for (const std::string& line : FileLines(outbox)) {
    EXPECT_EQ(line.back(), '}') << "torn line: " << line.substr(0, 80);
    delivered.insert(JsonField(line, "Receiver") + " " + JsonField(line, "Body"));
  }
  return delivered;
}

std::string LocalTime(int seconds, const char* format) {
  const std::time_t moment = std::time(nullptr) + seconds;
  std::tm fields{};
  localtime_r(&moment, &fields);
  char text[64];
  std::strftime(text, sizeof text, format, &fields);
  return text;
}

std::string JsonField(const std::string& line, const std::string& name) {
  const std::string key = "\"" + name + "\": \"";
  const size_t start = line.find(key);
  if (start == std::string::npos) return "";
  const size_t begin = start + key.size();
  return line.substr(begin, line.find('"', begin) - begin);
}

std::string OneOffDefinition(const std::string& time, const std::string& content,
                             const std::vector<std::string>& receivers) {
  std::string xml = "<Remind Type='0' RemindTime='" + time + "' SendFlag='1'><Content>" + content +
                    "</Content><ReceiverList>";
  for (const std::string& receiver : receivers) xml += "<Receiver ID='" + receiver + "' />";
  return xml + "</ReceiverList></Remind>";
}

}  // namespace hosttest
