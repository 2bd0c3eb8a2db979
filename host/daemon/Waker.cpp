#include "host/daemon/Waker.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <system_error>

namespace norvhost {

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;
std::atomic<int> g_wakeDescriptor{-1};

void OnStopSignal(int signal) {
  g_stopSignal = signal;
  const int descriptor = g_wakeDescriptor.load();
  if (descriptor >= 0) {
    const char byte = 0;
    [[maybe_unused]] ssize_t ignored = write(descriptor, &byte, 1);
  }
}

}  // namespace

Waker::Waker() {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw std::system_error(errno, std::generic_category(), "pipe");
  }
  m_read = ends[0];
  m_write = ends[1];
}

Waker::~Waker() {
  if (g_wakeDescriptor.load() == m_write) g_wakeDescriptor.store(-1);
  close(m_read);
  close(m_write);
}

void Waker::Wake() {
  const char byte = 0;
  [[maybe_unused]] ssize_t ignored = write(m_write, &byte, 1);
}

void Waker::Wait(std::chrono::milliseconds timeout) {
  pollfd ready{m_read, POLLIN, 0};
  const long long milliseconds = timeout.count() < 0 ? 0 : timeout.count();
  if (poll(&ready, 1, static_cast<int>(milliseconds)) > 0) {
    char drain[64];
    while (read(m_read, drain, sizeof drain) > 0) {
    }
  }
}

void CatchStopSignals(Waker& waker) {
  g_wakeDescriptor.store(waker.m_write);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int StopSignal() { return g_stopSignal; }

}  // namespace norvhost
