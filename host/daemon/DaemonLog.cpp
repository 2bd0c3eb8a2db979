#include "host/daemon/DaemonLog.h"

#include <cstdlib>

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

}  // namespace

void Log(const CString& text) {
  if (ToJournal()) {
    PrintLine(text);
    return;
  }
  PrintLine(COleDateTime::GetCurrentTime().Format(L"%Y-%m-%d %H:%M:%S") + L"  " + text);
}

CString RemindLabel(CNorvRemind& remind) {
  const CString content = ContentOf(remind);
  return L"remind " + ShortID(remind.m_ID.GetString1()) + L" \"" +
         CString(FitWidth(content.str(), 40)) + L"\"";
}

}  // namespace norvhost
