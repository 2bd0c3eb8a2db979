// The host's hot paths: deciding which reminds fire on a day, rendering
// them, and storing firings in the embedded database.
#include <NorvRemindCore.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

CNorvBasePtr<CNorvRemind> ParseRemind(const wchar_t* definition) {
  CNorvXmlDocument document;
  CNorvCommFun::ParseXML(definition, document);
  CNorvBasePtr<CNorvRemind> remind(new CNorvRemind);
  CString errorText;
  remind->ParseXML(document.GetRootElement(), errorText);
  return remind;
}

const wchar_t kPeriodic[] =
    L"<Remind Type='1'><Content>Stand-up</Content>"
    L"<Repeat RemindTime='09:30' RegularType='1' RegularValue='124' DTStart='2026-01-01' />"
    L"<ReceiverList><Receiver ID='alice' Name='Alice' /><Receiver ID='bob' Name='Bob' />"
    L"</ReceiverList></Remind>";

void BM_ParseDefinition(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ParseRemind(kPeriodic));
}
BENCHMARK(BM_ParseDefinition);

void BM_NeedRemindAYear(benchmark::State& state) {
  CNorvBasePtr<CNorvRemind> remind = ParseRemind(kPeriodic);
  const COleDateTime first(2026, 1, 1, 0, 0, 0);
  for (auto _ : state) {
    int firings = 0;
    for (int day = 0; day < 365; ++day)
      firings += remind->NeedRemind(first + COleDateTimeSpan(day)) ? 1 : 0;
    benchmark::DoNotOptimize(firings);
  }
}
BENCHMARK(BM_NeedRemindAYear);

void BM_RenderJson(benchmark::State& state) {
  CNorvBasePtr<CNorvRemind> remind = ParseRemind(kPeriodic);
  for (auto _ : state) benchmark::DoNotOptimize(remind->GenInfo_Json());
}
BENCHMARK(BM_RenderJson);

// Single-row autocommit inserts of inbox rows, in the session's own journal
// mode (WAL, synchronous=NORMAL) and, for comparison, in SQLite's default
// rollback journal with full syncs.
void BM_InsertInboxRows(benchmark::State& state, bool defaultJournal) {
  std::string path = (std::filesystem::temp_directory_path() / "norv-bench.db").string();
  std::filesystem::remove(path);
  CSession session;
  session.Open(CString::FromUtf8("sqlite:" + path));
  CString errorText;
  if (defaultJournal) {
    CNorvDBFun::RunSQL(session, L"PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL", &errorText,
                       CNorvDBFun::kSourceFile, CNorvDBFun::kSourceLine);
  }
  CNorvDBFun::RunSQL(
      session,
      L"CREATE TABLE NORV_REMIND_MSG ( CN_G_ID TEXT PRIMARY KEY, CN_G_REMIND_ID TEXT, "
      L"CN_S_CONTENT TEXT, CN_S_CONTENT_TYPE TEXT, CN_S_RECEIVER TEXT, "
      L"CN_S_RECEIVER_NAME TEXT, CN_T_REMIND TEXT, CN_N_STATUS INTEGER, CN_T_READ TEXT )",
      &errorText, CNorvDBFun::kSourceFile, CNorvDBFun::kSourceLine);
  CNorvBasePtr<CNorvRemind> remind = ParseRemind(kPeriodic);
  remind->m_ID.NewID();
  CStringArray receivers;
  CStringArray names;
  receivers.Add(L"alice");
  names.Add(L"Alice");
  const COleDateTime when(2026, 12, 5, 9, 30, 0);
  for (auto _ : state) remind->DBInsertMsg(session, 1, receivers, names, when, &errorText);
  state.SetItemsProcessed(state.iterations());
  session.Close();
  std::filesystem::remove(path);
  std::filesystem::remove(path + "-wal");
  std::filesystem::remove(path + "-shm");
}
BENCHMARK_CAPTURE(BM_InsertInboxRows, session_wal, false)->UseRealTime();
BENCHMARK_CAPTURE(BM_InsertInboxRows, default_journal, true)->UseRealTime();

}  // namespace
