#include "core/im/internal/FileTransport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "core/base/CNorvCommFun.h"
#include "core/base/internal/NorvClock.h"
#include "core/im/NorvIMError.h"

namespace {

constexpr wchar_t kPrefix[] = L"file:";
constexpr int kPrefixLength = 5;

CString JsonObject(const CString& members) {
  return members.IsEmpty() ? CString(L"{ }") : L"{ " + members + L" }";
}

void AppendMember(CString& members, const CString& member) {
  if (!members.IsEmpty()) members += L", ";
  members += member;
}

CString AttribsJson(const CMsg& msg) {
  CString members;
  for (const auto& [name, value] : msg.GetAttribList()) {
    CString member;
    member.Format(L"\"%s\": \"%s\"", CNorvCommFun::EscapeJson(name),
                  CNorvCommFun::EscapeJson(value));
    AppendMember(members, member);
  }
  return JsonObject(members);
}

CString MessageLine(const CMsg& msg, const CString& receiver) {
  CString type;
  type.Format(L"%d", msg.GetMsgType());
  CString members;
  AppendMember(members, CNorvCommFun::GenJsonNodeStr(L"Time", norvclock::NowText()));
  AppendMember(members, CNorvCommFun::GenJsonNodeStr(L"Receiver", receiver));
  AppendMember(members, CNorvCommFun::GenJsonNodeStr(L"MsgType", type));
  AppendMember(members, CNorvCommFun::GenJsonNodeStr(L"Body", msg.GetBody()));
  AppendMember(members, CNorvCommFun::GenJsonNodeStr(L"ContentType", msg.GetContentType()));
  AppendMember(members, CNorvCommFun::GenJsonNodeStr(L"MsgExtType", msg.GetMsgExtType()));
  AppendMember(members, L"\"Attribs\": " + AttribsJson(msg));
  return JsonObject(members) + L"\n";
}

constexpr mode_t kOwnerOnly = 0600;

std::string LastError() { return std::generic_category().message(errno); }

}  // namespace

bool FileTransport::Accepts(const CString& server) {
  return server.Left(kPrefixLength).CompareNoCase(kPrefix) == 0;
}

FileTransport::~FileTransport() { CloseFile(); }

void FileTransport::Init(const CString& server, int, const CString&, const CString&, int) {
  std::lock_guard<std::mutex> hold(m_mutex);
  CloseFile();
  m_path = server.Mid(kPrefixLength).ToUtf8();
}

void FileTransport::CloseFile() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

bool FileTransport::EnsureOpen(std::string& failure) {
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
  const std::string line = MessageLine(msg, receiver).ToUtf8();
  std::lock_guard<std::mutex> hold(m_mutex);
  std::string failure;
  if (m_path.empty()) {
    failure = "the server address names no file after \"file:\"";
  } else if (AppendLine(line, failure)) {
    return 1;
  } else {
    failure = m_path + ": " + failure;
  }
  errorCode = kNorvIMFileNotWritable;
  errorText = CString::FromUtf8(failure);
  return 0;
}
