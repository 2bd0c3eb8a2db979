#ifndef NORV_TESTS_SUPPORT_NORVTESTDATABASE_H_
#define NORV_TESTS_SUPPORT_NORVTESTDATABASE_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/db/CSession.h"
#include "core/base/CString.h"

namespace norvtest {

// A file of the source tree, by its path from the repository root.
std::string SourcePath(const std::string& relative);

// Runs a schema file of the source tree (e.g. "schema/sqlite.sql") on the session.
testing::AssertionResult ApplySchema(CSession& session, const std::string& relative);

// Every row of a query, each as the texts of its first `columns` columns.
std::vector<std::vector<CString>> QueryRows(CSession& session, const CString& query, int columns);

// The first column of every row of a query.
std::vector<CString> QueryColumn(CSession& session, const CString& query);

}  // namespace norvtest

#endif  // NORV_TESTS_SUPPORT_NORVTESTDATABASE_H_
