#include "NorvTestDatabase.h"

#include <gtest/gtest.h>

#include "core/db/CNorvRecordSet.h"

namespace norvtest {

std::vector<std::vector<CString>> QueryRows(CSession& session, const CString& query,
                                            int columns) {
  std::vector<std::vector<CString>> rows;
  CNorvRecordSet records;
  CString error;
  if (!records.Open(session, query, &error)) {
    ADD_FAILURE() << query.ToUtf8() << ": " << error.ToUtf8();
    return rows;
  }
  while (records.MoveNext() == 0) {
    rows.emplace_back(columns);
    for (int column = 1; column <= columns; ++column) records.GetValue(column, rows.back()[column - 1]);
  }
  return rows;
}

std::vector<CString> QueryColumn(CSession& session, const CString& query) {
  std::vector<CString> values;
  for (const auto& row : QueryRows(session, query, 1)) values.push_back(row.at(0));
  return values;
}

}  // namespace norvtest
