// Raw POSIX socket helpers for the test servers and fixtures: loopback
// listeners, free and closed ports, bounded waits. Everything binds to
// 127.0.0.1 only. Setup failures throw std::system_error (a broken test
// machine, not a behaviour under test).
#ifndef REPLYVANE_TESTS_SUPPORT_SOCKET_UTIL_H_
#define REPLYVANE_TESTS_SUPPORT_SOCKET_UTIL_H_

#include <chrono>
#include <utility>
#include <vector>

namespace replyvane::testing {

// Owns one file descriptor and closes it when destroyed.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept;
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { Reset(); }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  // Closes the descriptor now (no-op when none).
  void Reset();

 private:
  int fd_ = -1;
};

// A TCP listener on 127.0.0.1:`port` (0: an ephemeral port), close-on-exec,
// with SO_REUSEADDR. Throws std::system_error when bind or listen fails.
Fd ListenLoopback(int port, int backlog = 16);

// The local port a socket is bound to.
int LocalPort(int fd);

// A port on 127.0.0.1 where nothing listens, so a connect is refused: it was
// bound a moment ago and released without listening.
int ClosedPort();

// A listener on 127.0.0.1 that never answers a connect: its accept queue is
// full and it accepts nothing, so the SYN of a new connect is dropped, as a
// host behind a firewall that drops packets would. Its port is Port().
class UnansweringListener {
 public:
  UnansweringListener();
  int Port() const { return port_; }

 private:
  Fd listener_;
  std::vector<Fd> queued_;
  int port_ = 0;
};

// True when a listener could bind 127.0.0.1:`port` right now.
bool PortIsFree(int port);

// An ephemeral (high) port on 127.0.0.1 that was checked free; another
// program could still take it before the caller binds it.
int FreeHighPort();

// Connects a blocking socket to 127.0.0.1:`port` within `timeout`. Returns
// an invalid Fd when the connect is refused or does not finish in time.
Fd ConnectLoopback(int port, std::chrono::milliseconds timeout);

enum class WaitResult { kReady, kTimedOut, kWoken };

// Waits until `fd` is readable (or writable when `for_write`), or `wake_fd`
// (when >= 0) is readable, at most `timeout`. kWoken wins over kReady.
WaitResult WaitFor(int fd, bool for_write, int wake_fd,
                   std::chrono::milliseconds timeout);

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_SOCKET_UTIL_H_
