#include "core/im/internal/FileTransport.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace

bool FileTransport::Accepts(const CString& server) {
  return server.Left(kPrefixLength).CompareNoCase(kPrefix) == 0;
}

FileTransport::~FileTransport() {
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
  alignas(inotify_event) char events[4096];
  // Reading drains what came; any event costs one lookup of the path.
  return ::read(m_watcher, events, sizeof events) < 0 && errno == EAGAIN;
}

void FileTransport::Watch() {
  if (m_watcher < 0) m_watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (m_watcher < 0) return;
  // Through the descriptor, so that the watch is on the very file written to.
  const std::string opened = "/proc/self/fd/" + std::to_string(m_fd);
  m_watch =
      ::inotify_add_watch(m_watcher, opened.c_str(), IN_MOVE_SELF | IN_DELETE_SELF | IN_ATTRIB);
}

bool FileTransport::EnsureOpen(std::string& failure) {
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
