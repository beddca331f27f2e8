// Hand-driven protocol client for tests. Reads wait at most the timeout each;
// a failure shows as an empty result, so tests assert on it directly.
#include "tests/support/line_client.h"

#include <sys/socket.h>

#include <cerrno>
#include <thread>

namespace replyvane::testing {

LineClient::LineClient(int port, std::chrono::milliseconds timeout)
    : socket_(ConnectLoopback(port, timeout)), timeout_(timeout) {}

bool LineClient::Send(std::string_view bytes) {
  while (!bytes.empty() && socket_.Valid()) {
    if (WaitFor(socket_.Get(), true, -1, timeout_) != WaitResult::kReady) {
      return false;
    }
    ssize_t sent = send(socket_.Get(), bytes.data(), bytes.size(),
                        MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (sent < 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return bytes.empty();
}

bool LineClient::Fill() {
  if (!socket_.Valid() || closed_) return false;
  for (;;) {
    if (WaitFor(socket_.Get(), false, -1, timeout_) != WaitResult::kReady) {
      return false;
    }
    char chunk[16384];
    ssize_t got = recv(socket_.Get(), chunk, sizeof chunk, MSG_DONTWAIT);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (got <= 0) {
      closed_ = true;
      return false;
    }
    buffer_.append(chunk, static_cast<size_t>(got));
    return true;
  }
}

std::optional<std::string> LineClient::ReadLine() {
  size_t scan = 0;
  for (;;) {
    size_t end = buffer_.find('\n', scan);
    if (end != std::string::npos) {
      std::string line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    scan = buffer_.size();
    if (!Fill()) return std::nullopt;
  }
}

std::optional<std::string> LineClient::ReadLinesUntil(
    std::string_view terminator) {
  std::string text;
  for (;;) {
    std::optional<std::string> line = ReadLine();
    if (!line) return std::nullopt;
    if (*line == terminator) return text;
    text += *line + "\r\n";
  }
}

std::string LineClient::ReadToClose() {
  while (Fill()) {
  }
  return std::exchange(buffer_, std::string());
}

std::optional<std::string> WaitForGreeting(int port, std::string_view prefix,
                                           std::string_view quit,
                                           std::chrono::milliseconds timeout,
                                           const std::function<bool()>& alive) {
  using std::chrono::milliseconds;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline && alive()) {
    LineClient probe(port, milliseconds(1000));
    if (probe.Connected()) {
      std::optional<std::string> greeting = probe.ReadLine();
      if (greeting && greeting->starts_with(prefix)) {
        probe.SendLine(quit);
        probe.ReadLine();
        return greeting;
      }
    }
    std::this_thread::sleep_for(milliseconds(20));
  }
  return std::nullopt;
}

}  // namespace replyvane::testing
