#include "host/daemon/DaemonLog.h"

#include "core/base/COleDateTime.h"
#include "host/cli/HostText.h"
#include "host/store/RemindSchedule.h"

namespace norvhost {

void Log(const CString& text) {
  PrintLine(COleDateTime::GetCurrentTime().Format(L"%Y-%m-%d %H:%M:%S") + L"  " + text);
}

CString RemindLabel(CNorvRemind& remind) {
  const CString content = ContentOf(remind);
  return L"remind " + ShortID(remind.m_ID.GetString1()) + L" \"" +
         CString(FitWidth(content.str(), 40)) + L"\"";
}

}  // namespace norvhost
