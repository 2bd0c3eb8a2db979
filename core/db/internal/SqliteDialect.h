#ifndef NORV_CORE_DB_INTERNAL_SQLITEDIALECT_H_
#define NORV_CORE_DB_INTERNAL_SQLITEDIALECT_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// One statement with its literal values taken out: statements that differ
// only in their values share `text`, so it is compiled once.
struct LiftedStatement {
  struct Value {
    bool isInteger = false;
    long long integer = 0;
    std::string text;  // a string literal's value, quotes undone
  };
  std::string text;  // the statement with "?" in place of each value
  std::vector<Value> values;
};

// Nothing when the text is not one plain SELECT, INSERT, UPDATE or DELETE
// (a schema statement, several statements, or parameters of its own).
// Values after ORDER or GROUP stay in the text: there a number names a column.
std::optional<LiftedStatement> LiftLiterals(std::string_view sql);

}  // namespace sqlite_dialect

#endif  // NORV_CORE_DB_INTERNAL_SQLITEDIALECT_H_
