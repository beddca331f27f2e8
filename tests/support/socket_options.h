// What the tests read back from a client's socket: the socket of this
// process connected to a given peer, and its keepalive options.
#ifndef REPLYVANE_TESTS_SUPPORT_SOCKET_OPTIONS_H_
#define REPLYVANE_TESTS_SUPPORT_SOCKET_OPTIONS_H_

#include <string>

namespace replyvane::testing {

// The descriptor of this process's TCP socket whose peer is `ip`:`port`,
// found among its open descriptors; -1 when there is none.
int SocketConnectedTo(const std::string& ip, int port);

// The keepalive options of a socket, as getsockopt reads them; -1 for an
// option that could not be read.
struct KeepAliveOptions {
  int keepalive = -1;     // SO_KEEPALIVE
  int idle = -1;          // TCP_KEEPIDLE, s
  int interval = -1;      // TCP_KEEPINTVL, s
  int count = -1;         // TCP_KEEPCNT
  int user_timeout = -1;  // TCP_USER_TIMEOUT, ms
};
KeepAliveOptions ReadKeepAliveOptions(int fd);

// "keepalive 1 idle 60 interval 10 count 6 user timeout 120000", to
// compare with a readable failure message.
std::string Describe(const KeepAliveOptions& options);

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_SOCKET_OPTIONS_H_
