#include <gtest/gtest.h>

#include <functional>

#include "NorvBackendTest.h"
#include "core/base/CNorvBasePtr.h"
#include "core/base/COleDateTime.h"
#include "message/CNorvRemindAMMsg.h"
#include "message/CNorvRemindMsg.h"
#include "remind/CNorvRemind.h"

namespace {

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

using CNorvRemindMsgDBTest = norvtest::BackendTest;

// Each operation's statement ("{now}": when it ran; quotes: tests/security). The
// base's DBSetFail runs the override; a duplicate insert gives the database's reason.
TEST_P(CNorvRemindMsgDBTest, EachOperationRunsItsStatement) {
  CNorvBasePtr<CNorvRemindAMMsg> msg = new CNorvRemindAMMsg;
  msg->m_ID = Guid(MsgID(1));
  msg->m_RemindID = Guid(L"99999999-9999-9999-9999-999999999999");
  msg->m_dtRemind = COleDateTime(2025, 3, 5, 14, 7, 9);
  msg->m_strContentType = L"Text/Text";
  msg->m_strContent = L"Pay Bob's bill: 100% C:\\bills";
  msg->m_strReceiver = L"o'neil@im";
  msg->m_strReceiverName = L"O'Neil \\ Sales";
  CString error;
  const CString insert =
      L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID, CN_G_REMIND_ID, CN_T_REMIND, "
      L"CN_S_CONTENT_TYPE, CN_S_CONTENT, CN_S_RECEIVER, CN_S_RECEIVER_NAME, CN_N_STATUS ) "
      L"VALUES ( '00000000-0000-0000-0000-000000000001', '" +
      kRemindID + L"', " + TimeSql(L"2025-03-05 14:07:09") +
      L", 'Text/Text', 'Pay Bob''s bill: 100% C:\\bills', 'o''neil@im', 'O''Neil \\ Sales', 0 )";
  // A remind deletes its messages' rows in identifier order and keeps the messages.
  const auto deleteHeld = [&](std::initializer_list<int> held) {
    CNorvRemind remind;
    for (int n : held) {
      CNorvBasePtr<CNorvRemindAMMsg> message = new CNorvRemindAMMsg;
      message->m_ID = Guid(MsgID(n));
      remind.AddAMMsg(message);
    }
    return remind.DBDeleteAMMsg(session, &error) && remind.HasRemindMsg() == (held.size() > 0);
  };
  const std::pair<std::function<bool()>, CString> cases[] = {
      {[&] { return msg->DBInsert(session, dbType(), Guid(kRemindID), &error); }, insert},
      {[&] {
         return !msg->DBInsert(session, dbType(), Guid(kRemindID), &error) && !error.IsEmpty() &&
                error == ReasonOf(insert);
       },
       L""},
      {[&] { return msg->DBSetSuccess(session, dbType(), &error); },
       L"UPDATE NORV_REMIND_MSG_AM SET CN_N_STATUS = 1, CN_T_SEND = {now} WHERE CN_G_ID = '" +
           MsgID(1) + L"'"},
      {[&] {
         CNorvRemindMsg* base = msg;
         return base->DBSetFail(session, dbType(), L"user 'x' offline \\ code 12", &error);
       },
       L"UPDATE NORV_REMIND_MSG_AM SET CN_N_STATUS = 2, CN_T_SEND = {now}, "
       L"CN_S_ERRINFO = 'user ''x'' offline \\ code 12' WHERE CN_G_ID = '" +
           MsgID(1) + L"'"},
      {[&] {
         return deleteHeld({2, 1});
       },
       L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_ID IN ( '" + MsgID(1) + L"', '" + MsgID(2) + L"' )"},
      {[&] { return deleteHeld({}) && statements.empty(); }, L""},
      {[&] { return CNorvRemindAMMsg::DBDelete3(session, Guid(kRemindID), &error); },
       L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_REMIND_ID = '" + kRemindID + L"'"},
      {[&] { return deleteHeld({4}); },
       L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_ID = '" + MsgID(4) + L"'"},
      {[&] { return CNorvRemindMsg::DBSetReaded(session, dbType(), Guid(MsgID(1)), &error); },
       L"UPDATE NORV_REMIND_MSG SET CN_N_STATUS = 1, CN_T_READ = {now} WHERE CN_G_ID = '" +
           MsgID(1) + L"'"},
      {[&] {
         return CNorvRemindMsg::DBSetReaded(session, dbType(), Guid(kRemindID), L"bob", &error);
       },
       L"UPDATE\tNORV_REMIND_MSG SET CN_N_STATUS = 1, CN_T_READ = {now} "
       L"WHERE\tCN_S_RECEIVER = 'bob' AND\tCN_G_REMIND_ID = '" +
           kRemindID + L"'"},
      {[&] { return CNorvRemindMsg::DBDelete(session, Guid(kRemindID), L"bob", &error); },
       L"DELETE NORV_REMIND_MSG WHERE CN_S_RECEIVER = 'bob' AND CN_G_REMIND_ID = '" + kRemindID +
           L"'"},
      {[&] { return CNorvRemindMsg::DBDelete(session, Guid(MsgID(1)), &error); },
       L"DELETE NORV_REMIND_MSG WHERE CN_G_ID = '" + MsgID(1) + L"'"},
  };
  for (const auto& [run, pattern] : cases) {
    const COleDateTime before = COleDateTime::GetCurrentTime();
    ASSERT_TRUE(run()) << error.ToUtf8();
    const CString statement = pattern.IsEmpty() ? CString() : TakeStatement();
    const auto at = [&](const CString& now) {
      CString expected = pattern;
      expected.Replace(L"{now}", TimeSql(now));
      return expected;
    };
    EXPECT_TRUE(MatchesAtSomeSecond(statement, at, before, COleDateTime::GetCurrentTime()))
        << statement.ToUtf8();
    statements.clear();
  }

  // A list that is not quoted identifiers runs nothing.
  const CString quoted = L"'" + MsgID(1) + L"'";
  for (const CString& bad :
       {CString(), quoted + L" OR 1=1", MsgID(1), CString(L"'x', 'y'"), CString(L" , ")}) {
    error.Empty();
    EXPECT_FALSE(CNorvRemindAMMsg::DBDelete2(session, bad, &error)) << bad.ToUtf8();
    EXPECT_EQ(error, L"Not a list of quoted message identifiers: " + bad);
  }

  // A new message is empty and due at the epoch; an inbox one records no send outcome.
  CNorvBasePtr<CNorvRemindAMMsg> fresh = new CNorvRemindAMMsg;
  EXPECT_FALSE(fresh->m_ID.IsValid() || fresh->m_RemindID.IsValid());
  EXPECT_EQ(fresh->m_strContent + fresh->m_strContentType + fresh->m_strReceiver +
                fresh->m_strReceiverName + fresh->GetRemindTime().Format(L"%Y-%m-%d %H:%M:%S"),
            L"1899-12-30 00:00:00");
  CNorvBasePtr<CNorvRemindMsg> inbox = new CNorvRemindMsg;
  inbox->m_ID = Guid(MsgID(1));
  error = L"untouched";
  EXPECT_FALSE(inbox->DBSetSuccess(session, dbType(), &error));
  EXPECT_FALSE(inbox->DBSetFail(session, dbType(), L"x", &error));
  EXPECT_TRUE(statements.empty());
  EXPECT_EQ(error, L"untouched");
}

NORV_INSTANTIATE_BACKEND_TEST(CNorvRemindMsgDBTest);

}  // namespace
