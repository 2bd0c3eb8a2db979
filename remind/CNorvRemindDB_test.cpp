#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "NorvBackendTest.h"
#include "core/base/CStringArray.h"
#include "remind/CNorvRemind.h"

namespace {

using Statements = std::vector<CString>;

const wchar_t kStyleDef[] =
    L"<Def note='C:\\x'><Item Day='1' Time='9:00' /><Item Day='0' Time='17:30' /></Def>";

CNorvBasePtr<CEmItem> Receiver(short type, const wchar_t* id, const wchar_t* name) {
  CNorvBasePtr<CEmItem> receiver = new CEmItem;
  receiver->m_nReceiveType = type;
  receiver->m_strReceiveID = id;
  receiver->m_strReceiveName = name;
  return receiver;
}

// A remind of the given type, with quotes, backslashes and percent signs in
// every free text; `n` tells identifiers apart.
CNorvBasePtr<CNorvRemind> NewRemind(short type, int n = 0) {
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  remind->m_ID.FromString1((L"0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F" + std::to_wstring(n)).c_str());
  remind->m_nType = type;
  remind->m_nSendFlag = 5;
  remind->m_strFrom = L"web 'portal' \\ x";
  remind->m_strCreatorID = L"u'1";
  remind->m_strCreatorName = L"Ann \\ O'Neil";
  remind->m_strContent = L"Pay 100% of Bob's bill %s \\n";
  remind->m_strContentType = L"Text/'Html'";
  remind->m_lstReceiver = {Receiver(0, L"ann's", L"Ann \\"), Receiver(1, L"bob", L"Bob 'B'")};
  remind->m_dtRemind = COleDateTime(2026, 5, 6, 7, 8, 9);
  remind->m_dtInvalid = COleDateTime(2026, 6, 30, 8, 30, 0);
  if (type == CNorvRemind::kCustomStyle) remind->m_strRemindStyleDef = kStyleDef;
  remind->m_Repeat.m_strRemindTime = L"08:30";
  remind->m_Repeat.m_dtStart = COleDateTime(2026, 1, 1, 0, 0, 0);
  return remind;
}

class CNorvRemindDBTest : public norvtest::BackendTest {
 protected:
  CNorvBasePtr<CNorvRemind> Load(const CGuid& id) {
    CNorvBasePtr<CNorvRemind> loaded = new CNorvRemind;
    CString error;
    EXPECT_EQ(loaded->DBLoadData(session, id, error), 1) << error.ToUtf8();
    statements.clear();
    return loaded;
  }

  size_t RepeatRows() { return Rows(L"SELECT CN_G_REMIND_ID FROM NORV_REMIND_REPEAT", 1).size(); }

  // The remind time and deadline columns as a statement of this type writes them.
  CString RemindSql(short type) {
    return type == CNorvRemind::kOneOff ? TimeSql(L"2026-05-06 07:08:09") : CString(L"NULL");
  }
  CString DeadlineSql(short type) {
    if (type == CNorvRemind::kOneOff) return L"NULL";
    if (type == CNorvRemind::kCustomStyle && dbType() == 1)
      return L"to_date( '2026-06-30', 'yyyy-mm-dd' )";
    return TimeSql(L"2026-06-30 08:30:00");
  }

  CString error;
};

// Each type inserts and loads back whole; a periodic remind has a repeat
// row as well. The statements' texts are checked on the custom one.
TEST_P(CNorvRemindDBTest, EachTypeRoundTripsThroughItsStatements) {
  for (short type : {CNorvRemind::kOneOff, CNorvRemind::kPeriodic, CNorvRemind::kCustomStyle}) {
    SCOPED_TRACE(type);
    CNorvBasePtr<CNorvRemind> remind = NewRemind(type, type);
    const CString id = remind->m_ID.GetString1();
    statements.clear();
    const COleDateTime before = COleDateTime::GetCurrentTime();
    ASSERT_TRUE(remind->DBInsert(session, dbType(), &error)) << error.ToUtf8();
    const COleDateTime after = COleDateTime::GetCurrentTime();
    ASSERT_TRUE(remind->DBInsertReceiver(session, &error)) << error.ToUtf8();
    CNorvBasePtr<CNorvRemind> loaded = new CNorvRemind;
    ASSERT_EQ(loaded->DBLoadData(session, remind->m_ID, error), 1) << error.ToUtf8();
    EXPECT_EQ(loaded->GenInfo_XML(), remind->GenInfo_XML());
    EXPECT_EQ(loaded->m_strCreatorID + loaded->m_strCreatorName, L"u'1Ann \\ O'Neil");
    ASSERT_EQ(statements.size(), type == CNorvRemind::kPeriodic ? 7u : 5u);
    if (type != CNorvRemind::kCustomStyle) continue;
    EXPECT_TRUE(MatchesAtSomeSecond(
        statements[0],
        [&](const CString& now) {
          return L"INSERT INTO NORV_REMIND_DEF ( CN_G_ID, CN_N_STATE, CN_N_TYPE, CN_N_SEND_FLAG, "
                 L"CN_S_FROM, CN_T_REMIND, CN_D_INVALID, CN_S_CREATOR_ID, CN_S_CREATOR_NAME, "
                 L"CN_T_CREATE, CN_S_CONTENT, CN_S_CONTENT_TYPE, CN_S_REMIND_STYLE_DEF ) VALUES ( "
                 L"'" +
                 id + L"', 0, 2, 5, 'web ''portal'' \\ x', NULL, " + DeadlineSql(type) +
                 L", 'u''1', 'Ann \\ O''Neil', " + TimeSql(now) +
                 L", 'Pay 100% of Bob''s bill %s \\n', 'Text/''Html''', '<Def note=''C:\\x''>"
                 L"<Item Day=''1'' Time=''9:00'' /><Item Day=''0'' Time=''17:30'' /></Def>' )";
        },
        before, after))
        << statements[0].ToUtf8();
    const CString receive =
        L"INSERT INTO NORV_REMIND_RECEIVE ( CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, "
        L"CN_S_RECEIVE_NAME ) VALUES ( '" +
        id;
    EXPECT_EQ(Statements(statements.begin() + 1, statements.end()),
              (Statements{receive + L"', 0, 'ann''s', 'Ann \\' )",
                          receive + L"', 1, 'bob', 'Bob ''B''' )",
                          L"SELECT\tCN_N_STATE, CN_N_TYPE, CN_N_SEND_FLAG, CN_S_FROM, CN_T_REMIND, "
                          L"CN_D_INVALID, CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, "
                          L"CN_S_CONTENT, CN_S_CONTENT_TYPE, CN_S_REMIND_STYLE_DEF FROM\t"
                          L"NORV_REMIND_DEF WHERE\tCN_G_ID = '" +
                              id + L"'",
                          L"SELECT\tCN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, CN_S_RECEIVE_NAME FROM\t"
                          L"NORV_REMIND_RECEIVE WHERE\tCN_G_REMIND_ID = '" +
                              id + L"' ORDER BY CN_N_RECEIVE_TYPE, CN_S_RECEIVE_NAME"}));
    ASSERT_EQ(loaded->m_lstStyleItem.size(), 2u);
    EXPECT_EQ(loaded->m_lstStyleItem.back()->GenInfo_XML(), L"<Item Day='0' Time='17:30' />");
  }
  EXPECT_EQ(RepeatRows(), 1u);
}

TEST_P(CNorvRemindDBTest, UpdateFollowsEveryChangeOfType) {
  CNorvBasePtr<CNorvRemind> remind = NewRemind(CNorvRemind::kPeriodic);
  ASSERT_TRUE(remind->DBInsert(session, dbType(), &error)) << error.ToUtf8();
  CString id = remind->m_ID.GetString1();
  remind->m_Repeat.m_strRemindTime = L"21:15";
  struct Step {
    short previous, type;
    CString repeatStatement;  // its start; empty for none
    size_t repeatRows;
  } steps[] = {
      {1, 1, L"UPDATE NORV_REMIND_REPEAT ", 1},
      {1, 0, L"DELETE NORV_REMIND_REPEAT WHERE CN_G_REMIND_ID = '" + id + L"'", 0},
      {0, 2, L"", 0},
      {2, 1, L"INSERT INTO NORV_REMIND_REPEAT ", 1},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.type);
    statements.clear();
    remind->m_nType = step.type;
    ASSERT_TRUE(remind->DBUpdate(session, dbType(), step.previous, &error)) << error.ToUtf8();
    ASSERT_EQ(statements.size(), step.repeatStatement.IsEmpty() ? 1u : 2u);
    EXPECT_EQ(statements[0], L"UPDATE NORV_REMIND_DEF SET CN_N_STATE = 0, CN_N_TYPE = " +
                                 CString(std::to_wstring(step.type)) +
                                 L", CN_N_SEND_FLAG = 5, CN_T_REMIND = " + RemindSql(step.type) +
                                 L", CN_D_INVALID = " + DeadlineSql(step.type) +
                                 L", CN_S_CONTENT = 'Pay 100% of Bob''s bill %s \\n', "
                                 L"CN_S_CONTENT_TYPE = 'Text/''Html''', CN_S_REMIND_STYLE_DEF = '' "
                                 L"WHERE CN_G_ID = '" +
                                 id + L"'");
    if (statements.size() == 2) {
      EXPECT_EQ(statements[1].Left(step.repeatStatement.GetLength()), step.repeatStatement);
    }
    EXPECT_EQ(RepeatRows(), step.repeatRows);
  }
  EXPECT_EQ(Load(remind->m_ID)->m_Repeat.m_strRemindTime, L"21:15");

  // The static operations touch their own rows only.
  ASSERT_TRUE(remind->DBInsertReceiver(session, &error)) << error.ToUtf8();
  statements.clear();
  ASSERT_TRUE(CNorvRemind::DBSetState(session, remind->m_ID, 3, &error)) << error.ToUtf8();
  ASSERT_TRUE(CNorvRemind::DBDeleteReceiver(session, remind->m_ID, &error)) << error.ToUtf8();
  Statements run = statements;
  EXPECT_EQ(Load(remind->m_ID)->m_nState, 3);
  ASSERT_TRUE(remind->DBLoadReceiver(session, &error)) << error.ToUtf8();  // replaces the list
  EXPECT_TRUE(remind->m_lstReceiver.empty());
  statements.clear();
  ASSERT_TRUE(CNorvRemind::DBDelete(session, remind->m_ID, &error)) << error.ToUtf8();
  run.push_back(TakeStatement());
  EXPECT_EQ(run,
            (Statements{L"UPDATE NORV_REMIND_DEF SET CN_N_STATE = 3 WHERE CN_G_ID = '" + id + L"'",
                        L"DELETE NORV_REMIND_RECEIVE WHERE CN_G_REMIND_ID = '" + id + L"'",
                        L"DELETE NORV_REMIND_DEF WHERE CN_G_ID = '" + id + L"'"}));
  EXPECT_TRUE(Rows(L"SELECT CN_G_ID FROM NORV_REMIND_DEF", 1).empty());
  EXPECT_EQ(RepeatRows(), 1u);
}

TEST_P(CNorvRemindDBTest, InsertMsgWritesOneRowPerReceiver) {
  CNorvBasePtr<CNorvRemind> remind = NewRemind(CNorvRemind::kOneOff);
  CStringArray receivers, names;
  COleDateTime time(2026, 5, 6, 7, 8, 9);
  ASSERT_TRUE(remind->DBInsertMsg(session, dbType(), receivers, names, time, &error));
  EXPECT_TRUE(statements.empty());
  const wchar_t* people[][2] = {{L"ann", L"Ann %s"}, {L"bob's", L"Bob 'B' %d"}, {L"cy\\", L"Cy"}};
  for (auto& person : people) receivers.Add(person[0]), names.Add(person[1]);
  ASSERT_TRUE(remind->DBInsertMsg(session, dbType(), receivers, names, time, &error))
      << error.ToUtf8();
  Statements logged = statements;
  std::vector<std::vector<CString>> rows = Rows(
      L"SELECT CN_G_ID, CN_G_REMIND_ID, CN_S_CONTENT, CN_S_CONTENT_TYPE, CN_S_RECEIVER, "
      L"CN_S_RECEIVER_NAME, CN_T_REMIND, CN_N_STATUS, CN_T_READ FROM NORV_REMIND_MSG "
      L"ORDER BY CN_S_RECEIVER",
      9);
  ASSERT_TRUE(rows.size() == 3 && logged.size() == 3) << rows.size() << " " << logged.size();
  CString id = remind->m_ID.GetString1();
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i], (std::vector<CString>{rows[i][0], id, remind->m_strContent, L"Text/'Html'",
                                             people[i][0], people[i][1], L"2026-05-06 07:08:09",
                                             L"0", L""}));
  }
  EXPECT_EQ(
      logged[1],
      L"INSERT INTO NORV_REMIND_MSG ( CN_G_ID, CN_G_REMIND_ID, CN_S_CONTENT, "
      L"CN_S_CONTENT_TYPE, CN_S_RECEIVER, CN_S_RECEIVER_NAME, CN_T_REMIND, CN_N_STATUS ) "
      L"VALUES ( '" +
          rows[1][0] + L"', '" + id +
          L"', 'Pay 100% of Bob''s bill %s \\n', 'Text/''Html''', 'bob''s', 'Bob ''B'' %d', " +
          TimeSql(L"2026-05-06 07:08:09") + L", 0 )");

  // A name array shorter than the receivers stops at the missing name.
  names.RemoveAll();
  names.Add(L"Ann");
  EXPECT_THROW(remind->DBInsertMsg(session, dbType(), receivers, names, time, &error),
               std::invalid_argument);
  EXPECT_EQ(Rows(L"SELECT CN_G_ID FROM NORV_REMIND_MSG", 1).size(), 4u);
}

// Missing dates are stored as NULL and refused on load where the type needs
// them; a one-off remind reads neither the deadline nor the style column.
TEST_P(CNorvRemindDBTest, LoadFailuresCarryTheirReasons) {
  CNorvBasePtr<CNorvRemind> missing = new CNorvRemind;
  error = L"untouched";
  EXPECT_EQ(missing->DBLoadData(session, NewRemind(0)->m_ID, error), 0);
  EXPECT_EQ(error, L"untouched");
  EXPECT_FALSE(missing->m_ID.IsValid());

  CNorvBasePtr<CNorvRemind> remind = NewRemind(CNorvRemind::kCustomStyle);
  remind->m_dtRemind = remind->m_dtInvalid = COleDateTime();
  statements.clear();
  ASSERT_TRUE(remind->DBInsert(session, dbType(), &error)) << error.ToUtf8();
  EXPECT_NE(statements[0].Find(L", 5, 'web ''portal'' \\ x', NULL, NULL, "), -1);
  const wchar_t* cases[][2] = {
      {L"CN_N_TYPE = 2", L"自定义样式提醒未指定截止日期"},
      {L"CN_D_INVALID = '2027-01-01 00:00:00', CN_S_REMIND_STYLE_DEF = ''",
       L"提醒自定义样式内容为空"},
      {L"CN_S_REMIND_STYLE_DEF = 'not xml'",
       L"解析提醒自定义样式信息时失败，原因：XML数据格式异常"},
      {L"CN_S_REMIND_STYLE_DEF = '<D><Item Day=''1'' /></D>'",
       L"解析提醒自定义样式信息时失败，原因：未指定提醒时间 Time"},
      {L"CN_N_TYPE = 0", L"常规提醒未指定提醒时间"},
      {L"CN_T_REMIND = '2026-01-01 00:00:00'", L""},
  };
  for (auto& [change, reason] : cases) {
    Exec(CString(L"UPDATE NORV_REMIND_DEF SET ") + change);
    error.Empty();
    EXPECT_EQ(CNorvRemind().DBLoadData(session, remind->m_ID, error), *reason ? -1 : 1) << change;
    EXPECT_EQ(error, reason);
  }
  CNorvBasePtr<CNorvRemind> oneOff = Load(remind->m_ID);
  EXPECT_EQ(oneOff->m_dtInvalid.Format(L"%Y-%m-%d") + oneOff->m_strRemindStyleDef, L"");

  // Periodic, so that every query runs; each dropped table fails its own.
  Exec(L"UPDATE NORV_REMIND_DEF SET CN_N_TYPE = 1");
  const wchar_t* drops[][2] = {
      {L"NORV_REMIND_REPEAT", L"装载提醒的重复配置信息失败，原因："},
      {L"NORV_REMIND_RECEIVE", L"装载提醒的接收者信息失败，原因："},
      {L"NORV_REMIND_DEF", L"装载提醒的基本信息失败，原因："},
  };
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(drops[i][0]);
    Exec(CString(L"DROP TABLE ") + drops[i][0]);
    statements.clear();
    EXPECT_EQ(CNorvRemind().DBLoadData(session, remind->m_ID, error), -1);
    ASSERT_EQ(statements.size(), 3 - i);
    const CString reason = QueryReasonOf(statements.back());
    EXPECT_TRUE(!reason.IsEmpty() && error == drops[i][1] + reason) << error.ToUtf8();
  }
}

TEST_P(CNorvRemindDBTest, AFailingSecondStatementLeavesTheFirstRow) {
  CNorvBasePtr<CNorvRemind> remind = NewRemind(CNorvRemind::kPeriodic);
  ASSERT_TRUE(remind->m_Repeat.DBInsert(session, dbType(), remind->m_ID, &error)) << error.ToUtf8();
  statements.clear();
  EXPECT_FALSE(remind->DBInsert(session, dbType(), &error));
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(error, ReasonOf(statements.back()));
  EXPECT_EQ(Load(remind->m_ID)->m_strContent, remind->m_strContent);

  // A change to periodic fails the same way, after its update ran.
  remind->m_strContent = L"changed";
  EXPECT_FALSE(remind->DBUpdate(session, dbType(), CNorvRemind::kOneOff, &error));
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(error, ReasonOf(statements.back()));
  EXPECT_EQ(Load(remind->m_ID)->m_strContent, L"changed");

  // Receivers stop at the first failing insert.
  Exec(L"DROP TABLE NORV_REMIND_RECEIVE");
  EXPECT_FALSE(remind->DBInsertReceiver(session, &error));
  ASSERT_EQ(statements.size(), 1u);
  EXPECT_EQ(error, ReasonOf(statements.back()));
}

NORV_INSTANTIATE_BACKEND_TEST(CNorvRemindDBTest);

}  // namespace
