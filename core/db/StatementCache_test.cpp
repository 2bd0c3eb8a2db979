#include <gtest/gtest.h>

#include "core/db/CNorvDBFun.h"
#include "core/db/CNorvRecordSet.h"
#include "core/db/internal/SqliteDialect.h"

namespace {

TEST(StatementCache, OnlyValuesOfOnePlainStatementAreLifted) {
  const std::pair<const char*, const char*> cases[] = {
      // "" when nothing may be lifted
      {"UPDATE T SET A = 'it''s', B = 12 WHERE C = -3", "UPDATE T SET A = ?, B = ? WHERE C = -?"},
      {"select A1 from T where B = 1.5 and C = x'00';",
       "select A1 from T where B = 1.5 and C = x'00';"},
      {"SELECT A FROM T WHERE B = 'x' ORDER BY 1", "SELECT A FROM T WHERE B = ? ORDER BY 1"},
      {"DELETE FROM T -- 'a'\n WHERE A = 99999999999999999999",
       "DELETE FROM T -- 'a'\n WHERE A = 99999999999999999999"},
      {"CREATE TABLE T (A INT DEFAULT 0)", ""},
      {"INSERT INTO T VALUES (1); DROP TABLE T", ""},
      {"SELECT A FROM T WHERE B = ?", ""},
      {"SELECT 'open", ""},
  };
  for (const auto& [in, text] : cases) {
    const auto lifted = sqlite_dialect::LiftLiterals(in);
    EXPECT_EQ(lifted ? lifted->text : "", text) << in;
  }
  EXPECT_EQ(sqlite_dialect::LiftLiterals(cases[0].first)->values[0].text, "it's");

  // A statement kept across a schema change uses the new table.
  CSession session;
  ASSERT_TRUE(session.Open(L"sqlite::memory:"));
  for (const wchar_t* sql :
       {L"CREATE TABLE T (A TEXT, B TEXT)", L"INSERT INTO T VALUES ('a', 'b')", L"DROP TABLE T",
        L"CREATE TABLE T (B TEXT, A TEXT)", L"INSERT INTO T VALUES ('a', 'b')"}) {
    ASSERT_NE(CNorvDBFun::RunSQL(session, sql, nullptr, "", 0), -1);
  }
  CNorvRecordSet records;
  CString value;
  ASSERT_TRUE(records.Open(session, L"SELECT A FROM T WHERE B = 'a'"));
  EXPECT_EQ(records.MoveNext(), 0);
  EXPECT_TRUE(records.GetValue(1, value) && value == L"b");
}

}  // namespace
