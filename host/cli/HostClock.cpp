#include "host/cli/HostClock.h"

#include <cstdlib>
#include <ctime>

#include "core/base/internal/NorvClock.h"

namespace norvhost {

bool StartClock(std::string& error) {
  const char* start = std::getenv(kClockVariable);
  if (start == nullptr || norvclock::StartAt(start)) return true;
  error = std::string(kClockVariable) + " is '" + start + "', not a time as YYYY-MM-DD HH:MM:SS";
  return false;
}

std::chrono::system_clock::time_point WallNow() { return norvclock::Now(); }

std::chrono::system_clock::time_point ToTimePoint(const COleDateTime& time) {
  std::tm fields{};
  fields.tm_year = time.GetYear() - 1900;
  fields.tm_mon = time.GetMonth() - 1;
  fields.tm_mday = time.GetDay();
  fields.tm_hour = time.GetHour();
  fields.tm_min = time.GetMinute();
  fields.tm_sec = time.GetSecond();
  fields.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&fields));
}

COleDateTime DayOf(const COleDateTime& time) {
  return COleDateTime(time.GetYear(), time.GetMonth(), time.GetDay(), 0, 0, 0);
}

COleDateTime Today() { return DayOf(COleDateTime::GetCurrentTime()); }

}  // namespace norvhost
