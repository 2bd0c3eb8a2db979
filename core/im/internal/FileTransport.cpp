#include "core/im/internal/FileTransport.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string_view>
#include <system_error>

#include "core/base/internal/JsonEscape.h"
#include "core/base/internal/NorvClock.h"
#include "core/base/internal/Utf8.h"
#include "core/im/NorvIMError.h"

namespace {

constexpr wchar_t kPrefix[] = L"file:";
constexpr int kPrefixLength = 5;

// Escapes and encodes in one pass: the wide text is never copied.
void AppendJsonText(std::string& line, const std::wstring& text) {
  for (wchar_t ch : text) {
    const auto code = static_cast<char32_t>(ch);
    if (norvjson::AppendEscape(line, code)) continue;
    if (code < 0x80) {
      line += static_cast<char>(code);
    } else {
      norvutf8::Append(line, code);
    }
  }
}

void AppendName(std::string& line, std::string_view name) {
  line += '"';
  line += name;
  line += "\": ";
}

void AppendMember(std::string& line, std::string_view name, const std::wstring& value) {
  AppendName(line, name);
  line += '"';
  AppendJsonText(line, value);
  line += "\", ";
}

void AppendAttribs(std::string& line, const CMsg& msg) {
  AppendName(line, "Attribs");
  line += '{';
  const char* separator = " ";
  for (const auto& [name, value] : msg.GetAttribList()) {
    line += separator;
    line += '"';
    AppendJsonText(line, name.str());
    line += "\": \"";
    AppendJsonText(line, value.str());
    line += '"';
    separator = ", ";
  }
  line += " }";
}

// One JSON object and a newline, members in the order readers expect.
void BuildLine(std::string& line, const CMsg& msg, const CString& receiver) {
  line.assign("{ ");
  AppendMember(line, "Time", norvclock::NowText().str());
  AppendMember(line, "Receiver", receiver.str());
  AppendName(line, "MsgType");
  line += '"';
  line += std::to_string(msg.GetMsgType());
  line += "\", ";
  AppendMember(line, "Body", msg.GetBody().str());
  AppendMember(line, "ContentType", msg.GetContentType().str());
  AppendMember(line, "MsgExtType", msg.GetMsgExtType().str());
  AppendAttribs(line, msg);
  line += " }\n";
}

constexpr mode_t kOwnerOnly = 0600;

std::string LastError() { return std::generic_category().message(errno); }

// Bumped by the signal a watch raises, and on fork in the child.
std::atomic<unsigned long> g_moveNotices{0};
std::atomic<unsigned long> g_forks{0};
static_assert(std::atomic<unsigned long>::is_always_lock_free, "used in a signal handler");

thread_local pid_t t_thread = 0;

pid_t ThisThread() {
  if (t_thread == 0) t_thread = ::gettid();
  return t_thread;
}

// High among the real-time signals: threads packages and hosts take the low
// ones first.
int MoveSignal() { return SIGRTMAX - 3; }

void CountMoveNotice(int) { g_moveNotices.fetch_add(1); }

void AfterFork() {
  t_thread = 0;
  g_forks.fetch_add(1);
  g_moveNotices.fetch_add(1);
}

// True once the handler is set; false where the host has a handler of its
// own for the signal, which is then left alone.
bool MoveSignalReady() {
  static const bool ready = [] {
    struct sigaction current {};
    if (::sigaction(MoveSignal(), nullptr, &current) != 0 || current.sa_handler != SIG_DFL) {
      return false;
    }
    struct sigaction action {};
    action.sa_handler = CountMoveNotice;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    return ::pthread_atfork(nullptr, nullptr, AfterFork) == 0 &&
           ::sigaction(MoveSignal(), &action, nullptr) == 0;
  }();
  return ready;
}

bool BlockedHere(int signal) {
  sigset_t blocked;
  return ::pthread_sigmask(SIG_BLOCK, nullptr, &blocked) != 0 || sigismember(&blocked, signal) != 0;
}

}  // namespace

bool FileTransport::Accepts(const CString& server) {
  return server.Left(kPrefixLength).CompareNoCase(kPrefix) == 0;
}

FileTransport::~FileTransport() {
  if (m_generation != g_forks.load()) ForgetInherited();
  CloseFile();
  if (m_watcher >= 0) ::close(m_watcher);
}

void FileTransport::Init(const CString& server, int, const CString&, const CString&, int) {
  std::lock_guard<std::mutex> hold(m_mutex);
  CloseFile();
  m_path = server.Mid(kPrefixLength).ToUtf8();
}

void FileTransport::CloseFile() {
  if (m_watch >= 0) ::inotify_rm_watch(m_watcher, m_watch);
  m_watch = -1;
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

bool FileTransport::Unchanged() {
  if (m_watch < 0) return false;
  const auto now = std::chrono::steady_clock::now();
  if (m_noticed != 0 && m_noticed == ThisThread()) {
    const unsigned long notices = g_moveNotices.load();
    // Read now and then all the same: a thread that came to block the
    // signal would hold its notices back for good.
    if (notices == m_notices && now - m_lastRead < std::chrono::seconds(1)) return true;
    // Taken before the read, so that a move after it counts again.
    m_notices = notices;
  } else if (!TakeNotices()) {
    m_noticed = 0;
  }
  m_lastRead = now;
  alignas(inotify_event) char events[4096];
  // Reading drains what came; any event costs one lookup of the path.
  return ::read(m_watcher, events, sizeof events) < 0 && errno == EAGAIN;
}

bool FileTransport::TakeNotices() {
  // A thread that blocks the signal would leave the notices pending.
  if (!MoveSignalReady() || BlockedHere(MoveSignal())) return false;
  const f_owner_ex owner{F_OWNER_TID, ThisThread()};
  if (::fcntl(m_watcher, F_SETOWN_EX, &owner) != 0) return false;
  m_noticed = owner.pid;
  // Notices sent to the thread before are read from the watch below.
  m_notices = g_moveNotices.load();
  return true;
}

void FileTransport::Watch() {
  if (m_watcher < 0) {
    m_watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_generation = g_forks.load();
    m_noticed = 0;
    if (m_watcher >= 0 && MoveSignalReady() &&
        (::fcntl(m_watcher, F_SETSIG, MoveSignal()) != 0 ||
         ::fcntl(m_watcher, F_SETFL, O_NONBLOCK | O_ASYNC) != 0)) {
      // Without the signal, a notice would come as a SIGIO that ends the process.
      ::close(m_watcher);
      m_watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    }
  }
  if (m_watcher < 0) return;
  // Through the descriptor, so that the watch is on the very file written to.
  const std::string opened = "/proc/self/fd/" + std::to_string(m_fd);
  m_watch =
      ::inotify_add_watch(m_watcher, opened.c_str(), IN_MOVE_SELF | IN_DELETE_SELF | IN_ATTRIB);
}

void FileTransport::ForgetInherited() {
  // Removing the watch or the signal's owner would take them from the parent.
  if (m_fd >= 0) ::close(m_fd);
  if (m_watcher >= 0) ::close(m_watcher);
  m_fd = m_watcher = m_watch = -1;
  m_noticed = 0;
}

bool FileTransport::EnsureOpen(std::string& failure) {
  if (m_watcher >= 0 && m_generation != g_forks.load()) ForgetInherited();
  if (m_fd >= 0 && Unchanged()) return true;
  struct stat named {};
  if (m_fd >= 0 && ::stat(m_path.c_str(), &named) == 0 && named.st_dev == m_device &&
      named.st_ino == m_inode) {
    return true;
  }
  CloseFile();
  constexpr int kAppend = O_WRONLY | O_APPEND | O_CLOEXEC;
  m_fd = ::open(m_path.c_str(), kAppend | O_CREAT | O_EXCL, kOwnerOnly);
  // The umask may have taken bits off; the file is the owner's whatever it is.
  if (m_fd >= 0) {
    ::fchmod(m_fd, kOwnerOnly);
  } else if (errno == EEXIST) {
    m_fd = ::open(m_path.c_str(), kAppend);
  }
  struct stat opened {};
  if (m_fd >= 0 && ::fstat(m_fd, &opened) == 0) {
    m_device = opened.st_dev;
    m_inode = opened.st_ino;
    Watch();
  }
  if (m_fd < 0) failure = LastError();
  return m_fd >= 0;
}

bool FileTransport::AppendLine(const std::string& line, std::string& failure) {
  if (!EnsureOpen(failure)) return false;
  ssize_t written;
  do {
    written = ::write(m_fd, line.data(), line.size());
  } while (written < 0 && errno == EINTR);
  if (written == static_cast<ssize_t>(line.size())) return true;
  failure = written < 0 ? LastError() : "the disk took only part of the line";
  // A part of a line would read as a broken message: it is taken back.
  struct stat file {};
  if (written > 0 && ::fstat(m_fd, &file) == 0) {
    if (::ftruncate(m_fd, file.st_size - written) != 0) failure += "; part of a line was left";
  }
  return false;
}

int FileTransport::Send(const CMsg& msg, const CString& receiver, int& errorCode,
                        CString& errorText) {
  std::lock_guard<std::mutex> hold(m_mutex);
  std::string failure;
  if (m_path.empty()) {
    failure = "the server address names no file after \"file:\"";
  } else {
    BuildLine(m_line, msg, receiver);
    if (AppendLine(m_line, failure)) return 1;
    failure = m_path + ": " + failure;
  }
  errorCode = kNorvIMFileNotWritable;
  errorText = CString::FromUtf8(failure);
  return 0;
}
