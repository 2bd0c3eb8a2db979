#include "host/daemon/NetworkProbe.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace norvhost {

namespace {

constexpr int kConnectTimeoutMs = 5000;

bool TryAddress(const addrinfo& address, std::string& reason) {
  const int descriptor = socket(
      address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, address.ai_protocol);
  if (descriptor < 0) {
    reason = std::strerror(errno);
    return false;
  }
  int error = 0;
  if (connect(descriptor, address.ai_addr, address.ai_addrlen) != 0) {
    error = errno;
    if (error == EINPROGRESS) {
      pollfd ready{descriptor, POLLOUT, 0};
      const int polled = poll(&ready, 1, kConnectTimeoutMs);
      socklen_t length = sizeof error;
      if (polled == 0) {
        error = ETIMEDOUT;
      } else if (polled < 0 || getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        error = errno;
      }
    }
  }
  close(descriptor);
  if (error != 0) reason = std::strerror(error);
  return error == 0;
}

}  // namespace

bool CanConnect(const std::string& host, unsigned port, std::string& reason) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* addresses = nullptr;
  const int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses);
  if (resolved != 0) {
    reason = gai_strerror(resolved);
    return false;
  }
  bool connected = false;
  for (addrinfo* address = addresses; address != nullptr && !connected;
       address = address->ai_next) {
    connected = TryAddress(*address, reason);
  }
  freeaddrinfo(addresses);
  return connected;
}

}  // namespace norvhost
