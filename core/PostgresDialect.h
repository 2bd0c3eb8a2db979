#ifndef NORV_CORE_POSTGRESDIALECT_H_
#define NORV_CORE_POSTGRESDIALECT_H_

#include <string>

#include "core/CString.h"

// Internal: what PostgreSQL needs to run the library's Oracle-style
// statements. to_date needs no rewrite: the session puts norv.to_date
// (schema/postgresql.sql), which keeps the time of day, ahead of
// PostgreSQL's own.
namespace postgres_dialect {

// The statement as UTF-8 text: "DELETE <table> ..." gains its FROM.
std::string Translate(const CString& statement);

}  // namespace postgres_dialect

#endif  // NORV_CORE_POSTGRESDIALECT_H_
