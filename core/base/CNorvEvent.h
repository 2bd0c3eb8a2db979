#ifndef NORV_CORE_BASE_CNORVEVENT_H_
#define NORV_CORE_BASE_CNORVEVENT_H_

#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "core/base/NorvExport.h"

// A manual-reset event: once set it stays set, releasing every waiter,
// until reset.
class NORV_EXPORT CNorvEvent {
 public:
  static constexpr unsigned kInfinite = UINT_MAX;
  static constexpr int kTimeout = -1;

  explicit CNorvEvent(bool initialState = false);
  virtual ~CNorvEvent();
  CNorvEvent(const CNorvEvent&) = delete;
  CNorvEvent& operator=(const CNorvEvent&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;
  // The waitable handle.
  CNorvEvent* GetEvent() { return this; }

  // True when the event is set within the timeout.
  static bool Wait(CNorvEvent* event, unsigned milliseconds);
  // 0 when the first is set, 1 when the second is, kTimeout otherwise; when
  // both are set the first wins.
  static int WaitEither(CNorvEvent* first, CNorvEvent* second, unsigned milliseconds);

 private:
  struct State;
  std::shared_ptr<State> m_state;
};

class NORV_EXPORT CManualResetEvent : public CNorvEvent {
 public:
  explicit CManualResetEvent(bool initialState) : CNorvEvent(initialState) {}
};

#endif  // NORV_CORE_BASE_CNORVEVENT_H_
