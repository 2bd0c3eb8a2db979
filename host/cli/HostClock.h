#ifndef NORV_HOST_CLI_HOSTCLOCK_H_
#define NORV_HOST_CLI_HOSTCLOCK_H_

#include <chrono>
#include <string>

#include "core/base/COleDateTime.h"

namespace norvhost {

// The variable that sets the time of day the program starts at, as
// "YYYY-MM-DD HH:MM:SS" local time; the clock runs on from there. Tests and
// demonstrations use it; the library's own "now" follows.
inline constexpr const char* kClockVariable = "NORVREMIND_NOW";

// Applies kClockVariable when set; false with the reason when it is not a
// time. Called once, before any thread starts.
bool StartClock(std::string& error);

// The wall clock, kClockVariable applied.
std::chrono::system_clock::time_point WallNow();
// The local time `time` stands for on that clock.
std::chrono::system_clock::time_point ToTimePoint(const COleDateTime& time);
// The day of `time` at 00:00.
COleDateTime DayOf(const COleDateTime& time);
// The current local day at 00:00.
COleDateTime Today();

}  // namespace norvhost

#endif  // NORV_HOST_CLI_HOSTCLOCK_H_
