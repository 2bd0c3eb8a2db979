#include "NorvTestDatabase.h"

#include <fstream>
#include <sstream>

#include "core/db/CNorvDBFun.h"
#include "core/db/CNorvRecordSet.h"

namespace norvtest {

std::string SourcePath(const std::string& relative) {
  return std::string(NORV_SOURCE_DIR) + "/" + relative;
}

testing::AssertionResult ApplySchema(CSession& session, const std::string& relative) {
  std::ifstream file(SourcePath(relative), std::ios::binary);
  if (!file) return testing::AssertionFailure() << "cannot read " << SourcePath(relative);
  std::stringstream text;
  text << file.rdbuf();
  CString error;
  if (CNorvDBFun::RunSQL(session, CString::FromUtf8(text.str()), &error, __FILE__, __LINE__) ==
      -1) {
    return testing::AssertionFailure() << relative << ": " << error.ToUtf8();
  }
  return testing::AssertionSuccess();
}

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
    std::vector<CString> row;
    CString value;
    for (int column = 1; column <= columns; ++column) {
      records.GetValue(column, value);
      row.push_back(value);
    }
    rows.push_back(row);
  }
  return rows;
}

std::vector<CString> QueryColumn(CSession& session, const CString& query) {
  std::vector<CString> values;
  for (const auto& row : QueryRows(session, query, 1)) values.push_back(row.at(0));
  return values;
}

}  // namespace norvtest
