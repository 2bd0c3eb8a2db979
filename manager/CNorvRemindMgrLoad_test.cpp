#include <gtest/gtest.h>

#include <chrono>
#include <iterator>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "NorvBackendTest.h"
#include "core/base/CNorvCommFun.h"
#include "core/base/COleDateTimeSpan.h"
#include "manager/CNorvRemindMgr.h"

namespace {

using Texts = std::vector<CString>;

constexpr wchar_t kStyleDef[] =
    L"<Def><Item Day=\"1\" Time=\"08:00\" /><Item Day=\"0\" Time=\"09:30\" /></Def>";

std::wstring Id(int n) {
  CString id;
  id.Format(L"%08d-0000-4000-8000-000000000000", n);
  return id.str();
}

CGuid Guid(int n) {
  CGuid id;
  id.FromString1(Id(n).c_str());
  return id;
}

template <class Objects>
Texts IdsOf(const Objects& objects) {
  Texts ids;
  for (const auto& object : objects) ids.push_back(object->m_ID.GetString1());
  return ids;
}

COleDateTime Shifted(const COleDateTime& from, int days, int seconds = 0) {
  return from + COleDateTimeSpan(days, 0, 0, seconds);
}

// Waits for the clock to turn to a new second, so that what follows has
// most of a second before "now" moves on.
COleDateTime FreshSecond() {
  const COleDateTime start = COleDateTime::GetCurrentTime();
  while (COleDateTime::GetCurrentTime() == start)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return COleDateTime::GetCurrentTime();
}

class ManagerLoad : public norvtest::BackendTest {
 protected:
  CString Time(const COleDateTime& time) { return TimeSql(time.Format(L"%Y-%m-%d %H:%M:%S")); }
  CString Day(const CString& day) {
    return dbType() == 1 ? L"to_date( '" + day + L"', 'yyyy-mm-dd' )" : L"'" + day + L"'";
  }
  CString Date(const COleDateTime& day) { return Day(day.Format(L"%Y-%m-%d")); }

  void Insert(const wchar_t* format, auto... values) {
    CString statement;
    statement.Format(format, values...);
    Exec(statement);
  }
  void InsertRemind(const std::wstring& id, int type, const CString& remindTime,
                    const CString& invalid, const CString& styleDef = L"NULL", int state = 0) {
    Insert(
        L"INSERT INTO NORV_REMIND_DEF VALUES ( '%s', %d, %d, 5, 'from', %s, %s, 'creator', "
        L"'Creator Name', '2026-01-02 03:04:05', 'content', 'Text/Html', %s )",
        id, state, type, remindTime, invalid, styleDef);
  }
  void InsertStyle(int n, const CString& name, int order, const CString& flag,
                   const CString& def = kStyleDef, const std::wstring& id = L"") {
    Insert(
        L"INSERT INTO NORV_REMIND_STYLE VALUES ( '%s', '%s', '%s', %d, %s, 'c%d', 'Creator', "
        L"'2026-01-02 03:04:05', 'm%d', 'Modifier', '2026-02-03 04:05:06' )",
        id.empty() ? Id(n) : id, name, def, order, flag, n, n);
  }
  void InsertReceiver(const std::wstring& remindID, int type, const CString& name) {
    Insert(L"INSERT INTO NORV_REMIND_RECEIVE VALUES ( '%s', %d, 'id-%s', '%s' )", remindID, type,
           name, name);
  }
  void InsertAMMsg(int n, const std::wstring& remindID, const COleDateTime& time, int status = 0) {
    Insert(
        L"INSERT INTO NORV_REMIND_MSG_AM VALUES ( '%s', '%s', %s, 'Text/Text', 'message %d', "
        L"'user%d', 'User %d', %d, NULL, NULL )",
        Id(n), remindID, Time(time), n, n, n, status);
  }

  Texts Column(const CString& query) { return norvtest::QueryColumn(session, query); }
  Texts Loaded() {
    CNorvRemindMgr::RemindList reminds;
    manager.GetRemindList(reminds);
    return IdsOf(reminds);
  }
  bool Init() {
    CString error;
    const bool done = manager.InitData(session, dbType(), error);
    EXPECT_TRUE(done) << error.ToUtf8();
    return done;
  }

  CNorvRemindMgr manager;
};

TEST_P(ManagerLoad, RunsItsStepsExpiresAtEveryBoundaryAndDropsRemindsThatCannotFire) {
  const COleDateTime today = COleDateTime::GetCurrentTime(), tomorrow = Shifted(today, 1);
  const CString def = L"'" + CString(kStyleDef) + L"'";
  InsertRemind(Id(3), 1, L"NULL", Date(today));  // periodic, ends today
  InsertRemind(Id(4), 1, L"NULL", Date(Shifted(today, -1)));
  InsertRemind(Id(5), 1, L"NULL", L"NULL");      // periodic, no end
  InsertRemind(Id(9), 1, L"NULL", Time(today));  // periodic, ends later today
  // Periodic, ends today, written as the other database kind writes it.
  InsertRemind(Id(10), 1, L"NULL",
               dbType() == 1 ? L"'" + today.Format(L"%Y-%m-%d") + L"'"
                             : L"to_date( '" + today.Format(L"%Y-%m-%d") + L"', 'yyyy-mm-dd' )");
  InsertRemind(Id(6), 2, L"NULL", Date(today), def);
  InsertRemind(Id(7), 2, L"NULL", Date(Shifted(today, -1)), def);
  InsertRemind(Id(8), 0, Time(tomorrow), L"NULL", L"NULL", 1);  // expired before
  InsertRemind(Id(11), 0, L"NULL", L"NULL");                    // one-off without time
  InsertRemind(Id(12), 2, L"NULL", L"NULL", def);               // custom without deadline
  InsertRemind(Id(13), 2, L"NULL", Date(tomorrow), L"''");      // custom, empty style
  InsertRemind(Id(14), 2, L"NULL", Date(tomorrow), L"'<Item Day=''x'''");  // malformed style
  InsertRemind(Id(15), 5, L"NULL", L"NULL");  // other type, no deadline
  InsertRemind(Id(16), 5, L"NULL", Date(tomorrow));
  InsertRemind(L"not-an-id", 1, L"NULL", L"NULL");
  InsertAMMsg(21, Id(5), Shifted(today, 0, -59 * 60));
  InsertAMMsg(22, Id(5), Shifted(today, 0, -61 * 60));
  InsertAMMsg(23, Id(5), Shifted(today, 0, -61 * 60), 1);
  InsertAMMsg(24, Id(5), Shifted(today, 0, -59 * 60), 1);
  InsertAMMsg(25, Id(5), Shifted(today, 0, 2 * 3600));
  const COleDateTime now = FreshSecond();
  InsertRemind(Id(1), 0, Time(Shifted(now, 0, -1)), L"NULL");
  InsertRemind(Id(2), 0, Time(Shifted(now, 0, 1)), L"NULL");
  const COleDateTime from = COleDateTime::GetCurrentTime();
  CString error = L"untouched";
  ASSERT_TRUE(manager.InitData(session, dbType(), error));
  const COleDateTime to = COleDateTime::GetCurrentTime();
  EXPECT_EQ(error, L"untouched");
  // The steps in order, each with its statement.
  ASSERT_EQ(statements.size(), 7u);
  const auto expiry = [&](const CString& at) {
    const CString day = Day(at.Left(10));
    return L"UPDATE\tNORV_REMIND_DEF SET CN_N_STATE = 1 WHERE\t( (CN_T_REMIND <= " + TimeSql(at) +
           L" AND CN_N_TYPE = 0) OR (CN_D_INVALID <= " + day + L" AND CN_N_TYPE = 1) OR " +
           L"(CN_D_INVALID < " + day + L" AND CN_N_TYPE = 2) ) AND\tCN_N_STATE = 0";
  };
  const auto cleanUp = [&](const CString& cutOff) {
    return L"DELETE NORV_REMIND_MSG_AM WHERE CN_T_REMIND <= " + TimeSql(cutOff);
  };
  const COleDateTimeSpan hour(0, 1, 0, 0);
  EXPECT_TRUE(MatchesAtSomeSecond(statements[1], expiry, from, to)) << statements[1].ToUtf8();
  EXPECT_TRUE(MatchesAtSomeSecond(statements[2], cleanUp, from - hour, to - hour))
      << statements[2].ToUtf8();
  const Texts selects = {
      L"SELECT\tCN_G_ID, CN_S_NAME, CN_S_DEF, CN_N_ORDER, UPPER( CN_C_DEFAULT ), "
      L"CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_MODIFIER_ID, CN_S_MODIFIER_NAME, "
      L"CN_T_MODIFY FROM\tNORV_REMIND_STYLE ORDER BY CN_N_ORDER, CN_S_NAME",
      L"SELECT\tCN_G_ID, CN_N_TYPE, CN_S_FROM, CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, "
      L"CN_T_REMIND, CN_D_INVALID, CN_N_SEND_FLAG, CN_S_CONTENT, CN_S_CONTENT_TYPE, "
      L"CN_S_REMIND_STYLE_DEF FROM\tNORV_REMIND_DEF WHERE\tCN_N_STATE = 0 ORDER BY CN_G_ID",
      L"SELECT\tCN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, CN_S_RECEIVE_NAME "
      L"FROM\tNORV_REMIND_RECEIVE WHERE\tCN_G_REMIND_ID IN (Select CN_G_ID From NORV_REMIND_DEF "
      L"Where CN_N_STATE = 0) ORDER BY CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_NAME",
      L"SELECT\tCN_G_REMIND_ID, CN_S_REMIND_TIME, CN_D_START, CN_D_END, CN_N_REGULAR_TYPE, "
      L"CN_N_INTERVAL, CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_N_REPEAT_NUM, CN_N_REPEAT_COUNT "
      L"FROM\tNORV_REMIND_REPEAT WHERE\tCN_G_REMIND_ID IN (Select CN_G_ID From NORV_REMIND_DEF "
      L"Where CN_N_TYPE = 1 And CN_N_STATE = 0) ORDER BY CN_G_REMIND_ID",
      L"SELECT\tCN_G_REMIND_ID, CN_G_ID, CN_T_REMIND, CN_S_CONTENT, CN_S_CONTENT_TYPE, "
      L"CN_S_RECEIVER, CN_S_RECEIVER_NAME FROM\tNORV_REMIND_MSG_AM WHERE\tCN_N_STATUS = 0 ORDER "
      L"BY CN_T_REMIND"};
  EXPECT_EQ((Texts{statements[0], statements[3], statements[4], statements[5], statements[6]}),
            selects);

  EXPECT_EQ(Column(L"SELECT CN_G_ID FROM NORV_REMIND_DEF WHERE CN_N_STATE = 1 ORDER BY CN_G_ID"),
            (Texts{Id(1), Id(3), Id(4), Id(7), Id(8), Id(10)}));
  EXPECT_EQ(Loaded(), (Texts{Id(2), Id(5), Id(6), Id(9), Id(16)}));
  EXPECT_EQ(Column(L"SELECT CN_G_ID FROM NORV_REMIND_MSG_AM ORDER BY CN_G_ID"),
            (Texts{Id(21), Id(24), Id(25)}));
  EXPECT_EQ(IdsOf(manager.RemindAMMsgList), (Texts{Id(21), Id(25)}));
  InsertAMMsg(26, Id(5), Shifted(today, 0, -61 * 60));
  ASSERT_TRUE(manager.DBSetRemindAMMsgInvalid(session, dbType(), nullptr));
  const auto expireMessages = [&](const CString& cutOff) {
    return L"UPDATE\tNORV_REMIND_MSG_AM SET CN_N_STATUS = 3 WHERE\tCN_T_REMIND <= " +
           TimeSql(cutOff) + L" AND\tCN_N_STATUS = 0";
  };
  EXPECT_TRUE(MatchesAtSomeSecond(TakeStatement(), expireMessages, from - hour,
                                  COleDateTime::GetCurrentTime() - hour));
  EXPECT_EQ(Column(L"SELECT CN_N_STATUS FROM NORV_REMIND_MSG_AM ORDER BY CN_G_ID"),
            (Texts{L"0", L"1", L"0", L"3"}));

  CNorvBasePtr<CNorvRemind> custom = manager.GetRemind(Guid(6)),
                            oneOff = manager.GetRemind(Guid(2));
  CString fields;
  fields.Format(L"%d %d %d %s %s %s %s %s %s %s", custom->m_nType, custom->m_nState,
                custom->m_nSendFlag, custom->m_strFrom, custom->m_strCreatorID,
                custom->m_strCreatorName, custom->m_strContent, custom->m_strContentType,
                custom->m_dtInvalid.Format(L"%Y-%m-%d %H:%M:%S"), custom->m_strRemindStyleDef);
  EXPECT_EQ(fields, L"2 0 5 from creator Creator Name content Text/Html " +
                        today.Format(L"%Y-%m-%d") + L" 00:00:00 " + kStyleDef);
  EXPECT_EQ(custom->m_lstStyleItem.size(), 2u);
  EXPECT_EQ(oneOff->m_dtRemind.Format(L"%Y-%m-%d %H:%M:%S"),
            Shifted(now, 0, 1).Format(L"%Y-%m-%d %H:%M:%S"));
  EXPECT_EQ(manager.GetRemind(Guid(5))->m_dtInvalid.GetStatus(), COleDateTime::null);
}

// Rows come grouped by remind; each goes to the remind of its own row only.
TEST_P(ManagerLoad, AttachesRowsToLoadedRemindsOnlyAndSkipsUnusableStyles) {
  const COleDateTime now = COleDateTime::GetCurrentTime();
  InsertRemind(Id(1), 1, L"NULL", L"NULL");
  InsertRemind(Id(2), 1, L"NULL", L"NULL");
  InsertRemind(Id(3), 1, L"NULL", Date(now));                                  // expires at start
  InsertRemind(Id(4), 2, L"NULL", L"NULL", L"'" + CString(kStyleDef) + L"'");  // dropped
  for (int remind : {1, 3, 4, 2}) {
    InsertReceiver(Id(remind), 2, L"Zed");
    InsertReceiver(Id(remind), 1, L"Bob");
    InsertReceiver(Id(remind), 1, L"Al");
  }
  InsertReceiver(L"not-an-id", 1, L"Nobody");
  const wchar_t* repeat =
      L"INSERT INTO NORV_REMIND_REPEAT VALUES ( '%s', '08:30', %s, %s, 1, 2, 62, %d, 10, 3 )";
  Insert(repeat, Id(1), Date(COleDateTime(2026, 1, 5, 0, 0, 0)), L"NULL", 1);
  Insert(repeat, Id(2), L"NULL", Date(COleDateTime(2026, 12, 31, 0, 0, 0)), 0);
  Insert(repeat, Id(3), L"NULL", L"NULL", 1);
  InsertAMMsg(14, Id(1), Shifted(now, 0, 4 * 3600));
  InsertAMMsg(11, Id(1), Shifted(now, 0, 1 * 3600));
  InsertAMMsg(12, L"not-an-id", Shifted(now, 0, 2 * 3600));
  InsertAMMsg(13, Id(9), Shifted(now, 0, 3 * 3600));  // remind not loaded
  InsertAMMsg(15, Id(2), Shifted(now, 0, 5 * 3600));
  InsertAMMsg(16, Id(1), Shifted(now, 0, 6 * 3600), 1);  // already sent
  InsertStyle(1, L"Weekly", 1, L"'y'");
  InsertStyle(2, L"WEEKLY", 2, L"'N'");                      // same name, other case
  InsertStyle(3, L"Broken", 3, L"'N'", L"<Item Day=\"1\"");  // definition does not parse
  InsertStyle(4, L"No id", 4, L"'N'", kStyleDef, L"not-an-id");
  InsertStyle(5, L"Monthly", 5, L"'Y'");
  InsertStyle(6, L"Daily", 0, L"NULL");
  ASSERT_TRUE(Init());
  ASSERT_EQ(Loaded(), (Texts{Id(1), Id(2)}));

  for (int n : {1, 2}) {
    EXPECT_EQ(
        manager.GetRemind(Guid(n))->GenReceiverInfo_XML(),
        L"<ReceiverList><Receiver Type='1' ID='id-Al' Name='Al' /><Receiver Type='1' "
        L"ID='id-Bob' Name='Bob' /><Receiver Type='2' ID='id-Zed' Name='Zed' /></ReceiverList>");
  }
  // A limited rule takes its count; an unlimited one leaves Num and Count.
  CNorvRemindRepeat& open = manager.GetRemind(Guid(2))->m_Repeat;
  EXPECT_EQ(manager.GetRemind(Guid(1))->m_Repeat.GenInfo_XML() + open.GenInfo_XML(),
            L"<Repeat RemindTime='08:30' RegularType='1' Interval='2' RagularValue='62' "
            L"RegularRange='1' DTStart='2026-01-05' Num='10' Count='3' />"
            L"<Repeat RemindTime='08:30' RegularType='1' Interval='2' RagularValue='62' "
            L"RegularRange='0' DTStart='Invalid DateTime' DTEnd='2026-12-31' />");
  EXPECT_EQ(open.m_nNum * 10 + open.m_nCount, 0);
  EXPECT_EQ(IdsOf(manager.RemindAMMsgList), (Texts{Id(11), Id(12), Id(13), Id(14), Id(15)}));
  std::list<CNorvBasePtr<CNorvRemindAMMsg>> first, second;
  manager.GetRemind(Guid(1))->GetAMMsgList(first);
  manager.GetRemind(Guid(2))->GetAMMsgList(second);
  EXPECT_EQ(IdsOf(first), (Texts{Id(11), Id(14)}));
  EXPECT_EQ(IdsOf(second), Texts{Id(15)});
  CNorvRemindAMMsg* front = manager.RemindAMMsgList.front();
  CString fields;
  fields.Format(L"%s %s %s %s %s %s", front->m_RemindID.GetString1(), front->m_strContent,
                front->m_strContentType, front->m_strReceiver, front->m_strReceiverName,
                front->GetRemindTime().Format(L"%Y-%m-%d %H:%M:%S"));
  EXPECT_EQ(fields, Id(1) + L" message 11 Text/Text user11 User 11 " +
                        Shifted(now, 0, 3600).Format(L"%Y-%m-%d %H:%M:%S"));
  EXPECT_FALSE((*std::next(manager.RemindAMMsgList.begin()))->m_RemindID.IsValid());

  // Styles come in query order, unusable ones skipped.
  Texts names;
  for (CNorvRemindStyle* style : manager.StyleList) names.push_back(style->GetName());
  EXPECT_EQ(names, (Texts{L"Daily", L"Weekly", L"Monthly"}));
  EXPECT_TRUE(manager.GetDefRemindStyle() == manager.GetRemindStyle(L"monthly"));
  EXPECT_FALSE(manager.GetRemindStyle(L"daily")->IsDefault());
  CNorvBasePtr<CNorvRemindStyle> weekly = manager.GetRemindStyle(Guid(1));
  ASSERT_FALSE(!weekly);
  EXPECT_EQ(weekly->GenInfo_XML(),
            L"<Style ID='{" + Id(1) +
                L"}' Order='1' Creator='c1' CreatorName='Creator' "
                L"CreaterTime='2026-01-02 03:04:05' Modifier='m1' ModifierName='Modifier' "
                L"ModifyTime='2026-02-03 04:05:06' IsDefault='1'><Name>Weekly</Name><Def>" +
                CNorvCommFun::EscapeXML(kStyleDef).str() + L"</Def></Style>");
  EXPECT_EQ(weekly->m_lstStyleItem.size(), 2u);
}

// Breaks the tables one step further forward each time, so that each step in
// turn is the first to fail.
TEST_P(ManagerLoad, EachFailingStepNamesTheDatabasesReason) {
  InsertStyle(1, L"Loaded before", 1, L"'N'");
  InsertRemind(Id(1), 1, L"NULL", L"NULL");
  InsertAMMsg(1, Id(1), Shifted(COleDateTime::GetCurrentTime(), 1));
  // The table (or its column) each step reads, and what its message says failed.
  const std::tuple<CString, const wchar_t*, CString> steps[] = {
      {L"NORV_REMIND_MSG_AM", L"CN_S_RECEIVER_NAME", L"装载提醒消息(AM)列表"},
      {L"NORV_REMIND_REPEAT", nullptr, L"装载周期提醒的重复定义信息"},
      {L"NORV_REMIND_RECEIVE", nullptr, L"装载提醒的接收者信息"},
      {L"NORV_REMIND_DEF", L"CN_S_REMIND_STYLE_DEF", L"装载提醒列表"},
      {L"NORV_REMIND_MSG_AM", nullptr, L"删除今天之前的过期提醒未提醒的AM消息时"},
      {L"NORV_REMIND_DEF", nullptr, L"设置失效或是过期提醒失效时"},
      {L"NORV_REMIND_STYLE", nullptr, L"装载提醒样式定义信息"},
  };
  size_t step = std::size(steps);
  for (const auto& [table, column, what] : steps) {
    SCOPED_TRACE(testing::Message() << "step " << step);
    Exec(column ? L"ALTER TABLE " + table + L" DROP COLUMN " + column : L"DROP TABLE " + table);
    CNorvRemindMgr fresh;
    CString error;
    EXPECT_FALSE(fresh.InitData(session, dbType(), error));
    ASSERT_EQ(statements.size(), step);
    const CString reason =
        step == 2 || step == 3 ? ReasonOf(statements.back()) : QueryReasonOf(statements.back());
    EXPECT_FALSE(reason.IsEmpty());
    EXPECT_EQ(error, what + L"失败，原因：" + reason);
    // What the steps before did stays done.
    EXPECT_EQ(fresh.StyleList.size(), step > 1 ? 1u : 0u);
    EXPECT_EQ(fresh.RemindMap.size(), step > 4 ? 1u : 0u);
    --step;
  }
}

NORV_INSTANTIATE_BACKEND_TEST(ManagerLoad);

}  // namespace
