#ifndef NORV_HOST_DAEMON_DAEMONLOG_H_
#define NORV_HOST_DAEMON_DAEMONLOG_H_

#include "core/base/CString.h"
#include "remind/CNorvRemind.h"

namespace norvhost {

// One line of the daemon's log on standard output, after the local time
// (without it under systemd, whose journal stamps each line).
void Log(const CString& text);
// While held, lines are kept (with the time they were logged) and printed
// when released, so that a start-up line can come first.
void HoldLog(bool hold);
// Logs `text` ahead of the lines held so far; only while held.
void LogAheadOfHeld(const CString& text);

// "remind 1a2b3c4d "Stand-up"": how log lines name a remind.
CString RemindLabel(CNorvRemind& remind);

}  // namespace norvhost

#endif  // NORV_HOST_DAEMON_DAEMONLOG_H_
