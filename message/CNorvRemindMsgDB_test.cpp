#include <gtest/gtest.h>

#include "NorvBackendTest.h"
#include "core/CNorvBasePtr.h"
#include "core/COleDateTime.h"
#include "message/CNorvRemindAMMsg.h"
#include "message/CNorvRemindMsg.h"

namespace {

const wchar_t kMsgID[] = L"11111111-2222-3333-4444-555555555555";
const wchar_t kRemindID[] = L"AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE";

CGuid Guid(const wchar_t* text) {
  CGuid id;
  EXPECT_TRUE(id.FromString1(text)) << text;
  return id;
}

CNorvBasePtr<CNorvRemindAMMsg> NewAMMsg() {
  CNorvBasePtr<CNorvRemindAMMsg> msg = new CNorvRemindAMMsg;
  msg->m_ID = Guid(kMsgID);
  msg->m_RemindID = Guid(L"99999999-9999-9999-9999-999999999999");
  msg->m_dtRemind = COleDateTime(2025, 3, 5, 14, 7, 9);
  msg->m_strContentType = L"Text/Text";
  msg->m_strContent = L"Pay Bob's bill: 100% C:\\bills";
  msg->m_strReceiver = L"o'neil@im";
  msg->m_strReceiverName = L"O'Neil \\ Sales";
  return msg;
}

class CNorvRemindMsgDBTest : public norvtest::BackendTest {
 protected:
  std::vector<CString> AMRow() {
    std::vector<std::vector<CString>> rows =
        Rows(L"SELECT CN_G_ID, CN_G_REMIND_ID, CN_T_REMIND, CN_S_CONTENT_TYPE, CN_S_CONTENT, "
             L"CN_S_RECEIVER, CN_S_RECEIVER_NAME, CN_N_STATUS, CN_T_SEND, CN_S_ERRINFO "
             L"FROM NORV_REMIND_MSG_AM",
             10);
    EXPECT_EQ(rows.size(), 1u);
    return rows.empty() ? std::vector<CString>(10) : rows.front();
  }

  void InsertInboxRow(const wchar_t* id, const wchar_t* receiver) {
    CString statement;
    statement.Format(
        L"INSERT INTO NORV_REMIND_MSG ( CN_G_ID, CN_G_REMIND_ID, CN_S_CONTENT, CN_S_RECEIVER, "
        L"CN_N_STATUS ) VALUES ( '%s', '%s', 'hi', '%s', 0 )",
        id, kRemindID, receiver);
    Exec(statement);
  }

  std::vector<std::vector<CString>> InboxRows() {
    return Rows(L"SELECT CN_G_ID, CN_N_STATUS, CN_T_READ FROM NORV_REMIND_MSG ORDER BY CN_G_ID", 3);
  }

  CString ExpectedInsert() {
    return L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID, CN_G_REMIND_ID, CN_T_REMIND, "
           L"CN_S_CONTENT_TYPE, CN_S_CONTENT, CN_S_RECEIVER, CN_S_RECEIVER_NAME, CN_N_STATUS ) "
           L"VALUES ( '11111111-2222-3333-4444-555555555555', "
           L"'AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE', " +
           TimeSql(L"2025-03-05 14:07:09") +
           L", 'Text/Text', 'Pay Bob''s bill: 100% C:\\bills', 'o''neil@im', "
           L"'O''Neil \\ Sales', 0 )";
  }
};

TEST_P(CNorvRemindMsgDBTest, InsertStoresTheMessageWaitingForTheGivenRemind) {
  CNorvBasePtr<CNorvRemindAMMsg> msg = NewAMMsg();
  CString error;
  ASSERT_TRUE(msg->DBInsert(session, dbType(), Guid(kRemindID), &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(), ExpectedInsert());
  std::vector<CString> row = AMRow();
  EXPECT_EQ(row[0], kMsgID);
  EXPECT_EQ(row[1], kRemindID);  // the argument, not m_RemindID
  EXPECT_EQ(row[2], L"2025-03-05 14:07:09");
  EXPECT_EQ(row[3], L"Text/Text");
  EXPECT_EQ(row[4], msg->m_strContent);
  EXPECT_EQ(row[5], msg->m_strReceiver);
  EXPECT_EQ(row[6], msg->m_strReceiverName);
  EXPECT_EQ(row[7], L"0");
  EXPECT_EQ(row[8], L"");
}

TEST_P(CNorvRemindMsgDBTest, SuccessMarksTheRowSentNow) {
  CNorvBasePtr<CNorvRemindAMMsg> msg = NewAMMsg();
  CString error;
  ASSERT_TRUE(msg->DBInsert(session, dbType(), Guid(kRemindID), &error)) << error.ToUtf8();
  statements.clear();
  COleDateTime before = COleDateTime::GetCurrentTime();
  ASSERT_TRUE(msg->DBSetSuccess(session, dbType(), &error)) << error.ToUtf8();
  COleDateTime after = COleDateTime::GetCurrentTime();
  EXPECT_TRUE(MatchesAtSomeSecond(
      TakeStatement(),
      [&](const CString& now) {
        return L"UPDATE NORV_REMIND_MSG_AM SET CN_N_STATUS = 1, CN_T_SEND = " + TimeSql(now) +
               L" WHERE CN_G_ID = '11111111-2222-3333-4444-555555555555'";
      },
      before, after));
  std::vector<CString> row = AMRow();
  EXPECT_EQ(row[7], L"1");
  COleDateTime sent;
  ASSERT_TRUE(sent.ParseDateTime(row[8])) << row[8].ToUtf8();
  EXPECT_TRUE(sent >= before && sent <= after);
  EXPECT_EQ(row[9], L"");
  EXPECT_EQ(msg->m_dtRemind, COleDateTime(2025, 3, 5, 14, 7, 9));
}

TEST_P(CNorvRemindMsgDBTest, FailureMarksTheRowWithTheErrorInfo) {
  CNorvBasePtr<CNorvRemindAMMsg> msg = NewAMMsg();
  CString error;
  ASSERT_TRUE(msg->DBInsert(session, dbType(), Guid(kRemindID), &error)) << error.ToUtf8();
  statements.clear();
  COleDateTime before = COleDateTime::GetCurrentTime();
  ASSERT_TRUE(msg->DBSetFail(session, dbType(), L"user 'x' offline \\ code 12", &error))
      << error.ToUtf8();
  COleDateTime after = COleDateTime::GetCurrentTime();
  EXPECT_TRUE(MatchesAtSomeSecond(
      TakeStatement(),
      [&](const CString& now) {
        return L"UPDATE NORV_REMIND_MSG_AM SET CN_N_STATUS = 2, CN_T_SEND = " + TimeSql(now) +
               L", CN_S_ERRINFO = 'user ''x'' offline \\ code 12' "
               L"WHERE CN_G_ID = '11111111-2222-3333-4444-555555555555'";
      },
      before, after));
  std::vector<CString> row = AMRow();
  EXPECT_EQ(row[7], L"2");
  EXPECT_FALSE(row[8].IsEmpty());
  EXPECT_EQ(row[9], L"user 'x' offline \\ code 12");
}

TEST_P(CNorvRemindMsgDBTest, InboxMessageHasNoSendStatus) {
  CNorvBasePtr<CNorvRemindMsg> msg = new CNorvRemindMsg;
  msg->m_ID = Guid(kMsgID);
  CString error = L"untouched";
  EXPECT_FALSE(msg->DBSetSuccess(session, dbType(), &error));
  EXPECT_FALSE(msg->DBSetFail(session, dbType(), L"x", &error));
  EXPECT_TRUE(statements.empty());
  EXPECT_EQ(error, L"untouched");

  // Through the base, an instant message still records its outcome.
  CNorvBasePtr<CNorvRemindAMMsg> am = NewAMMsg();
  ASSERT_TRUE(am->DBInsert(session, dbType(), Guid(kRemindID), &error)) << error.ToUtf8();
  CNorvRemindMsg* base = am;
  EXPECT_TRUE(base->DBSetFail(session, dbType(), L"down", &error)) << error.ToUtf8();
  EXPECT_EQ(AMRow()[7], L"2");
}

TEST_P(CNorvRemindMsgDBTest, DeletesByIdByListAndByRemind) {
  const wchar_t* ids[] = {L"00000000-0000-0000-0000-00000000000A",
                          L"00000000-0000-0000-0000-00000000000B",
                          L"00000000-0000-0000-0000-00000000000C",
                          L"00000000-0000-0000-0000-00000000000D"};
  CString error;
  for (const wchar_t* id : ids) {
    CNorvBasePtr<CNorvRemindAMMsg> msg = NewAMMsg();
    msg->m_ID = Guid(id);
    CGuid remind = Guid(id == ids[3] ? L"DDDDDDDD-0000-0000-0000-000000000000" : kRemindID);
    ASSERT_TRUE(msg->DBInsert(session, dbType(), remind, &error)) << error.ToUtf8();
  }
  statements.clear();
  const CString idsSql = L"SELECT CN_G_ID FROM NORV_REMIND_MSG_AM ORDER BY CN_G_ID";

  ASSERT_TRUE(CNorvRemindAMMsg::DBDelete2(
      session, L"'00000000-0000-0000-0000-00000000000A', '00000000-0000-0000-0000-00000000000B'",
      &error))
      << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_ID IN ( "
            L"'00000000-0000-0000-0000-00000000000A', '00000000-0000-0000-0000-00000000000B' )");
  EXPECT_EQ(Rows(idsSql, 1).size(), 2u);

  ASSERT_TRUE(CNorvRemindAMMsg::DBDelete3(session, Guid(kRemindID), &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_REMIND_ID = 'AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE'");
  ASSERT_EQ(Rows(idsSql, 1).size(), 1u);

  ASSERT_TRUE(CNorvRemindAMMsg::DBDelete(session, Guid(ids[3]), &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_ID = '00000000-0000-0000-0000-00000000000D'");
  EXPECT_TRUE(Rows(idsSql, 1).empty());
}

TEST_P(CNorvRemindMsgDBTest, InboxRowsAreMarkedReadByIdOrByReceiver) {
  InsertInboxRow(L"00000000-0000-0000-0000-000000000001", L"ann");
  InsertInboxRow(L"00000000-0000-0000-0000-000000000002", L"bob");
  InsertInboxRow(L"00000000-0000-0000-0000-000000000003", L"bob");
  CString error;
  COleDateTime before = COleDateTime::GetCurrentTime();
  ASSERT_TRUE(CNorvRemindMsg::DBSetReaded(session, dbType(),
                                          Guid(L"00000000-0000-0000-0000-000000000001"), &error))
      << error.ToUtf8();
  COleDateTime after = COleDateTime::GetCurrentTime();
  EXPECT_TRUE(MatchesAtSomeSecond(
      TakeStatement(),
      [&](const CString& now) {
        return L"UPDATE NORV_REMIND_MSG SET CN_N_STATUS = 1, CN_T_READ = " + TimeSql(now) +
               L" WHERE CN_G_ID = '00000000-0000-0000-0000-000000000001'";
      },
      before, after));

  ASSERT_TRUE(CNorvRemindMsg::DBSetReaded(session, dbType(), Guid(kRemindID), L"bob", &error))
      << error.ToUtf8();
  after = COleDateTime::GetCurrentTime();
  EXPECT_TRUE(MatchesAtSomeSecond(
      TakeStatement(),
      [&](const CString& now) {
        return L"UPDATE\tNORV_REMIND_MSG SET CN_N_STATUS = 1, CN_T_READ = " + TimeSql(now) +
               L" WHERE\tCN_S_RECEIVER = 'bob' AND\tCN_G_REMIND_ID = "
               L"'AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE'";
      },
      before, after));

  for (const std::vector<CString>& row : InboxRows()) {
    EXPECT_EQ(row[1], L"1") << row[0].ToUtf8();
    COleDateTime read;
    ASSERT_TRUE(read.ParseDateTime(row[2])) << row[2].ToUtf8();
    EXPECT_TRUE(read >= before && read <= after);
  }
}

TEST_P(CNorvRemindMsgDBTest, InboxRowsAreDeletedByIdOrByReceiver) {
  InsertInboxRow(L"00000000-0000-0000-0000-000000000001", L"ann");
  InsertInboxRow(L"00000000-0000-0000-0000-000000000002", L"bob");
  InsertInboxRow(L"00000000-0000-0000-0000-000000000003", L"bob");
  CString error;
  ASSERT_TRUE(CNorvRemindMsg::DBDelete(session, Guid(kRemindID), L"bob", &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"DELETE NORV_REMIND_MSG WHERE CN_S_RECEIVER = 'bob' AND "
            L"CN_G_REMIND_ID = 'AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE'");
  ASSERT_EQ(InboxRows().size(), 1u);
  ASSERT_TRUE(CNorvRemindMsg::DBDelete(session, Guid(L"00000000-0000-0000-0000-000000000001"),
                                       &error))
      << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"DELETE NORV_REMIND_MSG WHERE CN_G_ID = '00000000-0000-0000-0000-000000000001'");
  EXPECT_TRUE(InboxRows().empty());
}

// The receiver of these two is the host's account text and goes in as it is:
// a quote in it is the caller's error and shows as the database's.
TEST_P(CNorvRemindMsgDBTest, ReceiverGoesInUnescaped) {
  InsertInboxRow(L"00000000-0000-0000-0000-000000000001", L"ann");
  CString error;
  EXPECT_FALSE(CNorvRemindMsg::DBDelete(session, Guid(kRemindID), L"o'neil", &error));
  CString statement = TakeStatement();
  EXPECT_EQ(statement, L"DELETE NORV_REMIND_MSG WHERE CN_S_RECEIVER = 'o'neil' AND "
                       L"CN_G_REMIND_ID = 'AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE'");
  EXPECT_EQ(error, ReasonOf(statement));
  EXPECT_FALSE(CNorvRemindMsg::DBSetReaded(session, dbType(), Guid(kRemindID), L"o'neil", &error));
  EXPECT_NE(TakeStatement().Find(L"CN_S_RECEIVER = 'o'neil' AND"), -1);
  EXPECT_EQ(InboxRows().size(), 1u);
}

TEST_P(CNorvRemindMsgDBTest, FailedInsertLeavesTheReason) {
  CNorvBasePtr<CNorvRemindAMMsg> msg = NewAMMsg();
  CString error;
  ASSERT_TRUE(msg->DBInsert(session, dbType(), Guid(kRemindID), &error)) << error.ToUtf8();
  EXPECT_FALSE(msg->DBInsert(session, dbType(), Guid(kRemindID), &error));
  EXPECT_EQ(error, ReasonOf(ExpectedInsert()));
  EXPECT_FALSE(msg->DBInsert(session, dbType(), Guid(kRemindID), nullptr));
}

NORV_INSTANTIATE_BACKEND_TEST(CNorvRemindMsgDBTest);

}  // namespace
