#include "core/base/CNorvCommFun.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cwchar>
#include <mutex>
#include <string>

#include "core/base/XmlTextGuard.h"
#include "core/base/internal/JsonEscape.h"

namespace {

// Writes the whole buffer, resuming after interrupted or partial writes.
void WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t written = ::write(fd, data.data() + done, data.size() - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    done += static_cast<size_t>(written);
  }
}

// The entity that stands for a character markup would otherwise read as its
// own, or null.
const wchar_t* XmlEntityOf(wchar_t ch) {
  static constexpr struct {
    wchar_t ch;
    const wchar_t* entity;
  } kEntities[] = {
      {L'&', L"&amp;"}, {L'<', L"&lt;"}, {L'>', L"&gt;"}, {L'\'', L"&apos;"}, {L'"', L"&quot;"}};
  if (ch > L'>') return nullptr;  // most characters, without the walk
  for (const auto& entry : kEntities) {
    if (entry.ch == ch) return entry.entity;
  }
  return nullptr;
}

}  // namespace

bool CNorvCommFun::ParseXML(const CString& text, CNorvXmlDocument& document) {
  if (!norvxml::IsStorableXmlText(text.str())) {
    document.Load(CString());  // empty, as after any refused text
    return false;
  }
  return document.Load(text);
}

CString CNorvCommFun::GenXMLNodeStr(const wchar_t* name, const CString& value) {
  CString node;
  if (value.IsEmpty()) {
    node.Format(L"<%s />", name);
  } else {
    node.Format(L"<%s>%s</%s>", name, EscapeXML(value), name);
  }
  return node;
}

CString CNorvCommFun::GenJsonNodeStr(const wchar_t* name, const CString& value) {
  CString member;
  member.Format(L"\"%s\": \"%s\"", name, EscapeJson(value));
  return member;
}

CString CNorvCommFun::EscapeXML(const CString& value) {
  std::wstring out;
  out.reserve(value.str().size());
  for (wchar_t ch : value.str()) {
    if (const wchar_t* entity = XmlEntityOf(ch)) {
      out += entity;
    } else {
      out += ch;
    }
  }
  return CString(std::move(out));
}

CString CNorvCommFun::EscapeJson(const CString& value) {
  std::wstring out;
  out.reserve(value.str().size());
  for (wchar_t ch : value.str()) {
    if (!norvjson::AppendEscape(out, static_cast<char32_t>(ch))) out += ch;
  }
  return CString(std::move(out));
}

void CNorvCommFun::WriteLogFile(const CString& path, const CString& text) {
  // O_APPEND keeps writers of other processes from overwriting each other;
  // the lock keeps this process's entries whole. The entries name receivers
  // and contents, so the file is the owner's alone.
  static std::mutex writeLock;
  const std::string data = text.ToUtf8();
  std::lock_guard<std::mutex> hold(writeLock);
  int fd = ::open(path.ToUtf8().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  WriteAll(fd, data);
  ::close(fd);
}

CString CNorvCommFun::GetCurAppPath() {
  char buffer[PATH_MAX];
  ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof(buffer));
  if (length <= 0) return CString();
  std::string path(buffer, static_cast<size_t>(length));
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return CString();
  return CString::FromUtf8(path.substr(0, slash));
}
