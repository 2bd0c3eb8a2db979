#include "core/CNorvRecordSet.h"

#include <gtest/gtest.h>

#include "NorvScratchDatabase.h"
#include "NorvTestSupport.h"
#include "core/CNorvDBFun.h"

namespace {

using norvtest::Backend;

class CNorvRecordSetTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    if (GetParam() == Backend::kPostgres) NORV_REQUIRE_POSTGRES();
    ASSERT_TRUE(database.Open(session));
    CString error;
    ASSERT_EQ(CNorvDBFun::RunSQL(session,
                                 L"INSERT INTO NORV_REMIND_STYLE ( CN_G_ID, CN_S_NAME, CN_N_ORDER, "
                                 L"CN_C_DEFAULT ) VALUES ( 's1', 'first', 2, 'y' ), "
                                 L"( 's2', NULL, -7, NULL )",
                                 &error, __FILE__, __LINE__),
              2)
        << error.ToUtf8();
  }

  norvtest::ScratchDatabase database{GetParam()};
  CSession session;
};

INSTANTIATE_TEST_SUITE_P(Backends, CNorvRecordSetTest,
                         testing::Values(Backend::kSqlite, Backend::kPostgres), norvtest::BackendName);

TEST_P(CNorvRecordSetTest, WalksRowsThenReportsTheEnd) {
  CNorvRecordSet records;
  CString error;
  ASSERT_TRUE(records.Open(session,
                           L"SELECT\tCN_G_ID, CN_S_NAME, CN_N_ORDER, UPPER( CN_C_DEFAULT ) FROM\t"
                           L"NORV_REMIND_STYLE ORDER BY CN_N_ORDER, CN_S_NAME",
                           &error))
      << error.ToUtf8();
  EXPECT_TRUE(records.IsOpened());
  CString value = L"stale";
  records.GetValue(1, value);
  EXPECT_EQ(value, L"");  // before the first row

  ASSERT_EQ(records.MoveNext(), 0);
  records.GetValue(1, value);
  EXPECT_EQ(value, L"s2");
  records.GetValue(2, value);
  EXPECT_EQ(value, L"");  // NULL
  records.GetValue(3, value);
  EXPECT_EQ(value, L"-7");
  records.GetValue(4, value);
  EXPECT_EQ(value, L"");

  ASSERT_EQ(records.MoveNext(), 0);
  records.GetValue(2, value);
  EXPECT_EQ(value, L"first");
  records.GetValue(4, value);
  EXPECT_EQ(value, L"Y");
  records.GetValue(5, value);
  EXPECT_EQ(value, L"");  // no such column
  records.GetValue(0, value);
  EXPECT_EQ(value, L"");

  EXPECT_NE(records.MoveNext(), 0);
  EXPECT_NE(records.MoveNext(), 0);
  records.Close();
  EXPECT_FALSE(records.IsOpened());
  EXPECT_NE(records.MoveNext(), 0);
}

TEST_P(CNorvRecordSetTest, FailedOpenGivesTheReasonAndLeavesTheSetClosed) {
  CNorvRecordSet records;
  ASSERT_TRUE(records.Open(session, L"SELECT CN_G_ID FROM NORV_REMIND_STYLE", nullptr));
  CString error;
  EXPECT_FALSE(records.Open(session, L"SELECT CN_G_ID FROM NORV_REMIND_NOPE", &error));
  EXPECT_GE(error.Find(GetParam() == Backend::kSqlite ? L"no such table: NORV_REMIND_NOPE"
                                                      : L"relation \"norv_remind_nope\" does not exist"),
            0)
      << error.ToUtf8();
  EXPECT_FALSE(records.IsOpened());
  EXPECT_NE(records.MoveNext(), 0);
  EXPECT_FALSE(records.Open(session, L"   ", &error));
}

TEST_P(CNorvRecordSetTest, OpenSetKeepsReadingAfterItsSessionCloses) {
  CNorvRecordSet records;
  ASSERT_TRUE(records.Open(session, L"SELECT CN_G_ID FROM NORV_REMIND_STYLE ORDER BY CN_G_ID", nullptr));
  session.Close();
  CString value;
  ASSERT_EQ(records.MoveNext(), 0);
  records.GetValue(1, value);
  EXPECT_EQ(value, L"s1");
  ASSERT_EQ(records.MoveNext(), 0);
  EXPECT_NE(records.MoveNext(), 0);
}

TEST_P(CNorvRecordSetTest, WritesBetweenRowsDoNotDisturbTheSet) {
  CNorvRecordSet records;
  ASSERT_TRUE(records.Open(session, L"SELECT CN_G_ID FROM NORV_REMIND_STYLE ORDER BY CN_G_ID", nullptr));
  ASSERT_EQ(records.MoveNext(), 0);
  CString error;
  EXPECT_EQ(CNorvDBFun::RunSQL(session, L"UPDATE NORV_REMIND_STYLE SET CN_S_NAME = 'renamed'",
                               &error, __FILE__, __LINE__),
            2)
      << error.ToUtf8();
  ASSERT_EQ(records.MoveNext(), 0);
  CString value;
  records.GetValue(1, value);
  EXPECT_EQ(value, L"s2");
}

}  // namespace
