#include "NorvBackendTest.h"

#include "core/base/COleDateTimeSpan.h"
#include "core/db/CNorvDBFun.h"
#include "core/db/CNorvRecordSet.h"

namespace norvtest {

void BackendTest::SetUp() {
  if (GetParam().backend == Backend::kPostgres) NORV_REQUIRE_POSTGRES();
  m_database = std::make_unique<ScratchDatabase>(GetParam().backend);
  ASSERT_TRUE(m_database->Open(session));
  session.SetStatementLog([this](const CString& statement) { statements.push_back(statement); });
}

CString BackendTest::TimeSql(const CString& text) const {
  return dbType() == 1 ? L"to_date( '" + text + L"', 'yyyy-mm-dd hh24:mi:ss' )"
                       : L"'" + text + L"'";
}

CString BackendTest::TakeStatement() {
  EXPECT_EQ(statements.size(), 1u);
  CString last = statements.empty() ? CString() : statements.back();
  statements.clear();
  return last;
}

bool BackendTest::MatchesAtSomeSecond(const CString& statement,
                                      const std::function<CString(const CString&)>& expected,
                                      const COleDateTime& from, const COleDateTime& to) const {
  for (COleDateTime second = from; second <= to; second += COleDateTimeSpan(0, 0, 0, 1)) {
    if (statement == expected(second.Format(L"%Y-%m-%d %H:%M:%S"))) return true;
  }
  return false;
}

void BackendTest::Exec(const CString& statement) {
  CString error;
  EXPECT_NE(CNorvDBFun::RunSQL(session, statement, &error, __FILE__, __LINE__), -1)
      << statement.ToUtf8() << ": " << error.ToUtf8();
  statements.clear();
}

std::vector<std::vector<CString>> BackendTest::Rows(const CString& query, int columns) {
  std::vector<std::vector<CString>> rows = QueryRows(session, query, columns);
  statements.clear();
  return rows;
}

CString BackendTest::ReasonOf(CString statement) {
  CString reason;
  EXPECT_EQ(CNorvDBFun::RunSQL(session, statement, &reason, __FILE__, __LINE__), -1);
  statements.clear();
  return reason;
}

CString BackendTest::QueryReasonOf(CString query) {
  CString reason;
  CNorvRecordSet records;
  EXPECT_FALSE(records.Open(session, query, &reason));
  statements.clear();
  return reason;
}

}  // namespace norvtest
