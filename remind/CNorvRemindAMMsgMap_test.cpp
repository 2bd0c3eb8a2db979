#include <gtest/gtest.h>

#include <cwchar>
#include <vector>

#include "NorvBackendTest.h"
#include "remind/CNorvRemind.h"

namespace {

using MsgList = std::list<CNorvBasePtr<CNorvRemindAMMsg>>;

// Tells when the last reference to it goes.
class WatchedMsg : public CNorvRemindAMMsg {
 public:
  WatchedMsg(wchar_t digit, bool* destroyed = nullptr) : m_destroyed(destroyed) {
    m_ID.FromString1(CString(L"0000000") + CString(&digit, 1) + L"-0000-0000-0000-000000000000");
  }
  ~WatchedMsg() override {
    if (m_destroyed != nullptr) *m_destroyed = true;
  }

 private:
  bool* m_destroyed;
};

CString Ids(CNorvRemind& remind) {
  MsgList msgs = {new WatchedMsg(L'F')};
  remind.GetAMMsgList(msgs);
  CString ids;
  for (const auto& msg : msgs) ids += msg->m_ID.GetString1().Left(8) + L" ";
  return ids;
}

TEST(CNorvRemindAMMsgMapTest, KeepsTheFirstObjectPerIdentifierInIdentifierOrder) {
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  CNorvBasePtr<CNorvRemindAMMsg> noID = new CNorvRemindAMMsg;
  remind->AddAMMsg(nullptr);
  remind->AddAMMsg(noID);
  EXPECT_FALSE(remind->HasRemindMsg());
  bool aGone = false;
  bool bGone = false;
  remind->AddAMMsg(new WatchedMsg(L'C'));
  remind->AddAMMsg(new WatchedMsg(L'A', &aGone));
  remind->AddAMMsg(new WatchedMsg(L'B', &bGone));
  CNorvBasePtr<CNorvRemindAMMsg> second = new WatchedMsg(L'A');
  remind->AddAMMsg(second);
  EXPECT_EQ(Ids(*remind), L"0000000A 0000000B 0000000C ");
  MsgList msgs;
  remind->GetAMMsgList(msgs);
  EXPECT_NE(msgs.front().p, second.p);
  EXPECT_EQ(msgs.front().p, remind->m_mapAMMsg.begin()->second.p);  // shared, not copied
  msgs.clear();

  remind->RemoveAMMsg(CGuid());
  remind->RemoveAMMsg(WatchedMsg(L'D').m_ID);
  remind->RemoveAMMsg(second->m_ID);
  EXPECT_TRUE(aGone && !bGone);
  EXPECT_EQ(Ids(*remind), L"0000000B 0000000C ");
  remind->CleanAMMsgList();
  EXPECT_TRUE(bGone);
  EXPECT_FALSE(remind->HasRemindMsg());
}

class CNorvRemindAMMsgMapDBTest : public norvtest::BackendTest {};

// Deletes the rows of none, one or several messages; the map stays.
TEST_P(CNorvRemindAMMsgMapDBTest, DeletesTheRowsOfItsMessagesInOneStatement) {
  const wchar_t* id = L"-0000-0000-0000-000000000000'";
  struct Case {
    const wchar_t* digits;
    CString statement;
  } cases[] = {
      {L"", L""},
      {L"B", CString(L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_ID = '0000000B") + id},
      {L"CAB", CString(L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_ID IN ( '0000000A") + id +
                   L", '0000000B" + id + L", '0000000C" + id + L" )"},
  };
  CString error;
  CNorvBasePtr<CNorvRemindAMMsg> other = new WatchedMsg(L'D');
  ASSERT_TRUE(other->DBInsert(session, dbType(), CGuid(), &error)) << error.ToUtf8();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.digits);
    CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
    for (const wchar_t* digit = c.digits; *digit != 0; ++digit) {
      CNorvBasePtr<CNorvRemindAMMsg> msg = new WatchedMsg(*digit);
      ASSERT_TRUE(msg->DBInsert(session, dbType(), remind->m_ID, &error)) << error.ToUtf8();
      remind->AddAMMsg(msg);
    }
    statements.clear();
    ASSERT_TRUE(remind->DBDeleteAMMsg(session, &error)) << error.ToUtf8();
    EXPECT_EQ(statements,
              c.statement.IsEmpty() ? std::vector<CString>{} : std::vector<CString>{c.statement});
    EXPECT_EQ(Rows(L"SELECT CN_G_ID FROM NORV_REMIND_MSG_AM", 1),
              (std::vector<std::vector<CString>>{{L"0000000D" + CString(id).Left(28)}}));
    EXPECT_EQ(Ids(*remind).GetLength(), 9 * static_cast<int>(wcslen(c.digits)));
  }
}

NORV_INSTANTIATE_BACKEND_TEST(CNorvRemindAMMsgMapDBTest);

}  // namespace
