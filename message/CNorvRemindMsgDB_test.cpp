#include <gtest/gtest.h>

#include "NorvBackendTest.h"
#include "core/base/CNorvBasePtr.h"
#include "core/base/COleDateTime.h"
#include "message/CNorvRemindAMMsg.h"
#include "message/CNorvRemindMsg.h"

namespace {

using Table = std::vector<std::vector<CString>>;

const CString kRemindID = L"AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE";

CGuid Guid(const CString& text) {
  CGuid id;
  EXPECT_TRUE(id.FromString1(text)) << text.ToUtf8();
  return id;
}

CString MsgID(int n) {
  CString id;
  id.Format(L"00000000-0000-0000-0000-00000000000%d", n);
  return id;
}

CNorvBasePtr<CNorvRemindAMMsg> NewAMMsg(int n) {
  CNorvBasePtr<CNorvRemindAMMsg> msg = new CNorvRemindAMMsg;
  msg->m_ID = Guid(MsgID(n));
  msg->m_RemindID = Guid(L"99999999-9999-9999-9999-999999999999");
  msg->m_dtRemind = COleDateTime(2025, 3, 5, 14, 7, 9);
  msg->m_strContentType = L"Text/Text";
  msg->m_strContent = L"Pay Bob's bill: 100% C:\\bills";
  msg->m_strReceiver = L"o'neil@im";
  msg->m_strReceiverName = L"O'Neil \\ Sales";
  return msg;
}

TEST(CNorvRemindMsgTest, ANewMessageIsEmptyAndDueAtTheEpoch) {
  CNorvBasePtr<CNorvRemindAMMsg> msg = new CNorvRemindAMMsg;
  EXPECT_FALSE(msg->m_ID.IsValid() || msg->m_RemindID.IsValid());
  EXPECT_EQ(msg->m_strContent + msg->m_strContentType + msg->m_strReceiver + msg->m_strReceiverName,
            L"");
  EXPECT_EQ(msg->GetRemindTime().GetStatus(), COleDateTime::valid);
  EXPECT_EQ(msg->GetRemindTime().Format(L"%Y-%m-%d %H:%M:%S"), L"1899-12-30 00:00:00");
}

class CNorvRemindMsgDBTest : public norvtest::BackendTest {
 protected:
  // Checks the one statement run since `before` against `pattern`, whose
  // "{now}" stands for the current time in this case's database kind.
  void ExpectStampedNow(const CString& pattern, const COleDateTime& before) {
    COleDateTime after = COleDateTime::GetCurrentTime();
    CString statement = TakeStatement();
    EXPECT_TRUE(MatchesAtSomeSecond(
        statement,
        [&](const CString& now) {
          CString expected = pattern;
          expected.Replace(L"{now}", TimeSql(now));
          return expected;
        },
        before, after))
        << statement.ToUtf8();
  }

  void Insert(CNorvRemindAMMsg& msg) {
    CString error;
    ASSERT_TRUE(msg.DBInsert(session, dbType(), Guid(kRemindID), &error)) << error.ToUtf8();
  }

  // Inbox rows 1 for ann, 2 and 3 for bob, all of one remind and not read.
  void InsertInboxRows() {
    for (const wchar_t* row : {L"1', 'ann", L"2', 'bob", L"3', 'bob"}) {
      Exec(
          L"INSERT INTO NORV_REMIND_MSG ( CN_G_ID, CN_S_RECEIVER, CN_G_REMIND_ID, CN_N_STATUS ) "
          L"VALUES ( '00000000-0000-0000-0000-00000000000" +
          CString(row) + L"', '" + kRemindID + L"', 0 )");
    }
  }

  Table InboxRows() {
    return Rows(L"SELECT CN_G_ID, CN_N_STATUS, CN_T_READ FROM NORV_REMIND_MSG ORDER BY CN_G_ID", 3);
  }
};

TEST_P(CNorvRemindMsgDBTest, InstantMessageRowsGoFromWaitingToSentOrFailed) {
  CNorvBasePtr<CNorvRemindAMMsg> sent = NewAMMsg(1);
  CNorvBasePtr<CNorvRemindAMMsg> failed = NewAMMsg(2);
  Insert(*sent);
  EXPECT_EQ(TakeStatement(),
            L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID, CN_G_REMIND_ID, CN_T_REMIND, "
            L"CN_S_CONTENT_TYPE, CN_S_CONTENT, CN_S_RECEIVER, CN_S_RECEIVER_NAME, CN_N_STATUS ) "
            L"VALUES ( '00000000-0000-0000-0000-000000000001', '" +
                kRemindID + L"', " + TimeSql(L"2025-03-05 14:07:09") +
                L", 'Text/Text', 'Pay Bob''s bill: 100% C:\\bills', 'o''neil@im', "
                L"'O''Neil \\ Sales', 0 )");
  Insert(*failed);
  statements.clear();

  CString error;
  COleDateTime before = COleDateTime::GetCurrentTime();
  ASSERT_TRUE(sent->DBSetSuccess(session, dbType(), &error)) << error.ToUtf8();
  ExpectStampedNow(
      L"UPDATE NORV_REMIND_MSG_AM SET CN_N_STATUS = 1, CN_T_SEND = {now} "
      L"WHERE CN_G_ID = '" +
          MsgID(1) + L"'",
      before);
  CNorvRemindMsg* base = failed;  // the override runs through the base
  ASSERT_TRUE(base->DBSetFail(session, dbType(), L"user 'x' offline \\ code 12", &error))
      << error.ToUtf8();
  ExpectStampedNow(
      L"UPDATE NORV_REMIND_MSG_AM SET CN_N_STATUS = 2, CN_T_SEND = {now}, "
      L"CN_S_ERRINFO = 'user ''x'' offline \\ code 12' WHERE CN_G_ID = '" +
          MsgID(2) + L"'",
      before);

  // An inbox message records no send outcome.
  CNorvBasePtr<CNorvRemindMsg> inbox = new CNorvRemindMsg;
  inbox->m_ID = Guid(MsgID(1));
  error = L"untouched";
  EXPECT_FALSE(inbox->DBSetSuccess(session, dbType(), &error));
  EXPECT_FALSE(inbox->DBSetFail(session, dbType(), L"x", &error));
  EXPECT_TRUE(statements.empty());
  EXPECT_EQ(error, L"untouched");
}

TEST_P(CNorvRemindMsgDBTest, DeletesInstantMessagesByIdListAndRemind) {
  for (int n = 1; n <= 4; ++n) Insert(*NewAMMsg(n));
  Exec(L"UPDATE NORV_REMIND_MSG_AM SET CN_G_REMIND_ID = 'other' WHERE CN_G_ID = '" + MsgID(4) +
       L"'");
  CString error;
  CString list = L"'" + MsgID(1) + L"', '" + MsgID(2) + L"'";
  ASSERT_TRUE(CNorvRemindAMMsg::DBDelete2(session, list, &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(), L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_ID IN ( " + list + L" )");
  EXPECT_EQ(Rows(L"SELECT CN_G_ID FROM NORV_REMIND_MSG_AM", 1).size(), 2u);
  ASSERT_TRUE(CNorvRemindAMMsg::DBDelete3(session, Guid(kRemindID), &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_REMIND_ID = '" + kRemindID + L"'");
  EXPECT_EQ(Rows(L"SELECT CN_G_ID FROM NORV_REMIND_MSG_AM", 1), (Table{{MsgID(4)}}));
  ASSERT_TRUE(CNorvRemindAMMsg::DBDelete(session, Guid(MsgID(4)), &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(), L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_ID = '" + MsgID(4) + L"'");
  EXPECT_TRUE(Rows(L"SELECT CN_G_ID FROM NORV_REMIND_MSG_AM", 1).empty());
}

TEST_P(CNorvRemindMsgDBTest, InboxRowsAreMarkedReadAndDeletedByIdOrByReceiver) {
  InsertInboxRows();
  CString error;
  COleDateTime before = COleDateTime::GetCurrentTime();
  ASSERT_TRUE(CNorvRemindMsg::DBSetReaded(session, dbType(), Guid(MsgID(1)), &error))
      << error.ToUtf8();
  ExpectStampedNow(
      L"UPDATE NORV_REMIND_MSG SET CN_N_STATUS = 1, CN_T_READ = {now} "
      L"WHERE CN_G_ID = '" +
          MsgID(1) + L"'",
      before);
  ASSERT_TRUE(CNorvRemindMsg::DBSetReaded(session, dbType(), Guid(kRemindID), L"bob", &error))
      << error.ToUtf8();
  ExpectStampedNow(
      L"UPDATE\tNORV_REMIND_MSG SET CN_N_STATUS = 1, CN_T_READ = {now} "
      L"WHERE\tCN_S_RECEIVER = 'bob' AND\tCN_G_REMIND_ID = '" +
          kRemindID + L"'",
      before);
  for (const std::vector<CString>& row : InboxRows()) {
    COleDateTime read;
    EXPECT_TRUE(row[1] == L"1" && read.ParseDateTime(row[2]) && read >= before) << row[2].ToUtf8();
  }

  ASSERT_TRUE(CNorvRemindMsg::DBDelete(session, Guid(kRemindID), L"bob", &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"DELETE NORV_REMIND_MSG WHERE CN_S_RECEIVER = 'bob' AND "
            L"CN_G_REMIND_ID = '" +
                kRemindID + L"'");
  EXPECT_EQ(InboxRows().size(), 1u);
  ASSERT_TRUE(CNorvRemindMsg::DBDelete(session, Guid(MsgID(1)), &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(), L"DELETE NORV_REMIND_MSG WHERE CN_G_ID = '" + MsgID(1) + L"'");
  EXPECT_TRUE(InboxRows().empty());
}

// Quotes in every text are covered by tests/security; a failing statement
// (here a duplicate id) leaves the database's reason, and a list that is
// not quoted identifiers runs nothing.
TEST_P(CNorvRemindMsgDBTest, FailuresLeaveTheDatabasesReason) {
  CNorvBasePtr<CNorvRemindAMMsg> msg = NewAMMsg(1);
  Insert(*msg);
  CString statement = TakeStatement();
  CString error;
  EXPECT_FALSE(msg->DBInsert(session, dbType(), Guid(kRemindID), &error));
  EXPECT_EQ(error, ReasonOf(statement));
  EXPECT_FALSE(error.IsEmpty());

  for (const wchar_t* list : {L"",
                              L"'"
                              L"00000000-0000-0000-0000-000000000001"
                              L"' OR 1=1",
                              L"00000000-0000-0000-0000-000000000001", L"'x', 'y'", L" , "}) {
    statements.clear();
    error.Empty();
    EXPECT_FALSE(CNorvRemindAMMsg::DBDelete2(session, list, &error)) << CString(list).ToUtf8();
    EXPECT_TRUE(statements.empty());
    EXPECT_NE(error.Find(L"Not a list of quoted message identifiers"), -1);
  }
  EXPECT_EQ(Rows(L"SELECT CN_G_ID FROM NORV_REMIND_MSG_AM", 1).size(), 1u);
}

NORV_INSTANTIATE_BACKEND_TEST(CNorvRemindMsgDBTest);

}  // namespace
