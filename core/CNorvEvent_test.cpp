#include "core/CNorvEvent.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/CNorvThread.h"

namespace {

TEST(CNorvEventTest, InitialStateAndManualReset) {
  CManualResetEvent unset(false);
  CManualResetEvent set(true);
  EXPECT_FALSE(unset.IsSet());
  EXPECT_TRUE(set.IsSet());
  EXPECT_EQ(&set, set.GetEvent());
  // A manual-reset event stays set for every waiter until reset.
  EXPECT_TRUE(CNorvEvent::Wait(&set, 0));
  EXPECT_TRUE(CNorvEvent::Wait(&set, 10));
  set.Reset();
  EXPECT_FALSE(set.IsSet());
  EXPECT_FALSE(CNorvEvent::Wait(&set, 0));
}

TEST(CNorvEventTest, WaitForAnUnsetEventTimesOut) {
  CManualResetEvent event(false);
  EXPECT_FALSE(CNorvEvent::Wait(&event, 0));
  EXPECT_FALSE(CNorvEvent::Wait(&event, 20));
  event.Set();
  EXPECT_TRUE(CNorvEvent::Wait(&event, 20));
}

TEST(CNorvEventTest, WaitEitherReportsWhichIsSet) {
  CManualResetEvent first(false);
  CManualResetEvent second(false);
  EXPECT_EQ(CNorvEvent::kTimeout, CNorvEvent::WaitEither(&first, &second, 0));
  EXPECT_EQ(CNorvEvent::kTimeout, CNorvEvent::WaitEither(&first, &second, 20));
  second.Set();
  EXPECT_EQ(1, CNorvEvent::WaitEither(&first, &second, 20));
  first.Set();
  EXPECT_EQ(0, CNorvEvent::WaitEither(&first, &second, 20));
  EXPECT_EQ(0, CNorvEvent::WaitEither(&first, &second, CNorvEvent::kInfinite));
  // Both set: whichever is listed first wins.
  EXPECT_EQ(0, CNorvEvent::WaitEither(&second, &first, 0));
  second.Reset();
  EXPECT_EQ(1, CNorvEvent::WaitEither(&second, &first, 0));
}

TEST(CNorvEventTest, AnotherThreadWakesAnInfiniteWait) {
  CManualResetEvent event(false);
  std::thread setter([&event] { event.Set(); });
  EXPECT_TRUE(CNorvEvent::Wait(&event, CNorvEvent::kInfinite));
  setter.join();
}

TEST(CNorvEventTest, AnotherThreadWakesWaitEither) {
  CManualResetEvent work(false);
  CManualResetEvent stop(false);
  std::atomic<int> woken{-2};
  std::thread waiter([&] { woken = CNorvEvent::WaitEither(&work, &stop, CNorvEvent::kInfinite); });
  stop.Set();
  waiter.join();
  EXPECT_EQ(1, woken.load());
  EXPECT_TRUE(stop.IsSet());
}

TEST(CNorvEventTest, ManyWaitersAreAllReleased) {
  CManualResetEvent gate(false);
  CManualResetEvent other(false);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i) {
    waiters.emplace_back([&, i] {
      bool woke = i % 2 == 0 ? CNorvEvent::Wait(&gate, CNorvEvent::kInfinite)
                             : CNorvEvent::WaitEither(&other, &gate, CNorvEvent::kInfinite) == 1;
      if (woke) ++released;
    });
  }
  gate.Set();
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(4, released.load());
}

TEST(CNorvEventTest, RepeatedSetAndResetAcrossThreads) {
  CManualResetEvent ping(false);
  CManualResetEvent pong(false);
  std::thread partner([&] {
    for (int i = 0; i < 200; ++i) {
      ASSERT_TRUE(CNorvEvent::Wait(&ping, CNorvEvent::kInfinite));
      ping.Reset();
      pong.Set();
    }
  });
  for (int i = 0; i < 200; ++i) {
    ping.Set();
    ASSERT_TRUE(CNorvEvent::Wait(&pong, CNorvEvent::kInfinite));
    pong.Reset();
  }
  partner.join();
  EXPECT_FALSE(ping.IsSet());
}

// Counts its runs; each run waits for the test to let it finish.
class GatedThread : public CNorvThread {
 public:
  ~GatedThread() override { Join(); }

  unsigned Run() override {
    ++m_runs;
    CNorvEvent::Wait(&m_release, CNorvEvent::kInfinite);
    GetHandle()->Set();
    return 0;
  }

  CManualResetEvent m_release{false};
  std::atomic<int> m_runs{0};
};

TEST(CNorvThreadTest, WaitReportsTheEndOfTheBody) {
  GatedThread thread;
  ASSERT_TRUE(thread.Start());
  EXPECT_FALSE(thread.Wait(0));
  EXPECT_FALSE(thread.Wait(20));
  thread.m_release.Set();
  EXPECT_TRUE(thread.Wait(CNorvEvent::kInfinite));
  thread.Join();
  EXPECT_EQ(1, thread.m_runs.load());
}

TEST(CNorvThreadTest, StartsAgainAfterARunEnds) {
  GatedThread thread;
  thread.m_release.Set();
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(thread.Wait(CNorvEvent::kInfinite));
  thread.m_release.Reset();
  ASSERT_TRUE(thread.Start());
  // The done signal of the first run was cleared by the second start.
  EXPECT_FALSE(thread.Wait(0));
  thread.m_release.Set();
  EXPECT_TRUE(thread.Wait(CNorvEvent::kInfinite));
  thread.Join();
  EXPECT_EQ(2, thread.m_runs.load());
}

TEST(CNorvThreadTest, RefusesASecondStartWhileRunning) {
  GatedThread thread;
  ASSERT_TRUE(thread.Start());
  EXPECT_FALSE(thread.Start());
  thread.m_release.Set();
  thread.Join();
  EXPECT_EQ(1, thread.m_runs.load());
  EXPECT_TRUE(thread.Wait(0));
}

// A body that never signals its handle still counts as done once it returns.
class SilentThread : public CNorvThread {
 public:
  ~SilentThread() override { Join(); }
  unsigned Run() override { return 7; }
};

TEST(CNorvThreadTest, HandleIsSetWhenTheBodyForgets) {
  SilentThread thread;
  ASSERT_TRUE(thread.Start());
  EXPECT_TRUE(thread.Wait(CNorvEvent::kInfinite));
}

TEST(CNorvThreadTest, JoinWithoutStartDoesNothing) {
  SilentThread thread;
  thread.Join();
  EXPECT_FALSE(thread.Wait(0));
}

}  // namespace
