#include "repeat/CNorvRemindRepeat.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "NorvBackendTest.h"

namespace {

const wchar_t kRemindID[] = L"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0";

COleDateTime At(int year, int month, int day) { return COleDateTime(year, month, day, 0, 0, 0); }

// Every third day from 2026-01-01 at 08:30, at most ten times, two fired so far.
void FillDaily(CNorvRemindRepeat& repeat) {
  repeat.m_strRemindTime = L"08:30";
  repeat.m_nInterval = 3;
  repeat.m_nRegularRange = 1;
  repeat.m_nNum = 10;
  repeat.m_nCount = 2;
  repeat.m_dtStart = At(2026, 1, 1);
}

// The full XML form shows in the database test, the one without an end or a
// limit in the remind's own output test.
TEST(RemindRepeatOutput, JsonAndTheOmittedParts) {
  CNorvRemindRepeat repeat;
  FillDaily(repeat);
  repeat.m_nRegularType = 2;
  repeat.m_nRegularValue = -1;
  repeat.m_dtEnd = At(2026, 12, 31);
  EXPECT_EQ(repeat.GenInfo_Json(),
            L"\"Repeat\": { \"RemindTime\": \"08:30\", \"RegularType\": \"2\", \"Interval\": "
            L"\"3\", \"RagularValue\": \"-1\", \"RegularRange\": \"1\", \"DTStart\": "
            L"\"2026-01-01\", \"DTEnd\": \"2026-12-31\", \"Num\": \"10\", \"Count\": \"2\" }");
  // A null start is an empty text; an unreadable end (30 February) is left out.
  repeat.m_nRegularRange = 2;
  repeat.m_dtStart = COleDateTime();
  repeat.m_dtEnd = At(2026, 2, 30);
  EXPECT_EQ(repeat.GenInfo_XML(),
            L"<Repeat RemindTime='08:30' RegularType='2' Interval='3' RagularValue='-1' "
            L"RegularRange='2' DTStart='' />");
}

using RemindRepeatDB = norvtest::BackendTest;

// Each step's statement, then what a load finds: a NULL end and a missing row
// leave the loading object as it was. The update leaves the count alone.
TEST_P(RemindRepeatDB, StatementsAndTheRowsTheyLeave) {
  CGuid id;
  ASSERT_TRUE(id.FromString1(kRemindID));
  const CString where = L" WHERE CN_G_REMIND_ID = '" + CString(kRemindID) + L"'";
  const auto date = [&](const wchar_t* day) {
    return dbType() == 1 ? L"to_date( '" + CString(day) + L"', 'yyyy-mm-dd' )"
                         : L"'" + CString(day) + L" 00:00:00'";
  };
  CNorvRemindRepeat repeat, loaded;
  FillDaily(repeat);
  loaded.m_dtEnd = At(2030, 1, 1);
  CString error;
  const CString insert =
      L"INSERT INTO NORV_REMIND_REPEAT ( CN_G_REMIND_ID, CN_S_REMIND_TIME, CN_N_REGULAR_TYPE, "
      L"CN_N_INTERVAL, CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_D_START, CN_D_END, "
      L"CN_N_REPEAT_NUM, CN_N_REPEAT_COUNT ) VALUES ('" +
      CString(kRemindID) + L"', '08:30', 0, 3, 0, 1, " + date(L"2026-01-01") + L", NULL, 10, 2 )";
  const struct {
    std::function<bool()> run;
    CString statement;
    const wchar_t* loaded;  // nullptr: as `repeat` shows
  } steps[] = {
      {[&] { return repeat.DBInsert(session, dbType(), id, &error); }, insert,
       L"<Repeat RemindTime='08:30' RegularType='0' Interval='3' RagularValue='0' "
       L"RegularRange='1' DTStart='2026-01-01' DTEnd='2030-01-01' Num='10' Count='2' />"},
      {[&] {
         repeat.m_strRemindTime = L"21:05";
         repeat.m_nRegularValue = 124;
         repeat.m_nCount = 9;
         repeat.m_dtEnd = At(2026, 12, 31);
         return repeat.DBUpdate(session, dbType(), id, &error);
       },
       L"UPDATE NORV_REMIND_REPEAT SET CN_S_REMIND_TIME = '21:05', CN_N_REGULAR_TYPE = 0, "
       L"CN_N_INTERVAL = 3, CN_N_REGULAR_VALUE = 124, CN_N_REPEAT_RANGE = 1, CN_D_START = " +
           date(L"2026-01-01") + L", CN_D_END = " + date(L"2026-12-31") +
           L", CN_N_REPEAT_NUM = 10" + where,
       L"<Repeat RemindTime='21:05' RegularType='0' Interval='3' RagularValue='124' "
       L"RegularRange='1' DTStart='2026-01-01' DTEnd='2026-12-31' Num='10' Count='2' />"},
      {[&] { return CNorvRemindRepeat::DBSetRepeatCount(session, id, 9, &error); },
       L"UPDATE NORV_REMIND_REPEAT SET CN_N_REPEAT_COUNT = 9" + where, nullptr},
      {[&] { return CNorvRemindRepeat::DBDelete(session, id, &error); },
       L"DELETE NORV_REMIND_REPEAT" + where, nullptr},
  };
  for (const auto& step : steps) {
    ASSERT_TRUE(step.run()) << error.ToUtf8();
    EXPECT_EQ(TakeStatement(), step.statement);
    EXPECT_TRUE(loaded.DBLoadData(session, id, &error)) << error.ToUtf8();
    EXPECT_EQ(loaded.GenInfo_XML(), step.loaded ? CString(step.loaded) : repeat.GenInfo_XML());
    EXPECT_EQ(TakeStatement(),
              L"SELECT\tCN_S_REMIND_TIME, CN_D_START, CN_D_END, CN_N_REGULAR_TYPE, "
              L"CN_N_INTERVAL, CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_N_REPEAT_NUM, "
              L"CN_N_REPEAT_COUNT FROM\tNORV_REMIND_REPEAT WHERE\tCN_G_REMIND_ID = '" +
                  CString(kRemindID) + L"'");
  }

  // One row per remind; a failing load leaves the object as it was.
  ASSERT_TRUE(repeat.DBInsert(session, dbType(), id, &error));
  statements.clear();
  EXPECT_FALSE(repeat.DBInsert(session, dbType(), id, &error));
  EXPECT_EQ(error, ReasonOf(TakeStatement()));
  Exec(L"DROP TABLE NORV_REMIND_REPEAT");
  CNorvRemindRepeat untouched;
  EXPECT_FALSE(untouched.DBLoadData(session, id, &error));
  EXPECT_EQ(error, QueryReasonOf(TakeStatement()));
  EXPECT_EQ(untouched.GenInfo_XML(), CNorvRemindRepeat().GenInfo_XML());
}

NORV_INSTANTIATE_BACKEND_TEST(RemindRepeatDB);

}  // namespace
