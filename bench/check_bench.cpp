// The check list at scale: one check pass over N waiting messages of which
// 1 % are due, and sorted insertion into a list of N, each beside the bare
// cost it is judged against.
#include <NorvRemindCore.h>
#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kDuePercent = 1;

CNorvRemindAMMsg* NewMessage(const COleDateTime& time) {
  CNorvRemindAMMsg* message = new CNorvRemindAMMsg;
  message->m_ID.NewID();
  message->m_dtRemind = time;
  return message;
}

// Waiting messages far in the future, appended in time order as loading does.
std::vector<CNorvBasePtr<CNorvRemindAMMsg>> FillFuture(CNorvRemindMgr& manager, int count) {
  std::vector<CNorvBasePtr<CNorvRemindAMMsg>> messages;
  messages.reserve(count);
  const COleDateTime first(9000, 1, 1, 0, 0, 0);
  for (int i = 0; i < count; ++i) {
    messages.emplace_back(NewMessage(first + COleDateTimeSpan(0, 0, 0, i)));
    manager.AddRemindAMMsg(messages.back(), false);
  }
  return messages;
}

void BM_CheckPass(benchmark::State& state) {
  const int waiting = static_cast<int>(state.range(0));
  const int due = waiting * kDuePercent / 100;
  CNorvRemindMgr manager;
  FillFuture(manager, waiting - due);
  std::vector<CNorvBasePtr<CNorvRemindAMMsg>> dueMessages;
  const COleDateTime past(2000, 1, 1, 0, 0, 0);
  for (int i = 0; i < due; ++i)
    dueMessages.emplace_back(NewMessage(past + COleDateTimeSpan(0, 0, 0, i)));
  for (auto _ : state) {
    state.PauseTiming();
    manager.SendAMMsgList.clear();
    for (auto& message : dueMessages) manager.AddRemindAMMsg(message, true);
    state.ResumeTiming();
    manager.CheckAMMsg();
  }
  if (manager.SendAMMsgList.size() != static_cast<size_t>(due))
    state.SkipWithError("wrong due count");
}
BENCHMARK(BM_CheckPass)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// The bare cost: a counted pointer written here, objects allocated one by
// one like the messages, a vector of them copied and released.
struct Counted {
  std::atomic<long> references{1};
  char payload[200];
};

class CountedRef {
 public:
  explicit CountedRef(Counted* object) : m_object(object) {}
  CountedRef(const CountedRef& other) : m_object(other.m_object) {
    m_object->references.fetch_add(1, std::memory_order_relaxed);
  }
  CountedRef& operator=(const CountedRef&) = delete;
  ~CountedRef() {
    if (m_object->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete m_object;
  }

 private:
  Counted* m_object;
};

void BM_CopyCountedPointers(benchmark::State& state) {
  std::vector<CountedRef> list;
  list.reserve(state.range(0));
  for (int64_t i = 0; i < state.range(0); ++i) list.emplace_back(new Counted);
  for (auto _ : state) {
    std::vector<CountedRef> copy(list);
    benchmark::DoNotOptimize(copy.data());
  }
}
BENCHMARK(BM_CopyCountedPointers)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

constexpr int kInsertBatch = 1000;

// Sorted insertion of messages at random times among N waiting ones; the
// time is per inserted message.
void BM_SortedInsert(benchmark::State& state) {
  CNorvRemindMgr manager;
  const int waiting = static_cast<int>(state.range(0));
  FillFuture(manager, waiting);
  std::mt19937 random(7);
  std::uniform_int_distribution<int> second(0, waiting);
  std::vector<CNorvBasePtr<CNorvRemindAMMsg>> batch;
  const COleDateTime first(9000, 1, 1, 0, 0, 0);
  for (int i = 0; i < kInsertBatch; ++i) {
    batch.emplace_back(NewMessage(first + COleDateTimeSpan(0, 0, 0, second(random))));
  }
  for (auto _ : state) {
    for (auto& message : batch) manager.AddRemindAMMsg(message, true);
    state.PauseTiming();
    for (auto& message : batch) manager.RemoveRemindAMMsg(message);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kInsertBatch);
}
BENCHMARK(BM_SortedInsert)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

}  // namespace
