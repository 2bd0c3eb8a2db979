#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "NorvBackendTest.h"
#include "core/CStringArray.h"
#include "remind/CNorvRemind.h"

namespace {

const wchar_t kRemindID[] = L"0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9";
const wchar_t kStyleDef[] =
    L"<Def note='C:\\x'><Item Day='1' Time='9:00' /><Item Day='0' Time='17:30' /></Def>";

CNorvBasePtr<CEmItem> Receiver(short type, const wchar_t* id, const wchar_t* name) {
  CNorvBasePtr<CEmItem> receiver = new CEmItem;
  receiver->m_nReceiveType = type;
  receiver->m_strReceiveID = id;
  receiver->m_strReceiveName = name;
  return receiver;
}

// A remind of the given type with every field set, quotes, backslashes and
// percent signs in every free text, and receivers in the order they load in.
CNorvBasePtr<CNorvRemind> NewRemind(short type) {
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  remind->m_ID.FromString1(kRemindID);
  remind->m_nType = type;
  remind->m_nSendFlag = 5;
  remind->m_strFrom = L"web 'portal' \\ x";
  remind->m_strCreatorID = L"u'1";
  remind->m_strCreatorName = L"Ann \\ O'Neil";
  remind->m_strContent = L"Pay 100% of Bob's bill %s \\n";
  remind->m_strContentType = L"Text/'Html'";
  remind->m_lstReceiver.push_back(Receiver(0, L"ann's", L"Ann \\"));
  remind->m_lstReceiver.push_back(Receiver(1, L"bob", L"Bob 'B'"));
  if (type == CNorvRemind::kOneOff) remind->m_dtRemind = COleDateTime(2026, 5, 6, 7, 8, 9);
  if (type == CNorvRemind::kCustomStyle) {
    remind->m_dtInvalid = COleDateTime(2026, 6, 30, 0, 0, 0);
    remind->m_strRemindStyleDef = kStyleDef;
  }
  if (type == CNorvRemind::kPeriodic) {
    remind->m_dtInvalid = COleDateTime(2026, 12, 31, 0, 0, 0);
    CNorvRemindRepeat& repeat = remind->m_Repeat;
    repeat.m_strRemindTime = L"08:30";
    repeat.m_nRegularType = 1;
    repeat.m_nInterval = 2;
    repeat.m_nRegularValue = 3;
    repeat.m_nRegularRange = 1;
    repeat.m_dtStart = COleDateTime(2026, 1, 1, 0, 0, 0);
    repeat.m_dtEnd = COleDateTime(2026, 11, 30, 0, 0, 0);
    repeat.m_nNum = 10;
    repeat.m_nCount = 2;
  }
  return remind;
}

void ExpectSameRepeat(const CNorvRemindRepeat& loaded, const CNorvRemindRepeat& original) {
  EXPECT_EQ(loaded.m_strRemindTime, original.m_strRemindTime);
  EXPECT_EQ(loaded.m_nRegularType, original.m_nRegularType);
  EXPECT_EQ(loaded.m_nInterval, original.m_nInterval);
  EXPECT_EQ(loaded.m_nRegularValue, original.m_nRegularValue);
  EXPECT_EQ(loaded.m_nRegularRange, original.m_nRegularRange);
  EXPECT_EQ(loaded.m_dtStart, original.m_dtStart);
  EXPECT_EQ(loaded.m_dtEnd, original.m_dtEnd);
  EXPECT_EQ(loaded.m_nNum, original.m_nNum);
  EXPECT_EQ(loaded.m_nCount, original.m_nCount);
}

void ExpectSameDefinition(CNorvRemind& loaded, CNorvRemind& original) {
  EXPECT_EQ(loaded.m_ID, original.m_ID);
  EXPECT_EQ(loaded.m_nState, original.m_nState);
  EXPECT_EQ(loaded.m_nType, original.m_nType);
  EXPECT_EQ(loaded.m_nSendFlag, original.m_nSendFlag);
  EXPECT_EQ(loaded.m_strFrom, original.m_strFrom);
  EXPECT_EQ(loaded.m_dtRemind, original.m_dtRemind);
  EXPECT_EQ(loaded.m_dtInvalid, original.m_dtInvalid);
  EXPECT_EQ(loaded.m_strCreatorID, original.m_strCreatorID);
  EXPECT_EQ(loaded.m_strCreatorName, original.m_strCreatorName);
  EXPECT_EQ(loaded.m_strContent, original.m_strContent);
  EXPECT_EQ(loaded.m_strContentType, original.m_strContentType);
  EXPECT_EQ(loaded.m_strRemindStyleDef, original.m_strRemindStyleDef);
  EXPECT_EQ(loaded.GenReceiverInfo_XML(), original.GenReceiverInfo_XML());
  ExpectSameRepeat(loaded.m_Repeat, original.m_Repeat);
}

class CNorvRemindDBTest : public norvtest::BackendTest {
 protected:
  // The definition insert with the given remind time and deadline values,
  // created at `now`.
  CString ExpectedInsert(short type, const CString& remindTime, const CString& deadline,
                         const CString& now, const CString& styleDef) {
    CString statement;
    statement.Format(
        L"INSERT INTO NORV_REMIND_DEF ( CN_G_ID, CN_N_STATE, CN_N_TYPE, CN_N_SEND_FLAG, CN_S_FROM, "
        L"CN_T_REMIND, CN_D_INVALID, CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_CONTENT, "
        L"CN_S_CONTENT_TYPE, CN_S_REMIND_STYLE_DEF ) VALUES ( "
        L"'0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9', 0, %d, 5, 'web ''portal'' \\ x', %s, %s, "
        L"'u''1', 'Ann \\ O''Neil', %s, 'Pay 100%% of Bob''s bill %%s \\n', 'Text/''Html''', "
        L"'%s' )",
        type, remindTime, deadline, TimeSql(now), styleDef);
    return statement;
  }

  // Inserts the remind with its receivers; checks the definition statement.
  void Store(CNorvRemind& remind, const CString& remindTime, const CString& deadline) {
    CString error;
    COleDateTime before = COleDateTime::GetCurrentTime();
    ASSERT_TRUE(remind.DBInsert(session, dbType(), &error)) << error.ToUtf8();
    COleDateTime after = COleDateTime::GetCurrentTime();
    ASSERT_FALSE(statements.empty());
    CString styleDef = remind.m_nType == CNorvRemind::kCustomStyle
                           ? L"<Def note=''C:\\x''><Item Day=''1'' Time=''9:00'' />"
                             L"<Item Day=''0'' Time=''17:30'' /></Def>"
                           : L"";
    EXPECT_TRUE(MatchesAtSomeSecond(
        statements.front(),
        [&](const CString& now) {
          return ExpectedInsert(remind.m_nType, remindTime, deadline, now, styleDef);
        },
        before, after))
        << statements.front().ToUtf8();
    ASSERT_TRUE(remind.DBInsertReceiver(session, &error)) << error.ToUtf8();
    statements.clear();
  }

  int RepeatRows() {
    return static_cast<int>(Rows(L"SELECT CN_G_REMIND_ID FROM NORV_REMIND_REPEAT", 1).size());
  }

  CGuid ID() {
    CGuid id;
    id.FromString1(kRemindID);
    return id;
  }
};

TEST_P(CNorvRemindDBTest, OneOffRemindRoundTrips) {
  CNorvBasePtr<CNorvRemind> remind = NewRemind(CNorvRemind::kOneOff);
  COleDateTime before = COleDateTime::GetCurrentTime();
  Store(*remind, TimeSql(L"2026-05-06 07:08:09"), L"NULL");
  COleDateTime after = COleDateTime::GetCurrentTime();
  EXPECT_EQ(RepeatRows(), 0);

  CNorvBasePtr<CNorvRemind> loaded = new CNorvRemind;
  CString error;
  ASSERT_EQ(loaded->DBLoadData(session, ID(), error), 1) << error.ToUtf8();
  ExpectSameDefinition(*loaded, *remind);
  EXPECT_EQ(loaded->m_dtInvalid.GetStatus(), COleDateTime::null);
  COleDateTime created;
  ASSERT_TRUE(created.ParseDateTime(loaded->m_strCreateTime)) << loaded->m_strCreateTime.ToUtf8();
  EXPECT_TRUE(created >= before && created <= after);
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(statements[0],
            L"SELECT\tCN_N_STATE, CN_N_TYPE, CN_N_SEND_FLAG, CN_S_FROM, CN_T_REMIND, CN_D_INVALID, "
            L"CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_CONTENT, CN_S_CONTENT_TYPE, "
            L"CN_S_REMIND_STYLE_DEF FROM\tNORV_REMIND_DEF WHERE\t"
            L"CN_G_ID = '0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9'");
  EXPECT_EQ(statements[1],
            L"SELECT\tCN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, CN_S_RECEIVE_NAME FROM\t"
            L"NORV_REMIND_RECEIVE WHERE\tCN_G_REMIND_ID = '0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9' "
            L"ORDER BY CN_N_RECEIVE_TYPE, CN_S_RECEIVE_NAME");
}

TEST_P(CNorvRemindDBTest, PeriodicRemindRoundTripsWithItsRepeat) {
  CNorvBasePtr<CNorvRemind> remind = NewRemind(CNorvRemind::kPeriodic);
  Store(*remind, L"NULL", TimeSql(L"2026-12-31 00:00:00"));
  EXPECT_EQ(RepeatRows(), 1);

  CNorvBasePtr<CNorvRemind> loaded = new CNorvRemind;
  CString error;
  ASSERT_EQ(loaded->DBLoadData(session, ID(), error), 1) << error.ToUtf8();
  ExpectSameDefinition(*loaded, *remind);
  EXPECT_EQ(statements.size(), 3u);  // definition, receivers, repeat
}

TEST_P(CNorvRemindDBTest, CustomStyleRemindRoundTripsWithItsItems) {
  CNorvBasePtr<CNorvRemind> remind = NewRemind(CNorvRemind::kCustomStyle);
  Store(*remind, L"NULL",
        dbType() == 1 ? CString(L"to_date( '2026-06-30', 'yyyy-mm-dd' )")
                      : CString(L"'2026-06-30 00:00:00'"));
  EXPECT_EQ(RepeatRows(), 0);

  CNorvBasePtr<CNorvRemind> loaded = new CNorvRemind;
  CString error;
  ASSERT_EQ(loaded->DBLoadData(session, ID(), error), 1) << error.ToUtf8();
  ExpectSameDefinition(*loaded, *remind);
  ASSERT_EQ(loaded->m_lstStyleItem.size(), 2u);
  EXPECT_EQ(loaded->m_lstStyleItem.front()->GenInfo_XML(), L"<Item Day='1' Time='09:00' />");
  EXPECT_EQ(loaded->m_lstStyleItem.back()->GenInfo_XML(), L"<Item Day='0' Time='17:30' />");
}

TEST_P(CNorvRemindDBTest, UnsetTimesAreStoredAsNull) {
  CNorvBasePtr<CNorvRemind> periodic = NewRemind(CNorvRemind::kPeriodic);
  periodic->m_dtInvalid = COleDateTime();
  Store(*periodic, L"NULL", L"NULL");
  EXPECT_EQ(RepeatRows(), 1);
  CNorvBasePtr<CNorvRemind> loaded = new CNorvRemind;
  CString error;
  ASSERT_EQ(loaded->DBLoadData(session, ID(), error), 1) << error.ToUtf8();
  EXPECT_EQ(loaded->m_dtInvalid.GetStatus(), COleDateTime::null);

  // A one-off remind never reads the deadline column.
  Exec(L"UPDATE NORV_REMIND_DEF SET CN_N_TYPE = 0, CN_T_REMIND = '2026-05-06 07:08:09', "
       L"CN_D_INVALID = '2026-06-30 00:00:00'");
  loaded = new CNorvRemind;
  ASSERT_EQ(loaded->DBLoadData(session, ID(), error), 1) << error.ToUtf8();
  EXPECT_EQ(loaded->m_dtInvalid.GetStatus(), COleDateTime::null);
  EXPECT_EQ(loaded->m_dtRemind, COleDateTime(2026, 5, 6, 7, 8, 9));
}

TEST_P(CNorvRemindDBTest, UpdateFollowsEveryChangeOfType) {
  CNorvBasePtr<CNorvRemind> remind = NewRemind(CNorvRemind::kPeriodic);
  Store(*remind, L"NULL", TimeSql(L"2026-12-31 00:00:00"));
  CString error;
  CString update =
      L"UPDATE NORV_REMIND_DEF SET CN_N_STATE = 0, CN_N_TYPE = %d, CN_N_SEND_FLAG = 5, "
      L"CN_T_REMIND = %s, CN_D_INVALID = %s, CN_S_CONTENT = 'Pay 100%% of Bob''s bill %%s \\n', "
      L"CN_S_CONTENT_TYPE = 'Text/''Html''', CN_S_REMIND_STYLE_DEF = '' "
      L"WHERE CN_G_ID = '0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9'";
  CString expected;

  // Periodic stays periodic: the repeat row is updated.
  remind->m_Repeat.m_strRemindTime = L"21:15";
  ASSERT_TRUE(remind->DBUpdate(session, dbType(), CNorvRemind::kPeriodic, &error))
      << error.ToUtf8();
  ASSERT_EQ(statements.size(), 2u);
  expected.Format(update, 1, L"NULL", TimeSql(L"2026-12-31 00:00:00"));
  EXPECT_EQ(statements[0], expected);
  EXPECT_EQ(statements[1].Left(26), L"UPDATE NORV_REMIND_REPEAT ");
  EXPECT_EQ(Rows(L"SELECT CN_S_REMIND_TIME FROM NORV_REMIND_REPEAT", 1).at(0).at(0), L"21:15");
  statements.clear();

  // Periodic becomes one-off: the repeat row goes.
  remind->m_nType = CNorvRemind::kOneOff;
  remind->m_dtRemind = COleDateTime(2026, 7, 1, 12, 0, 0);
  ASSERT_TRUE(remind->DBUpdate(session, dbType(), CNorvRemind::kPeriodic, &error))
      << error.ToUtf8();
  ASSERT_EQ(statements.size(), 2u);
  expected.Format(update, 0, TimeSql(L"2026-07-01 12:00:00"), L"NULL");
  EXPECT_EQ(statements[0], expected);
  EXPECT_EQ(statements[1],
            L"DELETE NORV_REMIND_REPEAT WHERE CN_G_REMIND_ID = '0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9'");
  EXPECT_EQ(RepeatRows(), 0);
  statements.clear();

  // Neither side periodic: the definition row alone.
  remind->m_nType = CNorvRemind::kCustomStyle;
  remind->m_dtInvalid = COleDateTime(2026, 8, 9, 0, 0, 0);
  ASSERT_TRUE(remind->DBUpdate(session, dbType(), CNorvRemind::kOneOff, &error)) << error.ToUtf8();
  ASSERT_EQ(statements.size(), 1u);
  EXPECT_EQ(RepeatRows(), 0);
  statements.clear();

  // Back to periodic: the repeat row returns.
  remind->m_nType = CNorvRemind::kPeriodic;
  ASSERT_TRUE(remind->DBUpdate(session, dbType(), CNorvRemind::kCustomStyle, &error))
      << error.ToUtf8();
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(statements[1].Left(31), L"INSERT INTO NORV_REMIND_REPEAT ");
  EXPECT_EQ(RepeatRows(), 1);

  CNorvBasePtr<CNorvRemind> loaded = new CNorvRemind;
  ASSERT_EQ(loaded->DBLoadData(session, ID(), error), 1) << error.ToUtf8();
  EXPECT_EQ(loaded->m_nType, CNorvRemind::kPeriodic);
  EXPECT_EQ(loaded->m_dtInvalid, COleDateTime(2026, 8, 9, 0, 0, 0));
  EXPECT_EQ(loaded->m_Repeat.m_strRemindTime, L"21:15");
}

TEST_P(CNorvRemindDBTest, StateDeleteAndReceiverDeleteTouchOnlyTheirRows) {
  CNorvBasePtr<CNorvRemind> remind = NewRemind(CNorvRemind::kPeriodic);
  Store(*remind, L"NULL", TimeSql(L"2026-12-31 00:00:00"));
  CString error;
  ASSERT_TRUE(CNorvRemind::DBSetState(session, ID(), 1, &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(), L"UPDATE NORV_REMIND_DEF SET CN_N_STATE = 1 "
                             L"WHERE CN_G_ID = '0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9'");
  EXPECT_EQ(Rows(L"SELECT CN_N_STATE FROM NORV_REMIND_DEF", 1).at(0).at(0), L"1");

  ASSERT_TRUE(CNorvRemind::DBDeleteReceiver(session, ID(), &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(), L"DELETE NORV_REMIND_RECEIVE "
                             L"WHERE CN_G_REMIND_ID = '0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9'");
  EXPECT_TRUE(Rows(L"SELECT CN_G_REMIND_ID FROM NORV_REMIND_RECEIVE", 1).empty());

  ASSERT_TRUE(CNorvRemind::DBDelete(session, ID(), &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"DELETE NORV_REMIND_DEF WHERE CN_G_ID = '0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9'");
  EXPECT_TRUE(Rows(L"SELECT CN_G_ID FROM NORV_REMIND_DEF", 1).empty());
  EXPECT_EQ(RepeatRows(), 1);
}

TEST_P(CNorvRemindDBTest, ReceiversAreInsertedInOrder) {
  CNorvBasePtr<CNorvRemind> remind = NewRemind(CNorvRemind::kOneOff);
  CString error;
  ASSERT_TRUE(remind->DBInsertReceiver(session, &error)) << error.ToUtf8();
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(statements[0],
            L"INSERT INTO NORV_REMIND_RECEIVE ( CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, "
            L"CN_S_RECEIVE_NAME ) VALUES ( '0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9', 0, 'ann''s', "
            L"'Ann \\' )");
  EXPECT_EQ(statements[1],
            L"INSERT INTO NORV_REMIND_RECEIVE ( CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, "
            L"CN_S_RECEIVE_NAME ) VALUES ( '0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9', 1, 'bob', "
            L"'Bob ''B''' )");
  statements.clear();
  remind->m_lstReceiver.clear();
  ASSERT_TRUE(remind->DBInsertReceiver(session, &error)) << error.ToUtf8();
  EXPECT_TRUE(statements.empty());
}

TEST_P(CNorvRemindDBTest, InsertMsgWritesOneRowPerReceiver) {
  CNorvBasePtr<CNorvRemind> remind = NewRemind(CNorvRemind::kOneOff);
  remind->m_strContent = L"100% done %s %d '%%s' \\";
  CStringArray receivers;
  CStringArray names;
  const wchar_t* people[][2] = {{L"ann", L"Ann %s"}, {L"bob's", L"Bob 'B' %d"}, {L"cy\\", L"Cy"}};
  for (auto& person : people) {
    receivers.Add(person[0]);
    names.Add(person[1]);
  }
  CString error;
  ASSERT_TRUE(remind->DBInsertMsg(session, dbType(), receivers, names,
                                  COleDateTime(2026, 5, 6, 7, 8, 9), &error))
      << error.ToUtf8();
  ASSERT_EQ(statements.size(), 3u);
  std::vector<CString> logged = statements;

  std::vector<std::vector<CString>> rows =
      Rows(L"SELECT CN_G_ID, CN_G_REMIND_ID, CN_S_CONTENT, CN_S_CONTENT_TYPE, CN_S_RECEIVER, "
           L"CN_S_RECEIVER_NAME, CN_T_REMIND, CN_N_STATUS, CN_T_READ FROM NORV_REMIND_MSG "
           L"ORDER BY CN_S_RECEIVER",
           9);
  ASSERT_EQ(rows.size(), 3u);
  std::set<CString> ids;
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::vector<CString>& row = rows[i];
    ids.insert(row[0]);
    EXPECT_EQ(row[1], kRemindID);
    EXPECT_EQ(row[2], remind->m_strContent);
    EXPECT_EQ(row[3], L"Text/'Html'");
    EXPECT_EQ(row[4], people[i][0]);
    EXPECT_EQ(row[5], people[i][1]);
    EXPECT_EQ(row[6], L"2026-05-06 07:08:09");
    EXPECT_EQ(row[7], L"0");
    EXPECT_EQ(row[8], L"");
  }
  EXPECT_EQ(ids.size(), 3u);

  CString expected;
  expected.Format(
      L"INSERT INTO NORV_REMIND_MSG ( CN_G_ID, CN_G_REMIND_ID, CN_S_CONTENT, CN_S_CONTENT_TYPE, "
      L"CN_S_RECEIVER, CN_S_RECEIVER_NAME, CN_T_REMIND, CN_N_STATUS ) VALUES ( '%s', "
      L"'0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9', '100%% done %%s %%d ''%%%%s'' \\', "
      L"'Text/''Html''', 'bob''s', 'Bob ''B'' %%d', %s, 0 )",
      rows[1][0], TimeSql(L"2026-05-06 07:08:09"));
  EXPECT_EQ(logged[1], expected);
}

TEST_P(CNorvRemindDBTest, InsertMsgStopsAtAMissingName) {
  CNorvBasePtr<CNorvRemind> remind = NewRemind(CNorvRemind::kOneOff);
  CStringArray receivers;
  CStringArray names;
  CString error;
  ASSERT_TRUE(remind->DBInsertMsg(session, dbType(), receivers, names,
                                  COleDateTime(2026, 5, 6, 7, 8, 9), &error));
  EXPECT_TRUE(statements.empty());

  receivers.Add(L"ann");
  receivers.Add(L"bob");
  names.Add(L"Ann");
  EXPECT_THROW(remind->DBInsertMsg(session, dbType(), receivers, names,
                                   COleDateTime(2026, 5, 6, 7, 8, 9), &error),
               std::invalid_argument);
  EXPECT_EQ(Rows(L"SELECT CN_S_RECEIVER FROM NORV_REMIND_MSG", 1).size(), 1u);
}

TEST_P(CNorvRemindDBTest, AMissingRemindLeavesEverythingUntouched) {
  CNorvBasePtr<CNorvRemind> loaded = new CNorvRemind;
  CString error = L"untouched";
  EXPECT_EQ(loaded->DBLoadData(session, ID(), error), 0);
  EXPECT_EQ(error, L"untouched");
  EXPECT_FALSE(loaded->m_ID.IsValid());
  EXPECT_EQ(loaded->m_strContentType, L"Text/Text");
  EXPECT_EQ(loaded->m_nSendFlag, 1);
  EXPECT_EQ(statements.size(), 1u);
}

TEST_P(CNorvRemindDBTest, IncompleteRowsFailToLoadWithTheirReason) {
  struct Case {
    short type;
    const wchar_t* change;
    const wchar_t* message;
  } cases[] = {
      {CNorvRemind::kOneOff, L"CN_T_REMIND = NULL", L"常规提醒未指定提醒时间"},
      {CNorvRemind::kCustomStyle, L"CN_D_INVALID = NULL", L"自定义样式提醒未指定截止日期"},
      {CNorvRemind::kCustomStyle, L"CN_S_REMIND_STYLE_DEF = ''", L"提醒自定义样式内容为空"},
      {CNorvRemind::kCustomStyle, L"CN_S_REMIND_STYLE_DEF = 'not xml'",
       L"解析提醒自定义样式信息时失败，原因：XML数据格式异常"},
      {CNorvRemind::kCustomStyle, L"CN_S_REMIND_STYLE_DEF = '<D><Item Day=''1'' /></D>'",
       L"解析提醒自定义样式信息时失败，原因：未指定提醒时间 Time"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    CNorvBasePtr<CNorvRemind> remind = NewRemind(c.type);
    CString error;
    ASSERT_TRUE(remind->DBInsert(session, dbType(), &error)) << error.ToUtf8();
    Exec(CString(L"UPDATE NORV_REMIND_DEF SET ") + c.change);
    CNorvBasePtr<CNorvRemind> loaded = new CNorvRemind;
    EXPECT_EQ(loaded->DBLoadData(session, ID(), error), -1);
    EXPECT_EQ(error, c.message);
    Exec(L"DELETE FROM NORV_REMIND_DEF");
  }
}

TEST_P(CNorvRemindDBTest, FailedQueriesCarryTheDatabasesReason) {
  CNorvBasePtr<CNorvRemind> remind = NewRemind(CNorvRemind::kPeriodic);
  Store(*remind, L"NULL", TimeSql(L"2026-12-31 00:00:00"));
  CString error;
  struct Case {
    const wchar_t* table;
    int failingQuery;
    const wchar_t* prefix;
  } cases[] = {
      {L"NORV_REMIND_REPEAT", 2, L"装载提醒的重复配置信息失败，原因："},
      {L"NORV_REMIND_RECEIVE", 1, L"装载提醒的接收者信息失败，原因："},
      {L"NORV_REMIND_DEF", 0, L"装载提醒的基本信息失败，原因："},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    Exec(CString(L"DROP TABLE ") + c.table);
    CNorvBasePtr<CNorvRemind> loaded = new CNorvRemind;
    EXPECT_EQ(loaded->DBLoadData(session, ID(), error), -1);
    ASSERT_EQ(statements.size(), static_cast<size_t>(c.failingQuery + 1));
    CString reason = QueryReasonOf(statements.back());
    EXPECT_FALSE(reason.IsEmpty());
    EXPECT_EQ(error, c.prefix + reason);
  }
}

TEST_P(CNorvRemindDBTest, AFailingSecondStatementLeavesTheFirstRow) {
  CNorvBasePtr<CNorvRemind> remind = NewRemind(CNorvRemind::kPeriodic);
  CString error;
  ASSERT_TRUE(remind->m_Repeat.DBInsert(session, dbType(), ID(), &error)) << error.ToUtf8();
  statements.clear();
  EXPECT_FALSE(remind->DBInsert(session, dbType(), &error));
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(error, ReasonOf(statements.back()));
  EXPECT_EQ(Rows(L"SELECT CN_G_ID FROM NORV_REMIND_DEF", 1).size(), 1u);
  EXPECT_EQ(RepeatRows(), 1);

  // A change to periodic fails the same way, after its update ran.
  remind->m_strContent = L"changed";
  EXPECT_FALSE(remind->DBUpdate(session, dbType(), CNorvRemind::kOneOff, &error));
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(error, ReasonOf(statements.back()));
  EXPECT_EQ(Rows(L"SELECT CN_S_CONTENT FROM NORV_REMIND_DEF", 1).at(0).at(0), L"changed");
}

NORV_INSTANTIATE_BACKEND_TEST(CNorvRemindDBTest);

}  // namespace
