#ifndef NORV_CORE_BASE_INTERNAL_NORVCLOCK_H_
#define NORV_CORE_BASE_INTERNAL_NORVCLOCK_H_

#include <chrono>

#include "core/base/CString.h"
#include "core/base/NorvExport.h"

// The wall clock that every "now" of the library and its host reads, so
// that a test can choose the time of day. Not installed; exported for the
// in-tree host. Safe from any thread.
namespace norvclock {

NORV_EXPORT std::chrono::system_clock::time_point Now();

// Moves the clock so that it reads `localTime` ("YYYY-MM-DD HH:MM:SS") now;
// it runs on from there. False, the clock unchanged, for any other text.
NORV_EXPORT bool StartAt(const char* localTime);

// The local time now as "YYYY-MM-DD HH:MM:SS". Stamps come in bursts and
// formatting cost more than what they stamp, so each thread keeps the text
// of the current second.
NORV_EXPORT CString NowText();

}  // namespace norvclock

#endif  // NORV_CORE_BASE_INTERNAL_NORVCLOCK_H_
