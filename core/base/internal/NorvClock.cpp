#include "core/base/internal/NorvClock.h"

#include <atomic>
#include <cstdio>
#include <ctime>

#include "core/base/COleDateTime.h"

namespace norvclock {

namespace {

using std::chrono::system_clock;

std::atomic<system_clock::duration::rep> g_offset{0};

}  // namespace

system_clock::time_point Now() {
  return system_clock::now() + system_clock::duration(g_offset.load(std::memory_order_relaxed));
}

CString NowText() {
  thread_local std::time_t second = -1;
  thread_local CString text;
  const std::time_t now = system_clock::to_time_t(Now());
  if (now != second) {
    second = now;
    text = COleDateTime::GetCurrentTime().Format(L"%Y-%m-%d %H:%M:%S");
  }
  return text;
}

bool StartAt(const char* localTime) {
  std::tm fields{};
  char rest = 0;
  if (std::sscanf(localTime, "%4d-%2d-%2d %2d:%2d:%2d%c", &fields.tm_year, &fields.tm_mon,
                  &fields.tm_mday, &fields.tm_hour, &fields.tm_min, &fields.tm_sec, &rest) != 6) {
    return false;
  }
  const std::tm asWritten = fields;
  fields.tm_year -= 1900;
  fields.tm_mon -= 1;
  fields.tm_isdst = -1;
  const std::time_t start = std::mktime(&fields);
  // mktime normalises 2026-02-30 into March: such a date is refused.
  if (start == -1 || fields.tm_mday != asWritten.tm_mday || fields.tm_mon + 1 != asWritten.tm_mon ||
      fields.tm_hour != asWritten.tm_hour) {
    return false;
  }
  const auto offset = system_clock::from_time_t(start) - system_clock::now();
  g_offset.store(offset.count(), std::memory_order_relaxed);
  return true;
}

}  // namespace norvclock
