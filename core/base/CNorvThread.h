#ifndef NORV_CORE_BASE_CNORVTHREAD_H_
#define NORV_CORE_BASE_CNORVTHREAD_H_

#include <thread>

#include "core/base/CNorvEvent.h"
#include "core/base/NorvExport.h"

// A worker thread. Derived classes put the body in Run() and signal
// GetHandle() as its last act; Wait() waits for that signal.
class NORV_EXPORT CNorvThread {
 public:
  CNorvThread();
  virtual ~CNorvThread();  // joins a thread that was started
  CNorvThread(const CNorvThread&) = delete;
  CNorvThread& operator=(const CNorvThread&) = delete;

  virtual unsigned Run() = 0;

  // Runs Run() on a new thread; a finished earlier run is joined first.
  bool Start();
  CNorvEvent* GetHandle() { return &m_done; }
  bool Wait(unsigned milliseconds) { return CNorvEvent::Wait(&m_done, milliseconds); }
  // Joins the thread if one was started; blocks until Run() has returned.
  void Join();

 private:
  CManualResetEvent m_done{false};
  std::thread m_thread;
};

#endif  // NORV_CORE_BASE_CNORVTHREAD_H_
