#include "host/cli/DefinitionInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "host/cli/HostOptions.h"

namespace norvhost {

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : m_fd(fd) {}
  ~FileDescriptor() {
    if (m_fd > STDIN_FILENO) ::close(m_fd);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return m_fd; }

 private:
  int m_fd;
};

// Opens without blocking, so that a FIFO is seen for what it is before
// anything waits on it.
int OpenForReading(const std::string& path, const DefinitionLimits& limits, std::string& error) {
  if (path == "-") return STDIN_FILENO;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0) {
    error = std::strerror(errno);
  } else if (S_ISDIR(info.st_mode)) {
    error = std::strerror(EISDIR);
  } else if (limits.regularFileOnly && !S_ISREG(info.st_mode)) {
    error = "not a regular file";
  } else if (S_ISREG(info.st_mode) && static_cast<size_t>(info.st_size) > limits.maxBytes) {
    error = "larger than " + std::to_string(limits.maxBytes) + " bytes (see --max-size)";
  } else {
    // A pipe given on purpose, such as <(command), is read as it comes.
    if (!S_ISREG(info.st_mode)) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
  }
  if (fd >= 0) ::close(fd);
  return -1;
}

// At most one byte past the limit, so an endless source ends too.
bool ReadLimited(int fd, size_t maxBytes, std::string& content, std::string& error) {
  char buffer[65536];
  for (;;) {
    const size_t want = std::min(sizeof buffer, maxBytes + 1 - content.size());
    const ssize_t got = ::read(fd, buffer, want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = std::strerror(errno);
      return false;
    }
    if (got == 0) return true;
    content.append(buffer, static_cast<size_t>(got));
    if (content.size() > maxBytes) {
      error = "larger than " + std::to_string(maxBytes) + " bytes (see --max-size)";
      return false;
    }
  }
}

std::string Lower(std::string text) {
  for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return text;
}

// The encoding the XML declaration names, lower case; empty without one.
std::string DeclaredEncoding(const std::string& text) {
  const size_t start = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  if (text.compare(start, 5, "<?xml") != 0) return "";
  const std::string declaration = text.substr(start, text.find("?>") - start);
  size_t at = declaration.find("encoding");
  if (at == std::string::npos) return "";
  at = declaration.find_first_of("'\"", at);
  if (at == std::string::npos) return "?";
  const size_t end = declaration.find(declaration[at], at + 1);
  return Lower(declaration.substr(at + 1, end == std::string::npos ? 0 : end - at - 1));
}

std::string Latin1ToUtf8(const std::string& latin1) {
  std::string utf8;
  utf8.reserve(latin1.size() * 2);
  for (unsigned char ch : latin1) {
    if (ch < 0x80) {
      utf8 += static_cast<char>(ch);
    } else {
      utf8 += static_cast<char>(0xC0 | ch >> 6);
      utf8 += static_cast<char>(0x80 | (ch & 0x3F));
    }
  }
  return utf8;
}

bool Decode(std::string& text, std::string& error) {
  const std::string encoding = DeclaredEncoding(text);
  if (encoding.empty() || encoding == "utf-8" || encoding == "utf8" || encoding == "us-ascii" ||
      encoding == "ascii") {
    return true;
  }
  if (encoding == "iso-8859-1" || encoding == "iso8859-1" || encoding == "latin1" ||
      encoding == "latin-1") {
    text = Latin1ToUtf8(text);
    return true;
  }
  error = "the declared encoding '" + encoding + "' is not supported; use UTF-8 or ISO-8859-1";
  return false;
}

}  // namespace

bool ReadDefinition(const std::string& path, const DefinitionLimits& limits, std::string& utf8,
                    std::string& error) {
  std::string reason;
  FileDescriptor file(OpenForReading(path, limits, reason));
  utf8.clear();
  if (file.get() < 0 || !ReadLimited(file.get(), limits.maxBytes, utf8, reason) ||
      !Decode(utf8, reason)) {
    error = "cannot read " + (path == "-" ? std::string("standard input") : path) + ": " + reason;
    return false;
  }
  return true;
}

DefinitionLimits LimitsOf(const Invocation& invocation, bool regularFileOnly) {
  DefinitionLimits limits;
  limits.regularFileOnly = regularFileOnly;
  if (!invocation.Has("max-size")) return limits;
  const std::string text = invocation.Get("max-size");
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) || *end != '\0' ||
      errno == ERANGE || value == 0) {
    throw UsageError("--max-size takes a positive number of bytes, not '" + text + "'");
  }
  limits.maxBytes = static_cast<size_t>(value);
  return limits;
}

}  // namespace norvhost
