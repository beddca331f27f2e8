#include "tests/support/cutting_proxy.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <system_error>

namespace replyvane::testing {

namespace {

using Clock = std::chrono::steady_clock;

bool SendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= size_t(sent);
  }
  return true;
}

// Reads and drops the server's reply to `line`: up to a line that starts
// with its tag, a continuation request, or a second without a byte.
void SwallowReply(int server, const std::string& line) {
  const std::string tag = line.substr(0, line.find(' ')) + " ";
  const auto end = Clock::now() + std::chrono::seconds(5);
  std::string pending;
  char buffer[16384];
  while (Clock::now() < end) {
    if (WaitFor(server, false, -1, std::chrono::seconds(1)) !=
        WaitResult::kReady) {
      return;
    }
    const ssize_t got = ::recv(server, buffer, sizeof buffer, 0);
    if (got <= 0) return;
    pending.append(buffer, size_t(got));
    for (size_t start = 0, lf;
         (lf = pending.find('\n', start)) != std::string::npos;
         start = lf + 1) {
      const std::string_view reply(pending.data() + start, lf - start);
      if (reply.substr(0, tag.size()) == tag || reply.substr(0, 1) == "+") {
        return;
      }
    }
    const size_t last = pending.rfind('\n');
    if (last != std::string::npos) pending.erase(0, last + 1);
  }
}

}  // namespace

CuttingProxy::CuttingProxy(int target_port)
    : listener_(ListenLoopback(0)), target_port_(target_port) {
  port_ = LocalPort(listener_.Get());
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    throw std::system_error(errno, std::generic_category(), "pipe2");
  }
  wake_[0] = Fd(fds[0]);
  wake_[1] = Fd(fds[1]);
  thread_ = std::thread([this] { Run(); });
}

CuttingProxy::~CuttingProxy() {
  stop_ = true;
  const char byte = 0;
  (void)!::write(wake_[1].Get(), &byte, 1);
  thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::thread& relay : relays_) relay.join();
}

void CuttingProxy::CutAt(int line, Cut how) {
  cut_how_ = how;
  lines_seen_ = 0;
  cut_done_ = false;
  cut_line_ = line;
}

void CuttingProxy::Run() {
  while (!stop_) {
    if (WaitFor(listener_.Get(), false, wake_[0].Get(),
                std::chrono::seconds(1)) != WaitResult::kReady) {
      continue;
    }
    const int accepted =
        ::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC);
    if (accepted < 0) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    relays_.emplace_back([this, accepted] { Relay(Fd(accepted)); });
  }
}

void CuttingProxy::Relay(Fd client) {
  Fd server = ConnectLoopback(target_port_, std::chrono::seconds(5));
  if (!server.Valid()) return;
  std::string line;  // the client line being read
  char buffer[16384];
  while (!stop_) {
    pollfd fds[2] = {{client.Get(), POLLIN, 0}, {server.Get(), POLLIN, 0}};
    if (::poll(fds, 2, 100) <= 0) continue;
    if (fds[1].revents != 0) {
      const ssize_t got = ::recv(server.Get(), buffer, sizeof buffer, 0);
      if (got <= 0 || !SendAll(client.Get(), buffer, size_t(got))) return;
    }
    if (fds[0].revents == 0) continue;
    const ssize_t got = ::recv(client.Get(), buffer, sizeof buffer, 0);
    if (got <= 0) return;
    for (size_t i = 0; i < size_t(got); ++i) {
      line += buffer[i];
      if (buffer[i] != '\n') continue;
      const int number = ++lines_seen_;
      if (cut_done_ || number != cut_line_) {
        line.clear();
        continue;
      }
      cut_done_ = true;
      if (cut_how_ == Cut::kBeforeLine) {
        // Up to the line's first byte, which may lie in an earlier read.
        const size_t begin = i + 1 - std::min(line.size(), i + 1);
        SendAll(server.Get(), buffer, begin);
      } else {
        SendAll(server.Get(), buffer, i + 1);
        SwallowReply(server.Get(), line);
      }
      return;
    }
    if (!SendAll(server.Get(), buffer, size_t(got))) return;
  }
}

}  // namespace replyvane::testing
