#include "core/im/internal/FileTransport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "core/base/CNorvCommFun.h"
#include "core/base/COleDateTime.h"
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
  AppendMember(members, CNorvCommFun::GenJsonNodeStr(
                            L"Time", COleDateTime::GetCurrentTime().Format(L"%Y-%m-%d %H:%M:%S")));
  AppendMember(members, CNorvCommFun::GenJsonNodeStr(L"Receiver", receiver));
  AppendMember(members, CNorvCommFun::GenJsonNodeStr(L"MsgType", type));
  AppendMember(members, CNorvCommFun::GenJsonNodeStr(L"Body", msg.GetBody()));
  AppendMember(members, CNorvCommFun::GenJsonNodeStr(L"ContentType", msg.GetContentType()));
  AppendMember(members, CNorvCommFun::GenJsonNodeStr(L"MsgExtType", msg.GetMsgExtType()));
  AppendMember(members, L"\"Attribs\": " + AttribsJson(msg));
  return JsonObject(members) + L"\n";
}

// One write() per line: with O_APPEND the kernel keeps lines of other
// processes appending to the same file from cutting into each other.
bool AppendLine(const std::string& path, const std::string& line, std::string& failure) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    failure = std::generic_category().message(errno);
    return false;
  }
  size_t done = 0;
  while (done < line.size()) {
    ssize_t written = ::write(fd, line.data() + done, line.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      failure = std::generic_category().message(errno);
      ::close(fd);
      return false;
    }
    done += static_cast<size_t>(written);
  }
  if (::close(fd) != 0) {
    failure = std::generic_category().message(errno);
    return false;
  }
  return true;
}

}  // namespace

bool FileTransport::Accepts(const CString& server) {
  return server.Left(kPrefixLength).CompareNoCase(kPrefix) == 0;
}

void FileTransport::Init(const CString& server, int, const CString&, const CString&, int) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_path = server.Mid(kPrefixLength).ToUtf8();
}

int FileTransport::Send(const CMsg& msg, const CString& receiver, int& errorCode,
                        CString& errorText) {
  const std::string line = MessageLine(msg, receiver).ToUtf8();
  std::lock_guard<std::mutex> hold(m_mutex);
  std::string failure;
  if (m_path.empty()) {
    failure = "the server address names no file after \"file:\"";
  } else if (AppendLine(m_path, line, failure)) {
    return 1;
  } else {
    failure = m_path + ": " + failure;
  }
  errorCode = kNorvIMFileNotWritable;
  errorText = CString::FromUtf8(failure);
  return 0;
}
