// Runs the real norvremind program for the host's tests.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "host/HostTestRun.h"

extern char** environ;

namespace hosttest {

namespace {

struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    read = ends[0];
    write = ends[1];
  }
};

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

pid_t Spawn(const HostEnvironment& environment, const std::vector<std::string>& args, int input,
            int output, int error) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input, 0);
  posix_spawn_file_actions_adddup2(&actions, output, 1);
  posix_spawn_file_actions_adddup2(&actions, error, 2);
  std::vector<std::string> argv = {NORV_HOST_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> envp = environment.variables();
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, NORV_HOST_BINARY, &actions, nullptr, Pointers(argv).data(),
                                 Pointers(envp).data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error(std::string("cannot start norvremind: ") +
                                            std::strerror(failed));
  return pid;
}

int ExitCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

}  // namespace

HostEnvironment::HostEnvironment(const std::string& home) : m_home(home) {
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string text = *variable;
    if (text.rfind("NORVREMIND_", 0) == 0 || text.rfind("HOME=", 0) == 0 ||
        text.rfind("XDG_DATA_HOME=", 0) == 0 || text.rfind("USER=", 0) == 0) {
      continue;
    }
    m_variables.push_back(text);
  }
  m_variables.push_back("HOME=" + home);
  m_variables.push_back("XDG_DATA_HOME=" + home + "/data");
  m_variables.push_back("USER=tester");
}

void HostEnvironment::Set(const std::string& name, const std::string& value) {
  m_variables.push_back(name + "=" + value);
}

RunResult HostEnvironment::Run(const std::vector<std::string>& args,
                               const std::string& input) const {
  Pipe in;
  Pipe out;
  Pipe err;
  const pid_t pid = Spawn(*this, args, in.read, out.write, err.write);
  close(in.read);
  close(out.write);
  close(err.write);
  if (!input.empty()) {
    [[maybe_unused]] ssize_t written = write(in.write, input.data(), input.size());
  }
  close(in.write);
  RunResult result;
  pollfd streams[2] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}};
  std::string* targets[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0) {
    if (poll(streams, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (streams[i].fd < 0 || streams[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t count = read(streams[i].fd, buffer, sizeof buffer);
      if (count > 0) {
        targets[i]->append(buffer, static_cast<size_t>(count));
      } else {
        close(streams[i].fd);
        streams[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = ExitCode(status);
  return result;
}

BackgroundHost::BackgroundHost(const HostEnvironment& environment,
                               const std::vector<std::string>& args) {
  Pipe out;
  const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
  m_pid = Spawn(environment, args, input, out.write, out.write);
  close(input);
  close(out.write);
  m_reader = std::thread(&BackgroundHost::Collect, this, out.read);
}

BackgroundHost::~BackgroundHost() {
  if (WaitForExit(std::chrono::seconds(0)) == -1) {
    kill(m_pid, SIGKILL);
    WaitForExit(std::chrono::seconds(30));
  }
  if (m_reader.joinable()) m_reader.join();
}

void BackgroundHost::Collect(int descriptor) {
  char buffer[4096];
  ssize_t count;
  while ((count = read(descriptor, buffer, sizeof buffer)) > 0) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_output.append(buffer, static_cast<size_t>(count));
    m_changed.notify_all();
  }
  close(descriptor);
}

bool BackgroundHost::WaitForOutput(const std::string& fragment, std::chrono::seconds timeout,
                                   size_t times) {
  std::unique_lock<std::mutex> hold(m_mutex);
  return m_changed.wait_for(hold, timeout, [&] { return CountOf(m_output, fragment) >= times; });
}

void BackgroundHost::Signal(int signal) { kill(m_pid, signal); }

int BackgroundHost::WaitForExit(std::chrono::seconds timeout) {
  if (m_ended) return m_exitCode;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_ended = true;
      m_exitCode = ExitCode(status);
      return m_exitCode;
    }
    if (timeout.count() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < deadline);
  return -1;
}

std::string BackgroundHost::Output() {
  std::lock_guard<std::mutex> hold(m_mutex);
  return m_output;
}

size_t CountOf(const std::string& text, const std::string& fragment) {
  size_t count = 0;
  for (size_t at = text.find(fragment); at != std::string::npos;
       at = text.find(fragment, at + fragment.size())) {
    ++count;
  }
  return count;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
}

std::vector<std::string> FileLines(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
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
  std::string xml = "<Remind Type='0' RemindTime='" + time + "' SendFlag='1'><Content>" +
                    content + "</Content><ReceiverList>";
  for (const std::string& receiver : receivers) {
    xml += "<Receiver Type='0' ID='" + receiver + "' Name='" + receiver + "' />";
  }
  return xml + "</ReceiverList></Remind>";
}

}  // namespace hosttest
