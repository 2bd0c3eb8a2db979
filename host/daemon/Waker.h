#ifndef NORV_HOST_DAEMON_WAKER_H_
#define NORV_HOST_DAEMON_WAKER_H_

#include <chrono>

namespace norvhost {

// Lets the daemon's main loop sleep until its next deadline, a stop signal
// or a wake-up from another thread, whichever comes first.
class Waker {
 public:
  Waker();
  ~Waker();
  Waker(const Waker&) = delete;
  Waker& operator=(const Waker&) = delete;

  // Safe from any thread and from a signal handler.
  void Wake();
  // Returns at the timeout or earlier when woken.
  void Wait(std::chrono::milliseconds timeout);

 private:
  friend void CatchStopSignals(Waker& waker);
  int m_read = -1;
  int m_write = -1;
};

// SIGINT and SIGTERM from now on only record themselves and wake `waker`.
void CatchStopSignals(Waker& waker);
// The stop signal received so far, 0 for none.
int StopSignal();

}  // namespace norvhost

#endif  // NORV_HOST_DAEMON_WAKER_H_
