#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "NorvBackendTest.h"
#include "remind/CNorvRemind.h"

namespace {

using MsgList = std::list<CNorvBasePtr<CNorvRemindAMMsg>>;

CNorvBasePtr<CNorvRemindAMMsg> Msg(const wchar_t* id) {
  CNorvBasePtr<CNorvRemindAMMsg> msg = new CNorvRemindAMMsg;
  EXPECT_TRUE(msg->m_ID.FromString1(id)) << id;
  msg->m_dtRemind = COleDateTime(2026, 5, 6, 7, 8, 9);
  msg->m_strContent = L"hello";
  return msg;
}

std::vector<CString> Ids(const MsgList& msgs) {
  std::vector<CString> ids;
  for (const auto& msg : msgs) ids.push_back(msg->m_ID.GetString1());
  return ids;
}

const wchar_t kA[] = L"0000000A-0000-0000-0000-000000000000";
const wchar_t kB[] = L"0000000B-0000-0000-0000-000000000000";
const wchar_t kC[] = L"0000000C-0000-0000-0000-000000000000";

TEST(CNorvRemindAMMsgMapTest, ListsMessagesInIdentifierOrder) {
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  EXPECT_FALSE(remind->HasRemindMsg());
  remind->AddAMMsg(Msg(kC));
  remind->AddAMMsg(Msg(kA));
  remind->AddAMMsg(Msg(kB));
  EXPECT_TRUE(remind->HasRemindMsg());

  MsgList msgs = {Msg(L"FFFFFFFF-0000-0000-0000-000000000000")};
  remind->GetAMMsgList(msgs);
  EXPECT_EQ(Ids(msgs), (std::vector<CString>{kA, kB, kC}));
  EXPECT_EQ(msgs.front().p, remind->m_mapAMMsg.begin()->second.p);  // shared, not copied
}

TEST(CNorvRemindAMMsgMapTest, KeepsTheFirstObjectForAnIdentifier) {
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  CNorvBasePtr<CNorvRemindAMMsg> first = Msg(kA);
  CNorvBasePtr<CNorvRemindAMMsg> second = Msg(kA);
  remind->AddAMMsg(first);
  remind->AddAMMsg(second);
  MsgList msgs;
  remind->GetAMMsgList(msgs);
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs.front().p, first.p);
}

TEST(CNorvRemindAMMsgMapTest, IgnoresNullAndInvalidMessages) {
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  remind->AddAMMsg(nullptr);
  CNorvBasePtr<CNorvRemindAMMsg> noID = new CNorvRemindAMMsg;
  remind->AddAMMsg(noID);
  EXPECT_FALSE(remind->HasRemindMsg());
  remind->AddAMMsg(Msg(kA));
  remind->RemoveAMMsg(CGuid());
  EXPECT_TRUE(remind->HasRemindMsg());
}

// Tells when the map lets go of its last reference.
class WatchedMsg : public CNorvRemindAMMsg {
 public:
  WatchedMsg(const wchar_t* id, bool* destroyed) : m_destroyed(destroyed) {
    m_ID.FromString1(id);
  }
  ~WatchedMsg() override { *m_destroyed = true; }

 private:
  bool* m_destroyed;
};

TEST(CNorvRemindAMMsgMapTest, RemoveAndCleanReleaseTheirMessages) {
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  bool aGone = false;
  bool bGone = false;
  remind->AddAMMsg(new WatchedMsg(kA, &aGone));
  remind->AddAMMsg(new WatchedMsg(kB, &bGone));
  remind->RemoveAMMsg(Msg(kC)->m_ID);
  EXPECT_FALSE(aGone || bGone);

  remind->RemoveAMMsg(Msg(kA)->m_ID);
  EXPECT_TRUE(aGone);
  EXPECT_FALSE(bGone);
  EXPECT_TRUE(remind->HasRemindMsg());
  remind->CleanAMMsgList();
  EXPECT_TRUE(bGone);
  EXPECT_FALSE(remind->HasRemindMsg());
}

TEST(CNorvRemindAMMsgMapTest, ThreadsAddRemoveAndListTogether) {
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  constexpr int kThreads = 4;
  constexpr int kPerThread = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&remind] {
      for (int i = 0; i < kPerThread; ++i) {
        CNorvBasePtr<CNorvRemindAMMsg> msg = new CNorvRemindAMMsg;
        msg->m_ID.NewID();
        remind->AddAMMsg(msg);
        if (i % 2 == 1) remind->RemoveAMMsg(msg->m_ID);
        MsgList msgs;
        remind->GetAMMsgList(msgs);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  MsgList msgs;
  remind->GetAMMsgList(msgs);
  EXPECT_EQ(msgs.size(), static_cast<size_t>(kThreads * kPerThread / 2));
}

class CNorvRemindAMMsgMapDBTest : public norvtest::BackendTest {
 protected:
  void StoreAll(CNorvRemind& remind) {
    MsgList msgs;
    remind.GetAMMsgList(msgs);
    CString error;
    for (const auto& msg : msgs) {
      ASSERT_TRUE(msg->DBInsert(session, dbType(), remind.m_ID, &error)) << error.ToUtf8();
    }
    statements.clear();
  }

  std::vector<std::vector<CString>> StoredIds() {
    return Rows(L"SELECT CN_G_ID FROM NORV_REMIND_MSG_AM ORDER BY CN_G_ID", 1);
  }
};

TEST_P(CNorvRemindAMMsgMapDBTest, NoMessageRunsNoStatement) {
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  CString error;
  EXPECT_TRUE(remind->DBDeleteAMMsg(session, &error));
  EXPECT_TRUE(statements.empty());
}

TEST_P(CNorvRemindAMMsgMapDBTest, OneMessageIsDeletedByItsIdentifier) {
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  remind->m_ID.NewID();
  remind->AddAMMsg(Msg(kB));
  StoreAll(*remind);
  CString error;
  ASSERT_TRUE(remind->DBDeleteAMMsg(session, &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_ID = '0000000B-0000-0000-0000-000000000000'");
  EXPECT_TRUE(StoredIds().empty());
  EXPECT_TRUE(remind->HasRemindMsg());
}

TEST_P(CNorvRemindAMMsgMapDBTest, SeveralMessagesGoInOneStatement) {
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  remind->m_ID.NewID();
  remind->AddAMMsg(Msg(kC));
  remind->AddAMMsg(Msg(kA));
  remind->AddAMMsg(Msg(kB));
  StoreAll(*remind);
  CNorvBasePtr<CNorvRemindAMMsg> other = Msg(L"0000000D-0000-0000-0000-000000000000");
  CString error;
  ASSERT_TRUE(other->DBInsert(session, dbType(), remind->m_ID, &error)) << error.ToUtf8();
  statements.clear();

  ASSERT_TRUE(remind->DBDeleteAMMsg(session, &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_ID IN ( "
            L"'0000000A-0000-0000-0000-000000000000', '0000000B-0000-0000-0000-000000000000', "
            L"'0000000C-0000-0000-0000-000000000000' )");
  std::vector<std::vector<CString>> left = StoredIds();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0][0], L"0000000D-0000-0000-0000-000000000000");
  MsgList msgs;
  remind->GetAMMsgList(msgs);
  EXPECT_EQ(msgs.size(), 3u);
}

NORV_INSTANTIATE_BACKEND_TEST(CNorvRemindAMMsgMapDBTest);

}  // namespace
