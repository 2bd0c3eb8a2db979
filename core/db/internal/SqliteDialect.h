#ifndef NORV_CORE_DB_INTERNAL_SQLITEDIALECT_H_
#define NORV_CORE_DB_INTERNAL_SQLITEDIALECT_H_

#include <optional>
#include <string>
#include <string_view>

#include "core/base/CString.h"

// Internal: what SQLite needs to run the library's Oracle-style statements.
namespace sqlite_dialect {

// Name of the collation declared on every date and time column.
inline constexpr const char* kDateTimeCollation = "NORV_DATETIME";

// Orders two stored date texts in time, whatever mix of date-only and
// date-and-time forms they use; unreadable texts come after readable ones,
// in plain text order. Negative, zero or positive like strcmp.
int CompareDateTimes(std::string_view left, std::string_view right);

// Oracle's to_date: the text as "YYYY-MM-DD HH:MM:SS", or nothing when it
// cannot be read. A pattern without hours reads the date part only.
std::optional<std::string> ToDate(std::string_view text, std::string_view pattern);

}  // namespace sqlite_dialect

#endif  // NORV_CORE_DB_INTERNAL_SQLITEDIALECT_H_
