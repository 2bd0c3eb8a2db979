#include "core/base/CNorvEvent.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

// One thread blocked in a wait; every event it waits on wakes it on Set.
struct Waiter {
  std::mutex mutex;
  std::condition_variable wake;
  bool signalled = false;

  void Signal() {
    std::lock_guard<std::mutex> lock(mutex);
    signalled = true;
    wake.notify_one();
  }
};

}  // namespace

// Lock order: an event's mutex may be held while taking a waiter's, never
// the reverse.
struct CNorvEvent::State {
  mutable std::mutex mutex;
  bool set = false;
  std::vector<Waiter*> waiters;

  bool IsSet() const {
    std::lock_guard<std::mutex> lock(mutex);
    return set;
  }
  void Add(Waiter* waiter) {
    std::lock_guard<std::mutex> lock(mutex);
    waiters.push_back(waiter);
  }
  void Remove(Waiter* waiter) {
    std::lock_guard<std::mutex> lock(mutex);
    waiters.erase(std::find(waiters.begin(), waiters.end(), waiter));
  }
};

CNorvEvent::CNorvEvent(bool initialState) : m_state(std::make_shared<State>()) {
  m_state->set = initialState;
}

CNorvEvent::~CNorvEvent() = default;

void CNorvEvent::Set() {
  std::lock_guard<std::mutex> lock(m_state->mutex);
  m_state->set = true;
  for (Waiter* waiter : m_state->waiters) waiter->Signal();
}

void CNorvEvent::Reset() {
  std::lock_guard<std::mutex> lock(m_state->mutex);
  m_state->set = false;
}

bool CNorvEvent::IsSet() const { return m_state->IsSet(); }

bool CNorvEvent::Wait(CNorvEvent* event, unsigned milliseconds) {
  // The same state is checked twice, so either index means it was set.
  return WaitEither(event, event, milliseconds) != kTimeout;
}

int CNorvEvent::WaitEither(CNorvEvent* first, CNorvEvent* second, unsigned milliseconds) {
  const std::shared_ptr<State> states[] = {first->m_state, second->m_state};
  auto firstSet = [&states]() -> int {
    for (int i = 0; i < 2; ++i) {
      if (states[i]->IsSet()) return i;
    }
    return kTimeout;
  };
  int result = firstSet();
  if (result != kTimeout || milliseconds == 0) return result;

  Waiter waiter;
  for (const auto& state : states) state->Add(&waiter);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while ((result = firstSet()) == kTimeout) {
    std::unique_lock<std::mutex> lock(waiter.mutex);
    if (milliseconds == kInfinite) {
      waiter.wake.wait(lock, [&waiter] { return waiter.signalled; });
    } else if (!waiter.wake.wait_until(lock, deadline, [&waiter] { return waiter.signalled; })) {
      break;
    }
    waiter.signalled = false;
  }
  for (const auto& state : states) state->Remove(&waiter);
  return result;
}
