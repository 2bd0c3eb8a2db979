#include "host/daemon/DaemonLog.h"

#include <cstdlib>
#include <mutex>
#include <vector>

#include "core/base/COleDateTime.h"
#include "host/cli/HostText.h"
#include "host/store/RemindSchedule.h"

namespace norvhost {

namespace {

// systemd sets JOURNAL_STREAM for a service whose output goes to the
// journal, which stamps every line itself.
bool ToJournal() {
  static const bool journal = std::getenv("JOURNAL_STREAM") != nullptr;
  return journal;
}

struct HeldLines {
  std::mutex mutex;
  bool holding = false;
  std::vector<CString> lines;
};

HeldLines& Held() {
  static HeldLines held;
  return held;
}

}  // namespace

void Log(const CString& text) {
  const CString line =
      ToJournal() ? text
                  : COleDateTime::GetCurrentTime().Format(L"%Y-%m-%d %H:%M:%S") + L"  " + text;
  HeldLines& held = Held();
  std::lock_guard<std::mutex> hold(held.mutex);
  if (held.holding) {
    held.lines.push_back(line);
    return;
  }
  PrintLine(line);
}

void HoldLog(bool hold) {
  HeldLines& held = Held();
  std::lock_guard<std::mutex> guard(held.mutex);
  held.holding = hold;
  if (hold) return;
  for (const CString& line : held.lines) PrintLine(line);
  held.lines.clear();
}

CString RemindLabel(CNorvRemind& remind) {
  const CString content = ContentOf(remind);
  return L"remind " + ShortID(remind.m_ID.GetString1()) + L" \"" +
         CString(FitWidth(content.str(), 40)) + L"\"";
}

}  // namespace norvhost
