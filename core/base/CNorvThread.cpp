#include "core/base/CNorvThread.h"

#include <system_error>

CNorvThread::CNorvThread() = default;

CNorvThread::~CNorvThread() { Join(); }

bool CNorvThread::Start() {
  // A run whose body has not signalled yet is still going.
  if (m_thread.joinable() && !m_done.IsSet()) return false;
  Join();
  m_done.Reset();
  try {
    m_thread = std::thread([this] {
      Run();
      // Bodies signal this themselves; setting it again covers one that forgets.
      m_done.Set();
    });
  } catch (const std::system_error&) {
    m_done.Set();
    return false;
  }
  return true;
}

void CNorvThread::Join() {
  if (m_thread.joinable()) m_thread.join();
}
