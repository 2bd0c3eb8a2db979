#include <gtest/gtest.h>

#include "core/db/internal/OracleDialect.h"
#include "core/db/internal/SqliteDialect.h"

namespace {

TEST(OracleDialect, OnlyADeleteWithoutFromGainsIt) {
  const std::pair<const wchar_t*, const char*> cases[] = {
      {L"DELETE T WHERE A = 1", "DELETE FROM T WHERE A = 1"},
      {L"  delete\tT", "  delete\tFROM T"},
      {L"DELETE FROM T WHERE A = 1", "DELETE FROM T WHERE A = 1"},
      {L"DELETE from T", "DELETE from T"},
      {L"DELETE FROMAGE", "DELETE FROM FROMAGE"},
      {L"DELETED T", "DELETED T"},
      {L"DELETE", "DELETE"},
      {L"DELETE   ", "DELETE   "},
      {L"UPDATE T SET A = 'DELETE T'", "UPDATE T SET A = 'DELETE T'"},
      {L"DELETE T WHERE N = '\x4E2D'", "DELETE FROM T WHERE N = '\xE4\xB8\xAD'"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(oracle_dialect::Translate(in), out);
}

// to_date reads the time only when the pattern has hours; dates compare in
// time, unreadable texts last.
TEST(SqliteDialect, ToDateAndCompareDateTimes) {
  using sqlite_dialect::CompareDateTimes, sqlite_dialect::ToDate;
  EXPECT_EQ(ToDate("2026-01-05 08:30:15", "yyyy-mm-dd hh24:mi:ss"), "2026-01-05 08:30:15");
  EXPECT_EQ(ToDate("2026-01-05 08:30:15", "yyyy-mm-dd"), "2026-01-05 00:00:00");
  EXPECT_EQ(ToDate("2026-01-05 08:30:15", "YYYY-MM-DD HH24:MI:SS"), "2026-01-05 08:30:15");
  EXPECT_EQ(ToDate("2026-01-05", "yyyy-mm-dd hh24:mi:ss"), "2026-01-05 00:00:00");
  EXPECT_EQ(ToDate("2026-02-30", "yyyy-mm-dd"), std::nullopt);
  EXPECT_EQ(ToDate("", "yyyy-mm-dd"), std::nullopt);
  EXPECT_LT(CompareDateTimes("2026-01-05", "2026-01-05 00:00:01"), 0);
  EXPECT_EQ(CompareDateTimes("2026-01-05", "2026-01-05 00:00:00"), 0);
  EXPECT_GT(CompareDateTimes("2026-01-10", "2026-01-09 23:59:59"), 0);
  EXPECT_LT(CompareDateTimes("2026-12-05 9:30:00", "2026-12-05 10:00:00"), 0);
  EXPECT_LT(CompareDateTimes("2026-01-05", "junk"), 0);
  EXPECT_GT(CompareDateTimes("junk", "2026-01-05"), 0);
  EXPECT_LT(CompareDateTimes("abc", "abd"), 0);
}

}  // namespace
