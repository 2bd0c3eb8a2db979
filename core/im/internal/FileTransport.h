#ifndef NORV_CORE_IM_INTERNAL_FILETRANSPORT_H_
#define NORV_CORE_IM_INTERNAL_FILETRANSPORT_H_

#include <sys/types.h>

#include <chrono>
#include <mutex>
#include <string>

#include "core/im/CNorvIMTransport.h"

// CIM's transport for a server address "file:<path>": appends one JSON line
// per message to the file, so a host without an IM server loses nothing and
// can feed the lines to whatever delivers them.
//
// Each line goes out in a single write() to the file opened for appending,
// and a write cut short (a full disk) is taken back, so a reader sees whole
// lines only. The file is kept open between messages and opened again when
// its path names another file (a reader moved or removed it). A created file is
// readable by its owner only.
//
// Lines are not synced to disk one by one. A line that Send reported sent
// survives the process dying at once. A power cut or a crash of the machine
// keeps the lines the system had written out (on Linux those older than
// the dirty-page age, about 30 s by default) and may take the later ones, so
// a reader skips a last line that has no newline.
//
// A move is noticed without a system call per message: the kernel signals
// the thread that sends (SIGRTMAX - 3, taken only if the host has set no
// handler for it) and the handler counts the notice. A move made by the
// sending thread itself, or by one it waited for, is seen by its next
// message. Where the signal cannot be had, or the thread blocks it when it
// first sends, every message asks the watch; a thread that blocks it later
// learns of a move within a second.
class FileTransport final : public CNorvIMTransport {
 public:
  static bool Accepts(const CString& server);

  void Init(const CString& server, int port, const CString& user, const CString& password,
            int mode) override;
  int Send(const CMsg& msg, const CString& receiver, int& errorCode, CString& errorText) override;

  ~FileTransport() override;

 private:
  // Opens the path unless the open descriptor still names it.
  bool EnsureOpen(std::string& failure);
  // True while the open file can have been neither moved nor removed since
  // it was opened; then the path need not be looked up again.
  bool Unchanged();
  // Makes the calling thread the one the watch signals; false where it
  // cannot be, and the watch is then read for every message.
  bool TakeNotices();
  void Watch();
  void ForgetInherited();
  bool AppendLine(const std::string& line, std::string& failure);
  void CloseFile();

  std::mutex m_mutex;
  std::string m_path;
  // The line being written, kept so that its buffer is reused.
  std::string m_line;
  int m_fd = -1;
  // The open file's identity, read once: a descriptor keeps its file.
  dev_t m_device = 0;
  ino_t m_inode = 0;
  // Reports a rename, removal or link change of the open file, so that the
  // path is looked up only then; -1 where inotify is out of reach, and the
  // path is looked up for every message.
  int m_watcher = -1;
  int m_watch = -1;
  // Whose notices the watch raises, and how many had come when the watch
  // was last read; 0 while no thread takes them.
  pid_t m_noticed = 0;
  unsigned long m_notices = 0;
  std::chrono::steady_clock::time_point m_lastRead;
  // The process the descriptors were opened in: a forked child shares
  // them with its parent and opens its own.
  unsigned long m_generation = 0;
};

#endif  // NORV_CORE_IM_INTERNAL_FILETRANSPORT_H_
