#include "repeat/CNorvRemindRepeat.h"

#include <gtest/gtest.h>

#include <string>

#include "NorvBackendTest.h"
#include "core/base/CNorvCommFun.h"
#include "core/base/CNorvXmlDocument.h"

namespace {

const wchar_t kRemindID[] = L"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0";

COleDateTime At(int year, int month, int day, int hour = 0, int minute = 0) {
  return COleDateTime(year, month, day, hour, minute, 0);
}

// Every third day from 2026-01-01 at 08:30, at most ten times, two fired so far.
void FillDaily(CNorvRemindRepeat& repeat) {
  repeat.m_strRemindTime = L"08:30";
  repeat.m_nInterval = 3;
  repeat.m_nRegularRange = 1;
  repeat.m_nNum = 10;
  repeat.m_nCount = 2;
  repeat.m_dtStart = At(2026, 1, 1);
}

TEST(RemindRepeatParse, TheRuleFirstThenTheTime) {
  const struct {
    const wchar_t* xml;
    const wchar_t* result;
    const wchar_t* storedTime;
  } cases[] = {
      {L"<Repeat RegularType='0' RemindTime='bad' />", L"未指定开始日期 DTStart", L""},
      {L"<Repeat DTStart='2026-01-01' />", L"未指定提醒时间", L""},
      {L"<Repeat DTStart='2026-01-01' RemindTime='25:00' />", L"指定提醒时间“25:00”无效", L"25:00"},
      {L"<Repeat DTStart='2026-01-01' RemindTime='08:30:15' />", L"指定提醒时间“08:30:15”无效",
       L"08:30:15"},
      {L"<Repeat DTStart='2026-01-01' RemindTime='8:05' />", L"ok", L"8:05"},
      {L"<Repeat DTStart='2026-01-01' RemindTime='23:59' />", L"ok", L"23:59"},
  };
  for (const auto& c : cases) {
    CNorvXmlDocument document;
    ASSERT_TRUE(CNorvCommFun::ParseXML(c.xml, document));
    CNorvRemindRepeat repeat;
    CString error;
    EXPECT_EQ(repeat.ParseXML(document.GetRootElement(), error) ? L"ok" : error.str(), c.result);
    EXPECT_EQ(repeat.m_strRemindTime, c.storedTime);
  }
}

// Without an end or a limit it shows in the remind's own output test.
TEST(RemindRepeatOutput, XmlAndJsonWithAndWithoutEndAndLimit) {
  const struct {
    short range;
    COleDateTime start, end;
    const wchar_t* xml;
    const wchar_t* json;
  } cases[] = {
      {1, At(2026, 1, 1), At(2026, 12, 31),
       L"<Repeat RemindTime='08:30' RegularType='2' Interval='3' RagularValue='-1' "
       L"RegularRange='1' DTStart='2026-01-01' DTEnd='2026-12-31' Num='10' Count='2' />",
       L"\"Repeat\": { \"RemindTime\": \"08:30\", \"RegularType\": \"2\", \"Interval\": \"3\", "
       L"\"RagularValue\": \"-1\", \"RegularRange\": \"1\", \"DTStart\": \"2026-01-01\", "
       L"\"DTEnd\": \"2026-12-31\", \"Num\": \"10\", \"Count\": \"2\" }"},
      // A null start is an empty text; an unreadable end (30 February) is left out.
      {2, COleDateTime(), At(2026, 2, 30),
       L"<Repeat RemindTime='08:30' RegularType='2' Interval='3' RagularValue='-1' "
       L"RegularRange='2' DTStart='' />",
       L"\"Repeat\": { \"RemindTime\": \"08:30\", \"RegularType\": \"2\", \"Interval\": \"3\", "
       L"\"RagularValue\": \"-1\", \"RegularRange\": \"2\", \"DTStart\": \"\" }"},
  };
  for (const auto& c : cases) {
    CNorvRemindRepeat repeat;
    FillDaily(repeat);
    repeat.m_nRegularType = 2;
    repeat.m_nRegularValue = -1;
    repeat.m_nRegularRange = c.range;
    repeat.m_dtStart = c.start;
    repeat.m_dtEnd = c.end;
    EXPECT_EQ(repeat.GenInfo_XML(), c.xml);
    EXPECT_EQ(repeat.GenInfo_Json(), c.json);
  }
}

// Each case runs on SQLite and PostgreSQL, with database kind 1 and 0.
class RemindRepeatDB : public norvtest::BackendTest {
 protected:
  void SetUp() override {
    BackendTest::SetUp();
    ASSERT_TRUE(id.FromString1(kRemindID));
  }

  // A rule date as this case's database kind writes it.
  CString DateSql(const wchar_t* day) const {
    return dbType() == 1 ? L"to_date( '" + CString(day) + L"', 'yyyy-mm-dd' )"
                         : L"'" + CString(day) + L" 00:00:00'";
  }

  CString Loaded(CNorvRemindRepeat& repeat) {
    EXPECT_TRUE(repeat.DBLoadData(session, id, &error)) << error.ToUtf8();
    return repeat.GenInfo_XML();
  }

  CGuid id;
  CString error;
};

TEST_P(RemindRepeatDB, StatementsAndTheRowsTheyLeave) {
  CNorvRemindRepeat repeat;
  FillDaily(repeat);
  ASSERT_TRUE(repeat.DBInsert(session, dbType(), id, &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"INSERT INTO NORV_REMIND_REPEAT ( CN_G_REMIND_ID, CN_S_REMIND_TIME, "
            L"CN_N_REGULAR_TYPE, CN_N_INTERVAL, CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_D_START, "
            L"CN_D_END, CN_N_REPEAT_NUM, CN_N_REPEAT_COUNT ) VALUES ('" +
                CString(kRemindID) + L"', '08:30', 0, 3, 0, 1, " + DateSql(L"2026-01-01") +
                L", NULL, 10, 2 )");
  // A NULL end leaves the object's end as it was.
  CNorvRemindRepeat loaded;
  loaded.m_dtEnd = At(2030, 1, 1);
  EXPECT_EQ(Loaded(loaded),
            L"<Repeat RemindTime='08:30' RegularType='0' Interval='3' "
            L"RagularValue='0' RegularRange='1' DTStart='2026-01-01' "
            L"DTEnd='2030-01-01' Num='10' Count='2' />");
  statements.clear();

  repeat.m_strRemindTime = L"21:05";
  repeat.m_nRegularValue = 124;
  repeat.m_nCount = 9;
  repeat.m_dtEnd = At(2026, 12, 31);
  ASSERT_TRUE(repeat.DBUpdate(session, dbType(), id, &error)) << error.ToUtf8();
  EXPECT_EQ(TakeStatement(),
            L"UPDATE NORV_REMIND_REPEAT SET CN_S_REMIND_TIME = '21:05', CN_N_REGULAR_TYPE = 0, "
            L"CN_N_INTERVAL = 3, CN_N_REGULAR_VALUE = 124, CN_N_REPEAT_RANGE = 1, CN_D_START = " +
                DateSql(L"2026-01-01") + L", CN_D_END = " + DateSql(L"2026-12-31") +
                L", CN_N_REPEAT_NUM = 10 WHERE CN_G_REMIND_ID = '" + kRemindID + L"'");
  EXPECT_EQ(Loaded(loaded),
            L"<Repeat RemindTime='21:05' RegularType='0' Interval='3' "
            L"RagularValue='124' RegularRange='1' DTStart='2026-01-01' "
            L"DTEnd='2026-12-31' Num='10' Count='2' />");
  EXPECT_EQ(TakeStatement(),
            L"SELECT\tCN_S_REMIND_TIME, CN_D_START, CN_D_END, CN_N_REGULAR_TYPE, CN_N_INTERVAL, "
            L"CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_N_REPEAT_NUM, CN_N_REPEAT_COUNT "
            L"FROM\tNORV_REMIND_REPEAT WHERE\tCN_G_REMIND_ID = '" +
                CString(kRemindID) + L"'");

  ASSERT_TRUE(CNorvRemindRepeat::DBSetRepeatCount(session, id, 9, &error));
  EXPECT_EQ(TakeStatement(),
            L"UPDATE NORV_REMIND_REPEAT SET CN_N_REPEAT_COUNT = 9 WHERE "
            L"CN_G_REMIND_ID = '" +
                CString(kRemindID) + L"'");
  EXPECT_EQ(Loaded(loaded), repeat.GenInfo_XML());
  statements.clear();
  ASSERT_TRUE(CNorvRemindRepeat::DBDelete(session, id, &error));
  EXPECT_EQ(TakeStatement(),
            L"DELETE NORV_REMIND_REPEAT WHERE CN_G_REMIND_ID = '" + CString(kRemindID) + L"'");
  // Without a row the object stays as it was.
  EXPECT_EQ(Loaded(loaded), repeat.GenInfo_XML());
}

TEST_P(RemindRepeatDB, FailuresCarryTheDatabasesReason) {
  CNorvRemindRepeat repeat;
  FillDaily(repeat);
  ASSERT_TRUE(repeat.DBInsert(session, dbType(), id, &error));
  statements.clear();
  EXPECT_FALSE(repeat.DBInsert(session, dbType(), id, &error));  // one row per remind
  EXPECT_EQ(error, ReasonOf(TakeStatement()));
  Exec(L"DROP TABLE NORV_REMIND_REPEAT");
  CNorvRemindRepeat untouched;
  EXPECT_FALSE(untouched.DBLoadData(session, id, &error));
  EXPECT_EQ(error, QueryReasonOf(TakeStatement()));
  EXPECT_EQ(untouched.GenInfo_XML(), CNorvRemindRepeat().GenInfo_XML());
}

NORV_INSTANTIATE_BACKEND_TEST(RemindRepeatDB);

}  // namespace
