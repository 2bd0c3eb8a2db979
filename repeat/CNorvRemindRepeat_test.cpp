#include "repeat/CNorvRemindRepeat.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "NorvTestDatabase.h"
#include "NorvTestSupport.h"
#include "core/CNorvCommFun.h"
#include "core/CNorvXmlDocument.h"

namespace {

COleDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return COleDateTime(year, month, day, hour, minute, second);
}

CNorvXmlNode Element(const wchar_t* xml) {
  CNorvXmlDocument document;
  EXPECT_TRUE(CNorvCommFun::ParseXML(xml, document)) << CString(xml).ToUtf8();
  return document.GetRootElement();
}

// Every day from 2026-01-01, 08:30, at most ten times, two fired so far.
void FillDaily(CNorvRemindRepeat& repeat) {
  repeat.m_strRemindTime = L"08:30";
  repeat.m_nRegularType = 0;
  repeat.m_nInterval = 3;
  repeat.m_nRegularValue = 0;
  repeat.m_nRegularRange = 1;
  repeat.m_nNum = 10;
  repeat.m_nCount = 2;
  repeat.m_dtStart = At(2026, 1, 1);
}

TEST(RemindRepeatParse, ChecksTheRuleBeforeTheTime) {
  CNorvRemindRepeat repeat;
  CString error;
  EXPECT_FALSE(repeat.ParseXML(Element(L"<Repeat RegularType='0' />"), error));
  EXPECT_EQ(error, L"未指定开始日期 DTStart");

  EXPECT_FALSE(repeat.ParseXML(Element(L"<Repeat DTStart='2026-01-01' />"), error));
  EXPECT_EQ(error, L"未指定提醒时间");
  EXPECT_TRUE(repeat.m_strRemindTime.IsEmpty());
}

TEST(RemindRepeatParse, KeepsARejectedTimeAndNamesIt) {
  CNorvRemindRepeat repeat;
  CString error;
  EXPECT_FALSE(repeat.ParseXML(Element(L"<Repeat DTStart='2026-01-01' RemindTime='8:75' />"), error));
  EXPECT_EQ(error, L"指定提醒时间“8:75”无效");
  EXPECT_EQ(repeat.m_strRemindTime, L"8:75");

  ASSERT_TRUE(repeat.ParseXML(Element(L"<Repeat DTStart='2026-01-01' RemindTime='8:05' "
                                      L"RegularType='1' RegularValue='124' />"),
                              error));
  EXPECT_EQ(repeat.m_strRemindTime, L"8:05");
  EXPECT_EQ(repeat.m_nRegularValue, 124);
}

TEST(RemindRepeatTiming, GetRemindTimePutsTheTimeOnTheDay) {
  CNorvRemindRepeat repeat;
  repeat.m_strRemindTime = L"08:30";
  COleDateTime result = At(2000, 1, 1);
  EXPECT_FALSE(repeat.GetRemindTime(L"", result));
  EXPECT_EQ(result, At(2000, 1, 1));

  ASSERT_TRUE(repeat.GetRemindTime(L"2026-12-04", result));
  EXPECT_EQ(result, At(2026, 12, 4, 8, 30));
  EXPECT_EQ(result.Format(L"%Y-%m-%d %H:%M:%S"), L"2026-12-04 08:30:00");

  EXPECT_FALSE(repeat.GetRemindTime(L"2026-02-30", result));
  EXPECT_EQ(result.GetStatus(), COleDateTime::invalid);
  repeat.m_strRemindTime = L"25:00";
  EXPECT_FALSE(repeat.GetRemindTime(L"2026-12-04", result));
}

TEST(RemindRepeatCopy, SetInfoAndGetInfoCarryTheTime) {
  CNorvRemindRepeat source;
  FillDaily(source);
  source.m_dtEnd = At(2026, 6, 30);

  CNorvRemindRepeat copy;
  copy.SetInfo(&source);
  CNorvRemindRepeat back;
  copy.GetInfo(&back);
  EXPECT_EQ(copy.m_strRemindTime, L"08:30");
  EXPECT_EQ(back.m_strRemindTime, L"08:30");
  EXPECT_EQ(back.GenInfo_XML(), source.GenInfo_XML());
  EXPECT_EQ(back.GenInfo_Json(), source.GenInfo_Json());
}

TEST(RemindRepeatOutput, WithoutLimitOrEnd) {
  CNorvRemindRepeat repeat;
  FillDaily(repeat);
  repeat.m_nRegularRange = 0;
  EXPECT_EQ(repeat.GenInfo_XML(),
            L"<Repeat RemindTime='08:30' RegularType='0' Interval='3' RagularValue='0' "
            L"RegularRange='0' DTStart='2026-01-01' />");
  EXPECT_EQ(repeat.GenInfo_Json(),
            L"\"Repeat\": { \"RemindTime\": \"08:30\", \"RegularType\": \"0\", \"Interval\": "
            L"\"3\", \"RagularValue\": \"0\", \"RegularRange\": \"0\", \"DTStart\": "
            L"\"2026-01-01\" }");
}

TEST(RemindRepeatOutput, WithLimitAndEnd) {
  CNorvRemindRepeat repeat;
  FillDaily(repeat);
  repeat.m_nRegularType = 2;
  repeat.m_nRegularValue = -1;
  repeat.m_dtEnd = At(2026, 12, 31);
  EXPECT_EQ(repeat.GenInfo_XML(),
            L"<Repeat RemindTime='08:30' RegularType='2' Interval='3' RagularValue='-1' "
            L"RegularRange='1' DTStart='2026-01-01' DTEnd='2026-12-31' Num='10' Count='2' />");
  EXPECT_EQ(repeat.GenInfo_Json(),
            L"\"Repeat\": { \"RemindTime\": \"08:30\", \"RegularType\": \"2\", \"Interval\": "
            L"\"3\", \"RagularValue\": \"-1\", \"RegularRange\": \"1\", \"DTStart\": "
            L"\"2026-01-01\", \"DTEnd\": \"2026-12-31\", \"Num\": \"10\", \"Count\": \"2\" }");
}

TEST(RemindRepeatOutput, NullStartAndInvalidEnd) {
  CNorvRemindRepeat repeat;
  repeat.m_dtEnd.SetStatus(COleDateTime::invalid);
  EXPECT_EQ(repeat.GenInfo_XML(),
            L"<Repeat RemindTime='' RegularType='0' Interval='1' RagularValue='0' "
            L"RegularRange='0' DTStart='' />");
  EXPECT_EQ(repeat.GenInfo_Json(),
            L"\"Repeat\": { \"RemindTime\": \"\", \"RegularType\": \"0\", \"Interval\": \"1\", "
            L"\"RagularValue\": \"0\", \"RegularRange\": \"0\", \"DTStart\": \"\" }");
}

// A database file with the schema applied, and every statement the library sends.
class RemindRepeatDB : public ::testing::Test {
 protected:
  void SetUp() override {
    CString error;
    ASSERT_TRUE(session.Open(CString::FromUtf8("sqlite:" + dir.File("norv.db")), &error))
        << error.ToUtf8();
    ASSERT_TRUE(norvtest::ApplySchema(session, "schema/sqlite.sql"));
    session.SetStatementLog([this](const CString& statement) { statements.push_back(statement); });
    ASSERT_TRUE(remindID.FromString1(L"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"));
    ASSERT_TRUE(otherID.FromString1(L"11111111-2222-3333-4444-555555555555"));
  }

  std::unique_ptr<CNorvRemindRepeat> Load(const CGuid& id) {
    auto loaded = std::make_unique<CNorvRemindRepeat>();
    CString error;
    EXPECT_TRUE(loaded->DBLoadData(session, id, &error)) << error.ToUtf8();
    return loaded;
  }

  norvtest::TempDir dir;
  CSession session;
  std::vector<CString> statements;
  CGuid remindID;
  CGuid otherID;
};

TEST_F(RemindRepeatDB, StatementTextsForTextDates) {
  CNorvRemindRepeat repeat;
  FillDaily(repeat);
  CString error;
  ASSERT_TRUE(repeat.DBInsert(session, 2, remindID, &error)) << error.ToUtf8();
  repeat.m_dtEnd = At(2026, 12, 31);
  ASSERT_TRUE(repeat.DBUpdate(session, 0, remindID, &error)) << error.ToUtf8();
  ASSERT_TRUE(CNorvRemindRepeat::DBSetRepeatCount(session, remindID, 5, &error));
  repeat.DBLoadData(session, remindID, &error);
  ASSERT_TRUE(CNorvRemindRepeat::DBDelete(session, remindID, &error));

  const std::vector<CString> expected = {
      L"INSERT INTO NORV_REMIND_REPEAT ( CN_G_REMIND_ID, CN_S_REMIND_TIME, CN_N_REGULAR_TYPE, "
      L"CN_N_INTERVAL, CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_D_START, CN_D_END, "
      L"CN_N_REPEAT_NUM, CN_N_REPEAT_COUNT ) VALUES ('0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0', "
      L"'08:30', 0, 3, 0, 1, '2026-01-01 00:00:00', NULL, 10, 2 )",
      L"UPDATE NORV_REMIND_REPEAT SET CN_S_REMIND_TIME = '08:30', CN_N_REGULAR_TYPE = 0, "
      L"CN_N_INTERVAL = 3, CN_N_REGULAR_VALUE = 0, CN_N_REPEAT_RANGE = 1, CN_D_START = "
      L"'2026-01-01 00:00:00', CN_D_END = '2026-12-31 00:00:00', CN_N_REPEAT_NUM = 10 WHERE "
      L"CN_G_REMIND_ID = '0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0'",
      L"UPDATE NORV_REMIND_REPEAT SET CN_N_REPEAT_COUNT = 5 WHERE CN_G_REMIND_ID = "
      L"'0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0'",
      L"SELECT\tCN_S_REMIND_TIME, CN_D_START, CN_D_END, CN_N_REGULAR_TYPE, CN_N_INTERVAL, "
      L"CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_N_REPEAT_NUM, CN_N_REPEAT_COUNT "
      L"FROM\tNORV_REMIND_REPEAT WHERE\tCN_G_REMIND_ID = '0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0'",
      L"DELETE NORV_REMIND_REPEAT WHERE CN_G_REMIND_ID = '0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0'",
  };
  ASSERT_EQ(statements.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(statements[i], expected[i]) << statements[i].ToUtf8();
  }
}

TEST_F(RemindRepeatDB, StatementTextsForToDate) {
  CNorvRemindRepeat repeat;
  FillDaily(repeat);
  repeat.m_dtEnd = At(2026, 12, 31);
  CString error;
  ASSERT_TRUE(repeat.DBInsert(session, 1, remindID, &error)) << error.ToUtf8();
  repeat.m_dtEnd = COleDateTime();
  ASSERT_TRUE(repeat.DBUpdate(session, 1, remindID, &error)) << error.ToUtf8();

  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(statements[0],
            L"INSERT INTO NORV_REMIND_REPEAT ( CN_G_REMIND_ID, CN_S_REMIND_TIME, "
            L"CN_N_REGULAR_TYPE, CN_N_INTERVAL, CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_D_START, "
            L"CN_D_END, CN_N_REPEAT_NUM, CN_N_REPEAT_COUNT ) VALUES "
            L"('0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0', '08:30', 0, 3, 0, 1, "
            L"to_date( '2026-01-01', 'yyyy-mm-dd' ), to_date( '2026-12-31', 'yyyy-mm-dd' ), 10, 2 )");
  EXPECT_EQ(statements[1],
            L"UPDATE NORV_REMIND_REPEAT SET CN_S_REMIND_TIME = '08:30', CN_N_REGULAR_TYPE = 0, "
            L"CN_N_INTERVAL = 3, CN_N_REGULAR_VALUE = 0, CN_N_REPEAT_RANGE = 1, CN_D_START = "
            L"to_date( '2026-01-01', 'yyyy-mm-dd' ), CN_D_END = NULL, CN_N_REPEAT_NUM = 10 WHERE "
            L"CN_G_REMIND_ID = '0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0'");
}

TEST_F(RemindRepeatDB, RowRoundTripsInBothDateForms) {
  CNorvRemindRepeat repeat;
  FillDaily(repeat);
  repeat.m_dtEnd = At(2026, 12, 31);
  CString error;
  ASSERT_TRUE(repeat.DBInsert(session, 1, remindID, &error)) << error.ToUtf8();
  ASSERT_TRUE(repeat.DBInsert(session, 0, otherID, &error)) << error.ToUtf8();

  for (const CGuid& id : {remindID, otherID}) {
    auto loaded = Load(id);
    EXPECT_EQ(loaded->GenInfo_XML(), repeat.GenInfo_XML());
    EXPECT_EQ(loaded->m_dtStart, At(2026, 1, 1));
    EXPECT_EQ(loaded->m_dtEnd, At(2026, 12, 31));
  }
}

TEST_F(RemindRepeatDB, UpdateLeavesTheCountToDBSetRepeatCount) {
  CNorvRemindRepeat repeat;
  FillDaily(repeat);
  CString error;
  ASSERT_TRUE(repeat.DBInsert(session, 2, remindID, &error)) << error.ToUtf8();

  repeat.m_strRemindTime = L"21:05";
  repeat.m_nRegularType = 1;
  repeat.m_nRegularValue = 124;
  repeat.m_nNum = 30;
  repeat.m_nCount = 9;
  repeat.m_dtStart = At(2026, 2, 1);
  repeat.m_dtEnd = At(2026, 3, 31);
  ASSERT_TRUE(repeat.DBUpdate(session, 1, remindID, &error)) << error.ToUtf8();
  auto loaded = Load(remindID);
  EXPECT_EQ(loaded->m_strRemindTime, L"21:05");
  EXPECT_EQ(loaded->m_nRegularType, 1);
  EXPECT_EQ(loaded->m_nRegularValue, 124);
  EXPECT_EQ(loaded->m_nNum, 30);
  EXPECT_EQ(loaded->m_nCount, 2);
  EXPECT_EQ(loaded->m_dtStart, At(2026, 2, 1));
  EXPECT_EQ(loaded->m_dtEnd, At(2026, 3, 31));

  ASSERT_TRUE(CNorvRemindRepeat::DBSetRepeatCount(session, remindID, 9, &error));
  EXPECT_EQ(Load(remindID)->m_nCount, 9);
}

TEST_F(RemindRepeatDB, LoadingWithoutARowOrAfterDeleteKeepsTheObject) {
  CNorvRemindRepeat repeat;
  FillDaily(repeat);
  CString error;
  ASSERT_TRUE(repeat.DBInsert(session, 2, remindID, &error));
  ASSERT_TRUE(CNorvRemindRepeat::DBDelete(session, remindID, &error)) << error.ToUtf8();

  auto loaded = Load(remindID);
  EXPECT_EQ(loaded->GenInfo_XML(), CNorvRemindRepeat().GenInfo_XML());
  EXPECT_EQ(loaded->m_dtStart.GetStatus(), COleDateTime::null);

  CNorvRemindRepeat kept;
  FillDaily(kept);
  ASSERT_TRUE(kept.DBLoadData(session, otherID, &error));
  EXPECT_EQ(kept.m_strRemindTime, L"08:30");
  EXPECT_EQ(kept.m_nInterval, 3);
}

TEST_F(RemindRepeatDB, LoadReadsNumAndCountOnlyForALimitedRule) {
  CNorvRemindRepeat repeat;
  FillDaily(repeat);
  repeat.m_nRegularRange = 0;
  CString error;
  ASSERT_TRUE(repeat.DBInsert(session, 2, remindID, &error));

  CNorvRemindRepeat loaded;
  loaded.m_dtEnd = At(2030, 1, 1);
  ASSERT_TRUE(loaded.DBLoadData(session, remindID, &error)) << error.ToUtf8();
  EXPECT_EQ(loaded.m_nRegularRange, 0);
  EXPECT_EQ(loaded.m_nNum, 0);
  EXPECT_EQ(loaded.m_nCount, 0);
  EXPECT_EQ(loaded.m_dtEnd, At(2030, 1, 1));  // a NULL end does not clear it
  EXPECT_EQ(Load(remindID)->m_dtEnd.GetStatus(), COleDateTime::null);
}

TEST_F(RemindRepeatDB, FailuresReportTheDatabasesReason) {
  CNorvRemindRepeat repeat;
  FillDaily(repeat);
  CString error;
  ASSERT_TRUE(repeat.DBInsert(session, 2, remindID, &error));
  EXPECT_FALSE(repeat.DBInsert(session, 2, remindID, &error));  // one row per remind
  EXPECT_FALSE(error.IsEmpty());

  CSession empty;
  ASSERT_TRUE(empty.Open(CString::FromUtf8("sqlite:" + dir.File("empty.db")), &error));
  error.Empty();
  EXPECT_FALSE(repeat.DBUpdate(empty, 2, remindID, &error));
  EXPECT_FALSE(error.IsEmpty());
  error.Empty();
  EXPECT_FALSE(CNorvRemindRepeat::DBDelete(empty, remindID, &error));
  EXPECT_FALSE(error.IsEmpty());
  error.Empty();
  EXPECT_FALSE(CNorvRemindRepeat::DBSetRepeatCount(empty, remindID, 1, &error));
  EXPECT_FALSE(error.IsEmpty());

  CNorvRemindRepeat untouched;
  error.Empty();
  EXPECT_FALSE(untouched.DBLoadData(empty, remindID, &error));
  EXPECT_FALSE(error.IsEmpty());
  EXPECT_EQ(untouched.GenInfo_XML(), CNorvRemindRepeat().GenInfo_XML());
}

// Readers must always see one whole rule while a writer swaps between two.
TEST(RemindRepeatThreads, ReadersSeeWholeRulesWhileAWriterReplacesThem) {
  CNorvRemindRepeat first;
  FillDaily(first);
  first.m_nRegularType = 1;
  first.m_nRegularValue = 254;
  CNorvRemindRepeat second;
  second.m_strRemindTime = L"23:45 and a longer text to move the buffer";
  second.m_nRegularType = 1;
  second.m_nRegularValue = 254;
  second.m_dtStart = At(2025, 6, 1);
  second.m_dtEnd = At(2027, 1, 1);
  const CString firstXml = first.GenInfo_XML();
  const CString secondXml = second.GenInfo_XML();
  const CString firstJson = first.GenInfo_Json();
  const CString secondJson = second.GenInfo_Json();

  CNorvRemindRepeat shared;
  shared.SetInfo(&first);
  std::atomic<bool> stop{false};
  std::atomic<int> mismatches{0};
  std::atomic<int> reads{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        CString xml = shared.GenInfo_XML();
        CString json = shared.GenInfo_Json();
        CNorvRemindRepeat copy;
        shared.GetInfo(&copy);
        CString copied = copy.GenInfo_XML();
        bool match = shared.MatchDate(At(2026, 3, 3, 10));
        if ((xml != firstXml && xml != secondXml) || (json != firstJson && json != secondJson) ||
            (copied != firstXml && copied != secondXml) || !match) {
          ++mismatches;
        }
        ++reads;
      }
    });
  }
  for (int round = 0; round < 2000 || reads.load() < 3000; ++round) {
    shared.SetInfo(round % 2 == 0 ? &second : &first);
  }
  stop = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
