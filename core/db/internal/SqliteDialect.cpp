#include "core/db/internal/SqliteDialect.h"

#include <cmath>

#include "core/base/COleDateTime.h"

namespace sqlite_dialect {

namespace {

// Seconds since the date base, or nothing for an unreadable text.
std::optional<long long> ReadSeconds(std::string_view text) {
  COleDateTime value;
  if (!value.ParseDateTime(CString::FromUtf8(text))) return std::nullopt;
  return std::llround(value.m_dt * 86400.0);
}

}  // namespace

int CompareDateTimes(std::string_view left, std::string_view right) {
  const std::optional<long long> leftTime = ReadSeconds(left);
  const std::optional<long long> rightTime = ReadSeconds(right);
  if (leftTime && rightTime) {
    return *leftTime < *rightTime ? -1 : (*leftTime > *rightTime ? 1 : 0);
  }
  if (leftTime) return -1;
  if (rightTime) return 1;
  return left.compare(right);
}

std::optional<std::string> ToDate(std::string_view text, std::string_view pattern) {
  const bool dateOnly = CString::FromUtf8(pattern).MakeLower().Find(L"hh") < 0;
  COleDateTime value;
  if (!value.ParseDateTime(CString::FromUtf8(text), dateOnly ? VAR_DATEVALUEONLY : 0u)) {
    return std::nullopt;
  }
  return value.Format(L"%Y-%m-%d %H:%M:%S").ToUtf8();
}

}  // namespace sqlite_dialect
