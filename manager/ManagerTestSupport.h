#ifndef NORV_MANAGER_MANAGERTESTSUPPORT_H_
#define NORV_MANAGER_MANAGERTESTSUPPORT_H_

// Helpers shared by the manager's tests; not part of the library.

#include <fstream>
#include <string>
#include <vector>

#include "core/base/COleDateTimeSpan.h"
#include "manager/CNorvRemindMgr.h"

namespace mgrtest {

// A message due `seconds` from now (negative: in the past).
inline CNorvBasePtr<CNorvRemindAMMsg> Message(const std::string& body, int seconds = -60,
                                              const CGuid& remindID = CGuid()) {
  CNorvBasePtr<CNorvRemindAMMsg> message = new CNorvRemindAMMsg;
  message->m_ID.NewID();
  message->m_RemindID = remindID;
  message->m_strContent = CString::FromUtf8(body);
  message->m_strContentType = L"Text/Html";
  message->m_strReceiver = L"someone";
  message->m_dtRemind = COleDateTime::GetCurrentTime() + COleDateTimeSpan(0, 0, 0, seconds);
  return message;
}

inline std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The bodies of the messages a file transport wrote, in file order.
inline std::vector<std::string> Bodies(const std::string& path) {
  const std::string key = "\"Body\": \"";
  std::vector<std::string> bodies;
  for (const std::string& line : Lines(path)) {
    size_t start = line.find(key);
    if (start == std::string::npos) continue;
    start += key.size();
    bodies.push_back(line.substr(start, line.find('"', start) - start));
  }
  return bodies;
}

// Sends through a file transport writing to `path`.
inline void SendToFile(CNorvRemindMgr& manager, const std::string& path) {
  manager.SetAMServer(CString::FromUtf8("file:" + path), 0);
  manager.SetAMSendUser(L"norvsender", L"unused");
}

}  // namespace mgrtest

#endif  // NORV_MANAGER_MANAGERTESTSUPPORT_H_
