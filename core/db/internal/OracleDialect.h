#ifndef NORV_CORE_DB_INTERNAL_ORACLEDIALECT_H_
#define NORV_CORE_DB_INTERNAL_ORACLEDIALECT_H_

#include <string>

#include "core/base/CString.h"

// Internal: the one rewrite both backends need for the library's
// Oracle-style statements. Dates need none: each backend supplies a to_date
// that keeps the time of day (SQLite registers one, PostgreSQL finds
// norv.to_date of schema/postgresql.sql ahead of its own).
namespace oracle_dialect {

// The statement as UTF-8 text: "DELETE <table> ..." gains its FROM.
std::string Translate(const CString& statement);

}  // namespace oracle_dialect

#endif  // NORV_CORE_DB_INTERNAL_ORACLEDIALECT_H_
