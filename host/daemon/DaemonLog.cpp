#include "host/daemon/DaemonLog.h"

#include <cassert>
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

CString Stamped(const CString& text) {
  if (ToJournal()) return text;
  return COleDateTime::GetCurrentTime().Format(L"%Y-%m-%d %H:%M:%S") + L"  " + text;
}

}  // namespace

void Log(const CString& text) {
  HeldLines& held = Held();
  std::lock_guard<std::mutex> hold(held.mutex);
  if (held.holding) {
    held.lines.push_back(Stamped(text));
    return;
  }
  PrintLine(Stamped(text));
}

void LogAheadOfHeld(const CString& text) {
  HeldLines& held = Held();
  std::lock_guard<std::mutex> hold(held.mutex);
  assert(held.holding);
  held.lines.insert(held.lines.begin(), Stamped(text));
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
