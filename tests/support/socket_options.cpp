// Descriptors are found through /proc/self/fd, so a test needs no access to
// the connection's inner handler to see the socket it uses.
#include "tests/support/socket_options.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cstdlib>
#include <cstring>

namespace replyvane::testing {

int SocketConnectedTo(const std::string& ip, int port) {
  DIR* dir = ::opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  int found = -1;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    const int fd = std::atoi(entry->d_name);
    if (fd == ::dirfd(dir)) continue;
    sockaddr_in peer;
    socklen_t length = sizeof(peer);
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
        peer.sin_family != AF_INET || ntohs(peer.sin_port) != port) {
      continue;
    }
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof(text));
    if (ip == text) {
      found = fd;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

namespace {

int Option(int fd, int level, int name) {
  int value = 0;
  socklen_t length = sizeof(value);
  return ::getsockopt(fd, level, name, &value, &length) == 0 ? value : -1;
}

}  // namespace

KeepAliveOptions ReadKeepAliveOptions(int fd) {
  KeepAliveOptions options;
  options.keepalive = Option(fd, SOL_SOCKET, SO_KEEPALIVE);
  options.idle = Option(fd, IPPROTO_TCP, TCP_KEEPIDLE);
  options.interval = Option(fd, IPPROTO_TCP, TCP_KEEPINTVL);
  options.count = Option(fd, IPPROTO_TCP, TCP_KEEPCNT);
  options.user_timeout = Option(fd, IPPROTO_TCP, TCP_USER_TIMEOUT);
  return options;
}

std::string Describe(const KeepAliveOptions& options) {
  return "keepalive " + std::to_string(options.keepalive) + " idle " +
         std::to_string(options.idle) + " interval " +
         std::to_string(options.interval) + " count " +
         std::to_string(options.count) + " user timeout " +
         std::to_string(options.user_timeout);
}

}  // namespace replyvane::testing
