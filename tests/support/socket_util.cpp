// Loopback socket helpers. Failures to set up a socket throw
// std::system_error with the call that failed; waits never block longer than
// asked.
#include "tests/support/socket_util.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace replyvane::testing {
namespace {

[[noreturn]] void Fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

sockaddr_in LoopbackAddress(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

Fd NewSocket() {
  Fd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) Fail("socket");
  return fd;
}

bool Bind(int fd, int port) {
  sockaddr_in address = LoopbackAddress(port);
  return bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

}  // namespace

Fd& Fd::operator=(Fd&& other) noexcept {
  if (this != &other) {
    Reset();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void Fd::Reset() {
  if (fd_ >= 0) close(std::exchange(fd_, -1));
}

Fd ListenLoopback(int port, int backlog) {
  Fd fd = NewSocket();
  int on = 1;
  setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (!Bind(fd.Get(), port)) Fail("bind 127.0.0.1");
  if (listen(fd.Get(), backlog) != 0) Fail("listen");
  return fd;
}

int LocalPort(int fd) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    Fail("getsockname");
  }
  return ntohs(address.sin_port);
}

int ClosedPort() {
  Fd fd = NewSocket();
  if (!Bind(fd.Get(), 0)) Fail("bind 127.0.0.1");
  return LocalPort(fd.Get());
}

UnansweringListener::UnansweringListener() : listener_(ListenLoopback(0, 0)) {
  port_ = LocalPort(listener_.Get());
  // The queue of a backlog of 0 holds one connection; a few more make sure.
  for (int i = 0; i < 3; ++i) {
    Fd fd = ConnectLoopback(port_, std::chrono::milliseconds(200));
    if (fd.Get() < 0) break;
    queued_.push_back(std::move(fd));
  }
}

bool PortIsFree(int port) {
  // No SO_REUSEADDR: a socket still in TIME_WAIT or a listener of another
  // program makes the port count as taken.
  Fd fd = NewSocket();
  return Bind(fd.Get(), port) && listen(fd.Get(), 1) == 0;
}

int FreeHighPort() {
  for (int attempt = 0; attempt < 20; ++attempt) {
    int port = ClosedPort();
    if (port >= 1024 && PortIsFree(port)) return port;
  }
  errno = EADDRINUSE;
  Fail("no free port on 127.0.0.1");
}

Fd ConnectLoopback(int port, std::chrono::milliseconds timeout) {
  Fd fd = NewSocket();
  int flags = fcntl(fd.Get(), F_GETFL);
  fcntl(fd.Get(), F_SETFL, flags | O_NONBLOCK);
  sockaddr_in address = LoopbackAddress(port);
  if (connect(fd.Get(), reinterpret_cast<sockaddr*>(&address),
              sizeof address) != 0) {
    if (errno != EINPROGRESS) return Fd();
    if (WaitFor(fd.Get(), true, -1, timeout) != WaitResult::kReady) {
      return Fd();
    }
    int error = 0;
    socklen_t size = sizeof error;
    getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &size);
    if (error != 0) return Fd();
  }
  fcntl(fd.Get(), F_SETFL, flags);
  return fd;
}

WaitResult WaitFor(int fd, bool for_write, int wake_fd,
                   std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  pollfd fds[2] = {{fd, static_cast<short>(for_write ? POLLOUT : POLLIN), 0},
                   {wake_fd, POLLIN, 0}};
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() < 0) left = std::chrono::milliseconds(0);
    int ready = poll(fds, wake_fd >= 0 ? 2 : 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) Fail("poll");
    if (wake_fd >= 0 && fds[1].revents != 0) return WaitResult::kWoken;
    if (ready > 0) return WaitResult::kReady;
    if (left.count() == 0) return WaitResult::kTimedOut;
  }
}

}  // namespace replyvane::testing
