#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "NorvBackendTest.h"
#include "core/COleDateTimeSpan.h"
#include "manager/CNorvRemindMgr.h"

namespace {

using Texts = std::vector<std::wstring>;

constexpr wchar_t kStyleDef[] =
    L"<Def><Item Day=\"1\" Time=\"08:00\" /><Item Day=\"0\" Time=\"09:30\" /></Def>";

CString Id(int n) {
  CString id;
  id.Format(L"%08d-0000-4000-8000-000000000000", n);
  return id;
}

CGuid Guid(int n) {
  CGuid id;
  id.FromString1(Id(n));
  return id;
}

COleDateTime SecondsFromNow(const COleDateTime& now, int seconds) {
  return now + COleDateTimeSpan(0, 0, 0, seconds);
}

// Waits for the clock to turn to a new second, so that what follows has
// most of a second before "now" moves on.
COleDateTime FreshSecond() {
  const COleDateTime start = COleDateTime::GetCurrentTime();
  COleDateTime now = start;
  while (now == start) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    now = COleDateTime::GetCurrentTime();
  }
  return now;
}

class ManagerLoad : public norvtest::BackendTest {
 protected:
  // A date and time as this case's database kind stores it.
  CString Time(const COleDateTime& time) { return TimeSql(time.Format(L"%Y-%m-%d %H:%M:%S")); }
  CString Date(const COleDateTime& day) {
    CString value;
    if (dbType() == 1) {
      value.Format(L"to_date( '%s', 'yyyy-mm-dd' )", day.Format(L"%Y-%m-%d"));
    } else {
      value.Format(L"'%s'", day.Format(L"%Y-%m-%d"));
    }
    return value;
  }
  static CString Text(const CString& text) { return L"'" + text + L"'"; }

  void InsertRemind(const CString& id, int type, const CString& remindTime,
                    const CString& invalid, const CString& styleDef = L"NULL", int state = 0) {
    CString statement;
    statement.Format(
        L"INSERT INTO NORV_REMIND_DEF ( CN_G_ID, CN_N_STATE, CN_N_TYPE, CN_N_SEND_FLAG, CN_S_FROM, "
        L"CN_T_REMIND, CN_D_INVALID, CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_CONTENT, "
        L"CN_S_CONTENT_TYPE, CN_S_REMIND_STYLE_DEF ) VALUES ( '%s', %d, %d, 5, 'from-%s', %s, %s, "
        L"'creator', 'Creator Name', '2026-01-02 03:04:05', 'content of %s', 'Text/Html', %s )",
        id, state, type, id, remindTime, invalid, id, styleDef);
    Exec(statement);
  }

  void InsertStyle(int n, const CString& name, int order, const CString& flag,
                   const CString& def = kStyleDef, const CString& id = CString()) {
    CString statement;
    statement.Format(
        L"INSERT INTO NORV_REMIND_STYLE ( CN_G_ID, CN_S_NAME, CN_S_DEF, CN_N_ORDER, CN_C_DEFAULT, "
        L"CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_MODIFIER_ID, CN_S_MODIFIER_NAME, "
        L"CN_T_MODIFY ) VALUES ( '%s', '%s', '%s', %d, %s, 'c%d', 'Creator %d', "
        L"'2026-01-02 03:04:05', 'm%d', 'Modifier %d', '2026-02-03 04:05:06' )",
        id.IsEmpty() ? Id(n) : id, name, def, order, flag, n, n, n, n);
    Exec(statement);
  }

  void InsertReceiver(const CString& remindID, int type, const CString& name) {
    CString statement;
    statement.Format(
        L"INSERT INTO NORV_REMIND_RECEIVE ( CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, "
        L"CN_S_RECEIVE_NAME ) VALUES ( '%s', %d, 'id-%s', '%s' )",
        remindID, type, name, name);
    Exec(statement);
  }

  void InsertRepeat(const CString& remindID, const CString& start, const CString& end, int range,
                    int num, int count) {
    CString statement;
    statement.Format(
        L"INSERT INTO NORV_REMIND_REPEAT ( CN_G_REMIND_ID, CN_S_REMIND_TIME, CN_D_START, CN_D_END, "
        L"CN_N_REGULAR_TYPE, CN_N_INTERVAL, CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, "
        L"CN_N_REPEAT_NUM, CN_N_REPEAT_COUNT ) VALUES ( '%s', '08:30', %s, %s, 1, 2, 62, %d, %d, "
        L"%d )",
        remindID, start, end, range, num, count);
    Exec(statement);
  }

  void InsertAMMsg(int n, const CString& remindID, const CString& remindTime, int status) {
    CString statement;
    statement.Format(
        L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID, CN_G_REMIND_ID, CN_T_REMIND, "
        L"CN_S_CONTENT_TYPE, CN_S_CONTENT, CN_S_RECEIVER, CN_S_RECEIVER_NAME, CN_N_STATUS ) VALUES "
        L"( '%s', '%s', %s, 'Text/Text', 'message %d', 'user%d', 'User %d', %d )",
        Id(n), remindID, remindTime, n, n, n, status);
    Exec(statement);
  }

  int StateOf(const CString& id) {
    auto rows = Rows(L"SELECT CN_N_STATE FROM NORV_REMIND_DEF WHERE CN_G_ID = '" + id + L"'", 1);
    return rows.size() == 1 ? rows[0][0].ToInt() : -1;
  }

  Texts AMMsgRows() {
    Texts ids;
    for (auto& row : Rows(L"SELECT CN_G_ID, CN_N_STATUS FROM NORV_REMIND_MSG_AM ORDER BY CN_G_ID", 2)) {
      ids.push_back((row[0] + L":" + row[1]).str());
    }
    return ids;
  }

  Texts CheckListIDs() {
    Texts ids;
    for (CNorvRemindAMMsg* message : manager.RemindAMMsgList) ids.push_back(message->m_ID.GetString1().str());
    return ids;
  }

  Texts StyleNames() {
    Texts names;
    for (CNorvRemindStyle* style : manager.StyleList) names.push_back(style->GetName().str());
    return names;
  }

  // Breaks one table so that step `step` fails, runs InitData and checks
  // that no later step ran and that the message carries the database's own
  // reason for that step's statement.
  void ExpectStepFailure(size_t step, const CString& breakage, const wchar_t* message,
                         bool isQuery) {
    Exec(breakage);
    CString error;
    EXPECT_FALSE(manager.InitData(session, dbType(), error));
    ASSERT_EQ(statements.size(), step);
    const CString failed = statements.back();
    const CString reason = isQuery ? QueryReasonOf(failed) : ReasonOf(failed);
    EXPECT_FALSE(reason.IsEmpty());
    CString expected;
    expected.Format(message, reason);
    EXPECT_EQ(error, expected);
  }

  CNorvRemindMgr manager;
};

TEST_P(ManagerLoad, EmptyDatabaseLoadsNothingAndKeepsTheErrorText) {
  CString error = L"untouched";
  EXPECT_TRUE(manager.InitData(session, dbType(), error));
  EXPECT_EQ(error, L"untouched");
  EXPECT_TRUE(manager.StyleList.empty());
  EXPECT_TRUE(manager.RemindMap.empty());
  EXPECT_TRUE(manager.RemindAMMsgList.empty());
  EXPECT_TRUE(!manager.GetDefRemindStyle());
}

TEST_P(ManagerLoad, RunsTheStepsInOrderWithTheirStatements) {
  const COleDateTime from = COleDateTime::GetCurrentTime();
  CString error;
  ASSERT_TRUE(manager.InitData(session, dbType(), error));
  const COleDateTime to = COleDateTime::GetCurrentTime();
  ASSERT_EQ(statements.size(), 7u);

  EXPECT_EQ(statements[0],
            L"SELECT\tCN_G_ID, CN_S_NAME, CN_S_DEF, CN_N_ORDER, UPPER( CN_C_DEFAULT ), "
            L"CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_MODIFIER_ID, "
            L"CN_S_MODIFIER_NAME, CN_T_MODIFY FROM\tNORV_REMIND_STYLE ORDER BY CN_N_ORDER, "
            L"CN_S_NAME");
  const bool kindOne = dbType() == 1;
  EXPECT_TRUE(MatchesAtSomeSecond(
      statements[1],
      [&](const CString& now) {
        CString today = now.Left(10);
        today = kindOne ? L"to_date( '" + today + L"', 'yyyy-mm-dd' )" : L"'" + today + L"'";
        CString statement;
        statement.Format(
            L"UPDATE\tNORV_REMIND_DEF SET CN_N_STATE = 1 WHERE\t( (CN_T_REMIND <= %s AND "
            L"CN_N_TYPE = 0) OR (CN_D_INVALID <= %s AND CN_N_TYPE = 1) OR (CN_D_INVALID < %s AND "
            L"CN_N_TYPE = 2) ) AND\tCN_N_STATE = 0",
            TimeSql(now), today, today);
        return statement;
      },
      from, to))
      << statements[1].ToUtf8();
  EXPECT_TRUE(MatchesAtSomeSecond(
      statements[2],
      [&](const CString& cutOff) {
        return L"DELETE NORV_REMIND_MSG_AM WHERE CN_T_REMIND <= " + TimeSql(cutOff);
      },
      from - COleDateTimeSpan(0, 1, 0, 0), to - COleDateTimeSpan(0, 1, 0, 0)))
      << statements[2].ToUtf8();
  EXPECT_EQ(statements[3],
            L"SELECT\tCN_G_ID, CN_N_TYPE, CN_S_FROM, CN_S_CREATOR_ID, CN_S_CREATOR_NAME, "
            L"CN_T_CREATE, CN_T_REMIND, CN_D_INVALID, CN_N_SEND_FLAG, CN_S_CONTENT, "
            L"CN_S_CONTENT_TYPE, CN_S_REMIND_STYLE_DEF FROM\tNORV_REMIND_DEF WHERE\tCN_N_STATE = 0 "
            L"ORDER BY CN_G_ID");
  EXPECT_EQ(statements[4],
            L"SELECT\tCN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, CN_S_RECEIVE_NAME "
            L"FROM\tNORV_REMIND_RECEIVE WHERE\tCN_G_REMIND_ID IN (Select CN_G_ID From "
            L"NORV_REMIND_DEF Where CN_N_STATE = 0) ORDER BY CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, "
            L"CN_S_RECEIVE_NAME");
  EXPECT_EQ(statements[5],
            L"SELECT\tCN_G_REMIND_ID, CN_S_REMIND_TIME, CN_D_START, CN_D_END, CN_N_REGULAR_TYPE, "
            L"CN_N_INTERVAL, CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_N_REPEAT_NUM, "
            L"CN_N_REPEAT_COUNT FROM\tNORV_REMIND_REPEAT WHERE\tCN_G_REMIND_ID IN (Select CN_G_ID "
            L"From NORV_REMIND_DEF Where CN_N_TYPE = 1 And CN_N_STATE = 0) ORDER BY CN_G_REMIND_ID");
  EXPECT_EQ(statements[6],
            L"SELECT\tCN_G_REMIND_ID, CN_G_ID, CN_T_REMIND, CN_S_CONTENT, CN_S_CONTENT_TYPE, "
            L"CN_S_RECEIVER, CN_S_RECEIVER_NAME FROM\tNORV_REMIND_MSG_AM WHERE\tCN_N_STATUS = 0 "
            L"ORDER BY CN_T_REMIND");
}

TEST_P(ManagerLoad, ExpiresAtEveryBoundary) {
  const COleDateTime today = COleDateTime::GetCurrentTime();
  const COleDateTime yesterday = today - COleDateTimeSpan(1, 0, 0, 0);
  const COleDateTime tomorrow = today + COleDateTimeSpan(1, 0, 0, 0);
  InsertRemind(Id(3), 1, L"NULL", Date(today));
  InsertRemind(Id(4), 1, L"NULL", Date(yesterday));
  InsertRemind(Id(5), 1, L"NULL", Date(tomorrow));
  InsertRemind(Id(6), 1, L"NULL", L"NULL");
  InsertRemind(Id(7), 2, L"NULL", Date(today), Text(kStyleDef));
  InsertRemind(Id(8), 2, L"NULL", Date(yesterday), Text(kStyleDef));
  InsertRemind(Id(9), 0, Time(tomorrow), L"NULL", L"NULL", 1);  // expired before

  const COleDateTime now = FreshSecond();
  InsertAMMsg(21, Id(5), Time(SecondsFromNow(now, -59 * 60)), 0);
  InsertAMMsg(22, Id(5), Time(SecondsFromNow(now, -61 * 60)), 0);
  InsertAMMsg(23, Id(5), Time(SecondsFromNow(now, -61 * 60)), 1);
  InsertAMMsg(24, Id(5), Time(SecondsFromNow(now, -59 * 60)), 1);
  InsertAMMsg(25, Id(5), Time(SecondsFromNow(now, 2 * 3600)), 0);
  InsertAMMsg(26, Id(5), Time(SecondsFromNow(now, -30 * 60)), 3);
  InsertRemind(Id(1), 0, Time(SecondsFromNow(now, -1)), L"NULL");
  InsertRemind(Id(2), 0, Time(SecondsFromNow(now, 1)), L"NULL");
  CString error;
  ASSERT_TRUE(manager.InitData(session, dbType(), error)) << error.ToUtf8();

  EXPECT_EQ(StateOf(Id(1)), 1);  // one-off one second ago
  EXPECT_EQ(StateOf(Id(2)), 0);  // one-off in a second
  EXPECT_EQ(StateOf(Id(3)), 1);  // periodic ending today
  EXPECT_EQ(StateOf(Id(4)), 1);
  EXPECT_EQ(StateOf(Id(5)), 0);
  EXPECT_EQ(StateOf(Id(6)), 0);  // periodic without an end
  EXPECT_EQ(StateOf(Id(7)), 0);  // custom style: its deadline day still counts
  EXPECT_EQ(StateOf(Id(8)), 1);
  Texts loaded;
  for (const auto& [id, remind] : manager.RemindMap) loaded.push_back(id.GetString1().str());
  EXPECT_EQ(loaded, (Texts{Id(2).str(), Id(5).str(), Id(6).str(), Id(7).str()}));
  EXPECT_EQ(manager.GetRemind(Guid(6))->m_dtInvalid.GetStatus(), COleDateTime::null);

  EXPECT_EQ(AMMsgRows(),
            (Texts{Id(21).str() + L":0", Id(24).str() + L":1", Id(25).str() + L":0",
                   Id(26).str() + L":3"}));
  EXPECT_EQ(CheckListIDs(), (Texts{Id(21).str(), Id(25).str()}));
}

TEST_P(ManagerLoad, ExpiresWaitingMessagesAnHourOld) {
  const COleDateTime now = FreshSecond();
  InsertAMMsg(1, Id(9), Time(SecondsFromNow(now, -59 * 60)), 0);
  InsertAMMsg(2, Id(9), Time(SecondsFromNow(now, -61 * 60)), 0);
  InsertAMMsg(3, Id(9), Time(SecondsFromNow(now, -61 * 60)), 1);
  const COleDateTime from = COleDateTime::GetCurrentTime();
  CString error;
  ASSERT_TRUE(manager.DBSetRemindAMMsgInvalid(session, dbType(), &error)) << error.ToUtf8();
  const COleDateTime to = COleDateTime::GetCurrentTime();

  ASSERT_EQ(statements.size(), 1u);
  EXPECT_TRUE(MatchesAtSomeSecond(
      statements[0],
      [&](const CString& cutOff) {
        return L"UPDATE\tNORV_REMIND_MSG_AM SET CN_N_STATUS = 3 WHERE\tCN_T_REMIND <= " +
               TimeSql(cutOff) + L" AND\tCN_N_STATUS = 0";
      },
      from - COleDateTimeSpan(0, 1, 0, 0), to - COleDateTimeSpan(0, 1, 0, 0)))
      << statements[0].ToUtf8();
  EXPECT_EQ(AMMsgRows(), (Texts{Id(1).str() + L":0", Id(2).str() + L":3", Id(3).str() + L":1"}));
}

TEST_P(ManagerLoad, LoadsStylesInQueryOrderAndSkipsUnusableOnes) {
  InsertStyle(1, L"Weekly", 1, L"'y'");
  InsertStyle(2, L"WEEKLY", 2, L"'N'");                        // same name, other case
  InsertStyle(3, L"Broken", 3, L"'N'", L"<Item Day=\"1\"");  // definition does not parse
  InsertStyle(4, L"No id", 4, L"'N'", kStyleDef, L"not-an-id");
  InsertStyle(5, L"Monthly", 5, L"'Y'");
  InsertStyle(6, L"Daily", 0, L"NULL");
  CString error;
  ASSERT_TRUE(manager.InitData(session, dbType(), error)) << error.ToUtf8();

  EXPECT_EQ(StyleNames(), (Texts{L"Daily", L"Weekly", L"Monthly"}));
  EXPECT_TRUE(manager.GetDefRemindStyle() == manager.GetRemindStyle(L"monthly"));
  CNorvBasePtr<CNorvRemindStyle> weekly = manager.GetRemindStyle(Guid(1));
  ASSERT_FALSE(!weekly);
  EXPECT_TRUE(weekly->IsDefault());
  EXPECT_FALSE(manager.GetRemindStyle(L"daily")->IsDefault());
  EXPECT_EQ(weekly->m_strDef, kStyleDef);
  EXPECT_EQ(weekly->m_lstStyleItem.size(), 2u);
  EXPECT_EQ(weekly->GetOrder(), 1);
  EXPECT_EQ(weekly->m_strCreatorID, L"c1");
  EXPECT_EQ(weekly->m_strCreatorName, L"Creator 1");
  EXPECT_EQ(weekly->m_strModifierID, L"m1");
  EXPECT_EQ(weekly->m_strModifierName, L"Modifier 1");
  COleDateTime created, modified;
  EXPECT_TRUE(created.ParseDateTime(weekly->m_strCreateTime));
  EXPECT_TRUE(modified.ParseDateTime(weekly->m_strModifyTime));
  EXPECT_EQ(created.Format(L"%Y-%m-%d %H:%M:%S"), L"2026-01-02 03:04:05");
  EXPECT_EQ(modified.Format(L"%Y-%m-%d %H:%M:%S"), L"2026-02-03 04:05:06");
}

TEST_P(ManagerLoad, DropsRemindsThatCannotFire) {
  const COleDateTime tomorrow = COleDateTime::GetCurrentTime() + COleDateTimeSpan(1, 0, 0, 0);
  InsertRemind(Id(1), 0, L"NULL", L"NULL");                            // one-off without time
  InsertRemind(Id(2), 2, L"NULL", L"NULL", Text(kStyleDef));           // custom without deadline
  InsertRemind(Id(3), 2, L"NULL", Date(tomorrow), L"''");              // custom, empty style
  InsertRemind(Id(4), 2, L"NULL", Date(tomorrow), L"NULL");
  InsertRemind(Id(5), 2, L"NULL", Date(tomorrow), L"'<Item Day=''x'''");  // malformed style
  InsertRemind(Id(6), 5, L"NULL", L"NULL");                            // other type, no deadline
  InsertRemind(L"not-an-id", 1, L"NULL", L"NULL");
  InsertRemind(Id(7), 2, L"NULL", Date(tomorrow), Text(kStyleDef));
  InsertRemind(Id(8), 5, L"NULL", Date(tomorrow));
  InsertRemind(Id(9), 0, Time(tomorrow), L"NULL");
  CString error;
  ASSERT_TRUE(manager.InitData(session, dbType(), error)) << error.ToUtf8();

  Texts loaded;
  for (const auto& [id, remind] : manager.RemindMap) loaded.push_back(id.GetString1().str());
  EXPECT_EQ(loaded, (Texts{Id(7).str(), Id(8).str(), Id(9).str()}));

  CNorvBasePtr<CNorvRemind> custom = manager.GetRemind(Guid(7));
  EXPECT_EQ(custom->m_nType, 2);
  EXPECT_EQ(custom->m_nState, 0);
  EXPECT_EQ(custom->m_nSendFlag, 5);
  EXPECT_EQ(custom->m_strFrom, L"from-" + Id(7));
  EXPECT_EQ(custom->m_strCreatorID, L"creator");
  EXPECT_EQ(custom->m_strCreatorName, L"Creator Name");
  EXPECT_EQ(custom->m_strContent, L"content of " + Id(7));
  EXPECT_EQ(custom->m_strContentType, L"Text/Html");
  EXPECT_EQ(custom->m_strRemindStyleDef, kStyleDef);
  EXPECT_EQ(custom->m_lstStyleItem.size(), 2u);
  EXPECT_EQ(custom->m_dtInvalid.Format(L"%Y-%m-%d %H:%M:%S"),
            tomorrow.Format(L"%Y-%m-%d") + L" 00:00:00");
  COleDateTime created;
  EXPECT_TRUE(created.ParseDateTime(custom->m_strCreateTime));
  EXPECT_EQ(created.Format(L"%Y-%m-%d %H:%M:%S"), L"2026-01-02 03:04:05");

  CNorvBasePtr<CNorvRemind> oneOff = manager.GetRemind(Guid(9));
  EXPECT_EQ(oneOff->m_dtRemind.Format(L"%Y-%m-%d %H:%M:%S"),
            tomorrow.Format(L"%Y-%m-%d %H:%M:%S"));
  EXPECT_EQ(oneOff->m_dtInvalid.GetStatus(), COleDateTime::null);
  EXPECT_TRUE(oneOff->m_strRemindStyleDef.IsEmpty());
}

TEST_P(ManagerLoad, AttachesReceiversAndRepeatsToLoadedRemindsOnly) {
  const COleDateTime today = COleDateTime::GetCurrentTime();
  InsertRemind(Id(1), 1, L"NULL", L"NULL");
  InsertRemind(Id(2), 1, L"NULL", L"NULL");
  InsertRemind(Id(3), 1, L"NULL", Date(today));       // expires at start
  InsertRemind(Id(4), 2, L"NULL", L"NULL", Text(kStyleDef));  // dropped while loading
  for (int remind : {1, 3, 4, 2}) {
    InsertReceiver(Id(remind), 2, L"Zed");
    InsertReceiver(Id(remind), 1, L"Bob");
    InsertReceiver(Id(remind), 1, L"Al");
  }
  InsertReceiver(L"not-an-id", 1, L"Nobody");
  InsertRepeat(Id(1), Date(COleDateTime(2026, 1, 5, 0, 0, 0)), L"NULL", 1, 10, 3);
  InsertRepeat(Id(2), L"NULL", Date(COleDateTime(2026, 12, 31, 0, 0, 0)), 0, 7, 2);
  InsertRepeat(Id(3), Date(today), L"NULL", 1, 4, 4);
  CString error;
  ASSERT_TRUE(manager.InitData(session, dbType(), error)) << error.ToUtf8();
  ASSERT_EQ(manager.RemindMap.size(), 2u);

  for (int n : {1, 2}) {
    std::list<CNorvBasePtr<CEmItem>> receivers;
    manager.GetRemind(Guid(n))->GetReceiverList(receivers);
    Texts names;
    for (CEmItem* receiver : receivers) {
      CString text;
      text.Format(L"%d:%s:%s", receiver->m_nReceiveType, receiver->m_strReceiveID,
                  receiver->m_strReceiveName);
      names.push_back(text.str());
    }
    EXPECT_EQ(names, (Texts{L"1:id-Al:Al", L"1:id-Bob:Bob", L"2:id-Zed:Zed"})) << n;
  }

  const CNorvRemindRepeat& counted = manager.GetRemind(Guid(1))->m_Repeat;
  EXPECT_EQ(counted.m_strRemindTime, L"08:30");
  EXPECT_EQ(counted.m_dtStart.Format(L"%Y-%m-%d"), L"2026-01-05");
  EXPECT_EQ(counted.m_dtEnd.GetStatus(), COleDateTime::null);
  EXPECT_EQ(counted.m_nRegularType, 1);
  EXPECT_EQ(counted.m_nInterval, 2);
  EXPECT_EQ(counted.m_nRegularValue, 62);
  EXPECT_EQ(counted.m_nRegularRange, 1);
  EXPECT_EQ(counted.m_nNum, 10);
  EXPECT_EQ(counted.m_nCount, 3);

  const CNorvRemindRepeat& open = manager.GetRemind(Guid(2))->m_Repeat;
  EXPECT_EQ(open.m_dtStart.GetStatus(), COleDateTime::invalid);
  EXPECT_EQ(open.m_dtEnd.Format(L"%Y-%m-%d"), L"2026-12-31");
  EXPECT_EQ(open.m_nRegularRange, 0);
  EXPECT_EQ(open.m_nNum, CNorvRemindRepeat().m_nNum);
  EXPECT_EQ(open.m_nCount, CNorvRemindRepeat().m_nCount);
}

TEST_P(ManagerLoad, PutsWaitingMessagesOnTheCheckListInTimeOrder) {
  const COleDateTime now = COleDateTime::GetCurrentTime();
  InsertRemind(Id(1), 1, L"NULL", L"NULL");
  InsertRemind(Id(2), 1, L"NULL", L"NULL");
  InsertAMMsg(14, Id(1), Time(SecondsFromNow(now, 4 * 3600)), 0);
  InsertAMMsg(11, Id(1), Time(SecondsFromNow(now, 1 * 3600)), 0);
  InsertAMMsg(13, L"not-an-id", Time(SecondsFromNow(now, 3 * 3600)), 0);
  InsertAMMsg(12, Id(9), Time(SecondsFromNow(now, 2 * 3600)), 0);  // remind not loaded
  InsertAMMsg(15, Id(2), Time(SecondsFromNow(now, 5 * 3600)), 0);
  InsertAMMsg(16, Id(1), Time(SecondsFromNow(now, 6 * 3600)), 1);  // already sent
  CString error;
  ASSERT_TRUE(manager.InitData(session, dbType(), error)) << error.ToUtf8();

  EXPECT_EQ(CheckListIDs(), (Texts{Id(11).str(), Id(12).str(), Id(13).str(), Id(14).str(),
                                   Id(15).str()}));
  std::list<CNorvBasePtr<CNorvRemindAMMsg>> pending;
  manager.GetRemind(Guid(1))->GetAMMsgList(pending);
  Texts ofFirst;
  for (CNorvRemindAMMsg* message : pending) ofFirst.push_back(message->m_ID.GetString1().str());
  EXPECT_EQ(ofFirst, (Texts{Id(11).str(), Id(14).str()}));
  manager.GetRemind(Guid(2))->GetAMMsgList(pending);
  EXPECT_EQ(pending.size(), 1u);

  CNorvRemindAMMsg* first = manager.RemindAMMsgList.front();
  EXPECT_TRUE(first->m_RemindID == Guid(1));
  EXPECT_EQ(first->m_strContent, L"message 11");
  EXPECT_EQ(first->m_strContentType, L"Text/Text");
  EXPECT_EQ(first->m_strReceiver, L"user11");
  EXPECT_EQ(first->m_strReceiverName, L"User 11");
  EXPECT_EQ(first->GetRemindTime().Format(L"%Y-%m-%d %H:%M:%S"),
            SecondsFromNow(now, 3600).Format(L"%Y-%m-%d %H:%M:%S"));
  auto second = std::next(manager.RemindAMMsgList.begin());
  EXPECT_TRUE((*second)->m_RemindID == Guid(9));
  auto third = std::next(second);
  EXPECT_FALSE((*third)->m_RemindID.IsValid());
}

TEST_P(ManagerLoad, StyleStepFailureNamesTheReason) {
  ExpectStepFailure(1, L"DROP TABLE NORV_REMIND_STYLE", L"装载提醒样式定义信息失败，原因：%s",
                    true);
}

TEST_P(ManagerLoad, RemindExpiryFailureNamesTheReason) {
  InsertStyle(1, L"Loaded before", 1, L"'N'");
  ExpectStepFailure(2, L"DROP TABLE NORV_REMIND_DEF",
                    L"设置失效或是过期提醒失效时失败，原因：%s", false);
  EXPECT_EQ(StyleNames(), Texts{L"Loaded before"});
}

TEST_P(ManagerLoad, MessageCleanUpFailureNamesTheReason) {
  ExpectStepFailure(3, L"DROP TABLE NORV_REMIND_MSG_AM",
                    L"删除今天之前的过期提醒未提醒的AM消息时失败，原因：%s", false);
}

TEST_P(ManagerLoad, RemindLoadFailureNamesTheReason) {
  InsertRemind(Id(1), 1, L"NULL", L"NULL");
  ExpectStepFailure(4, L"ALTER TABLE NORV_REMIND_DEF DROP COLUMN CN_S_REMIND_STYLE_DEF",
                    L"装载提醒列表失败，原因：%s", true);
  EXPECT_TRUE(manager.RemindMap.empty());
}

TEST_P(ManagerLoad, ReceiverLoadFailureNamesTheReason) {
  InsertRemind(Id(1), 1, L"NULL", L"NULL");
  ExpectStepFailure(5, L"DROP TABLE NORV_REMIND_RECEIVE", L"装载提醒的接收者信息失败，原因：%s",
                    true);
  EXPECT_EQ(manager.RemindMap.size(), 1u);
}

TEST_P(ManagerLoad, RepeatLoadFailureNamesTheReason) {
  ExpectStepFailure(6, L"DROP TABLE NORV_REMIND_REPEAT",
                    L"装载周期提醒的重复定义信息失败，原因：%s", true);
}

TEST_P(ManagerLoad, MessageLoadFailureNamesTheReason) {
  InsertAMMsg(1, Id(1), Time(COleDateTime::GetCurrentTime() + COleDateTimeSpan(1, 0, 0, 0)), 0);
  ExpectStepFailure(7, L"ALTER TABLE NORV_REMIND_MSG_AM DROP COLUMN CN_S_RECEIVER_NAME",
                    L"装载提醒消息(AM)列表失败，原因：%s", true);
  EXPECT_TRUE(manager.RemindAMMsgList.empty());
}

NORV_INSTANTIATE_BACKEND_TEST(ManagerLoad);

}  // namespace
