#ifndef NORV_TESTS_SUPPORT_NORVTESTDATABASE_H_
#define NORV_TESTS_SUPPORT_NORVTESTDATABASE_H_

#include <vector>

#include "core/base/CString.h"
#include "core/db/CSession.h"

namespace norvtest {

// Every row of a query, each as the texts of its first `columns` columns;
// a query that fails fails the case.
std::vector<std::vector<CString>> QueryRows(CSession& session, const CString& query, int columns);

// The first column of every row of a query.
std::vector<CString> QueryColumn(CSession& session, const CString& query);

}  // namespace norvtest

#endif  // NORV_TESTS_SUPPORT_NORVTESTDATABASE_H_
