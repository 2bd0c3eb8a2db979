#include "core/base/CNorvEvent.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/base/CNorvThread.h"

namespace {

// Counts its runs; each run lasts until the test releases it.
class GatedThread : public CNorvThread {
 public:
  ~GatedThread() override { Join(); }

  unsigned Run() override {
    ++m_runs;
    if (m_signals) {
      CNorvEvent::Wait(&m_release, CNorvEvent::kInfinite);
      GetHandle()->Set();
    }
    return 0;
  }

  bool m_signals = true;
  CManualResetEvent m_release{false};
  std::atomic<int> m_runs{0};
};

// A run's end is signalled whether or not its body signals.
TEST(CNorvThreadTest, WaitReportsTheEndOfEachRun) {
  GatedThread thread;
  thread.Join();
  EXPECT_FALSE(thread.Wait(0));
  ASSERT_TRUE(thread.Start());
  EXPECT_FALSE(thread.Start()) << "a second start while the body runs";
  EXPECT_FALSE(thread.Wait(20));
  thread.m_release.Set();
  EXPECT_TRUE(thread.Wait(CNorvEvent::kInfinite));

  thread.m_release.Reset();
  ASSERT_TRUE(thread.Start());
  EXPECT_FALSE(thread.Wait(0)) << "the first run's signal must not count for the second";
  thread.m_release.Set();
  EXPECT_TRUE(thread.Wait(CNorvEvent::kInfinite));
  thread.Join();
  thread.m_signals = false;
  ASSERT_TRUE(thread.Start());
  EXPECT_TRUE(thread.Wait(CNorvEvent::kInfinite));
  EXPECT_EQ(3, thread.m_runs.load());
}

}  // namespace
