#ifndef NORV_HOST_DAEMON_NETWORKPROBE_H_
#define NORV_HOST_DAEMON_NETWORKPROBE_H_

#include <string>

namespace norvhost {

// Whether a TCP connection to host:port opens within a few seconds; the
// system's reason otherwise. Lets the daemon refuse to start against a
// server that is not there instead of failing every send.
bool CanConnect(const std::string& host, unsigned port, std::string& reason);

}  // namespace norvhost

#endif  // NORV_HOST_DAEMON_NETWORKPROBE_H_
