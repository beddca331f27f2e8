// The scripted server's thread: accepts connections in order and plays one
// script on each. A client that does something other than the script says is
// recorded as a failure text, never asserted here, so a wrong client cannot
// crash or hang the test; the worst it costs is the bounded read timeout.
#include "tests/support/scripted_server.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace replyvane::testing {
namespace {

// Largest chunk read at once, and how much consumed input is kept before the
// buffer is compacted (keeps long bodies linear).
constexpr size_t kChunk = 65536;
constexpr size_t kCompactAt = 1 << 20;
// After the server closes, how long a quiet client is read from before the
// socket is released. Reading first avoids a reset that could discard the
// last reply before the client has read it.
constexpr std::chrono::milliseconds kLinger{50};
// Report at most this many received lines per connection.
constexpr size_t kReportLines = 80;

std::string Quoted(std::string_view text) {
  return "\"" + Visible(text) + "\"";
}

}  // namespace

// Plays one script on one accepted socket, recording into the server.
class ScriptedServer::Player {
 public:
  Player(ScriptedServer& server, size_t index, Fd socket, const Script& script)
      : server_(server),
        index_(index),
        socket_(std::move(socket)),
        script_(script) {}

  void Play() {
    const auto& steps = script_.Steps();
    for (step_ = 0; step_ < steps.size(); ++step_) {
      if (!Run(steps[step_])) return;
    }
    AwaitClientClose();
  }

 private:
  enum class Input { kData, kClosed, kTimedOut, kStopped };

  // Plays one step; false ends the connection.
  bool Run(const Step& step) {
    switch (step.kind) {
      case Step::Kind::kSend:
        return Send(step.text);
      case Step::Kind::kExpect:
      case Step::Kind::kExpectAny:
        return Expect(step);
      case Step::Kind::kReceiveUntil:
        return ReceiveUntil(step.text);
      case Step::Kind::kStall:
        return WaitFor(server_.wake_read_.Get(), false, -1, step.pause) !=
               WaitResult::kReady;
      case Step::Kind::kClose:
        CloseOrderly();
        return false;
      case Step::Kind::kReset:
        CloseWithReset();
        return false;
    }
    return false;
  }

  bool Send(std::string_view bytes) {
    if (script_.IsByteAtATime()) {
      int on = 1;
      setsockopt(socket_.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) std::this_thread::sleep_for(script_.BytePause());
        if (server_.stopping_ || !SendAll(bytes.substr(i, 1))) return false;
      }
      return true;
    }
    return SendAll(bytes);
  }

  bool SendAll(std::string_view bytes) {
    while (!bytes.empty()) {
      WaitResult ready = WaitFor(socket_.Get(), true, server_.wake_read_.Get(),
                                 server_.options_.read_timeout);
      if (ready == WaitResult::kWoken) return false;
      if (ready == WaitResult::kTimedOut) {
        return Diverge("the client stopped reading; " +
                       std::to_string(bytes.size()) + " bytes left unsent");
      }
      ssize_t sent = send(socket_.Get(), bytes.data(), bytes.size(),
                          MSG_NOSIGNAL | MSG_DONTWAIT);
      if (sent < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (sent < 0) {
        return Diverge("the client closed the connection before the reply " +
                       Quoted(bytes) + " was sent");
      }
      bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
  }

  bool Expect(const Step& step) {
    std::string line;
    if (!ReadLine(&line)) return false;
    Record([&](Connection& c) { c.lines.push_back(line); });
    if (step.kind == Step::Kind::kExpect && line != step.text) {
      Diverge("received " + Quoted(line));
    }
    return true;
  }

  bool ReceiveUntil(const std::string& terminator) {
    std::string body;
    for (;;) {
      size_t start;
      if (!NextLine(&start)) return false;
      std::string_view raw(pending_.data() + start, consumed_ - start);
      if (raw == terminator) break;
      body.append(raw);
    }
    Record([&](Connection& c) { c.bodies.push_back(std::move(body)); });
    return true;
  }

  // Reads one line; `line` loses its CR LF. A bare LF end is recorded as a
  // divergence but the line still counts. False when no line came.
  bool ReadLine(std::string* line) {
    size_t start;
    if (!NextLine(&start)) return false;
    line->assign(pending_, start, consumed_ - start - 1);
    if (!line->empty() && line->back() == '\r') {
      line->pop_back();
    } else {
      Diverge("the line " + Quoted(*line) + " ends with a bare LF");
    }
    return true;
  }

  // Advances consumed_ past the next LF, reading more as needed; `start`
  // gets where the line begins. Compaction happens only here, before the
  // line starts, so no caller holds an offset into the moved bytes. On a
  // close, a timeout or a stop it records why and returns false.
  bool NextLine(size_t* start) {
    if (consumed_ >= kCompactAt) {
      pending_.erase(0, consumed_);
      scan_ -= consumed_;
      consumed_ = 0;
    }
    *start = consumed_;
    for (;;) {
      size_t end = pending_.find('\n', scan_);
      if (end != std::string::npos) {
        consumed_ = scan_ = end + 1;
        return true;
      }
      scan_ = pending_.size();
      switch (Fill()) {
        case Input::kData:
          break;
        case Input::kClosed:
          return Diverge(consumed_ < pending_.size()
                             ? "the client closed the connection mid-line: " +
                                   Quoted(pending_.substr(consumed_))
                             : std::string("the client closed the connection"));
        case Input::kTimedOut:
          return Diverge("no line from the client within " +
                         std::to_string(server_.options_.read_timeout.count()) +
                         " ms");
        case Input::kStopped:
          return false;
      }
    }
  }

  // Reads what is there (waiting at most `timeout`) into pending_ and into
  // the record of received bytes.
  Input Fill(std::chrono::milliseconds timeout) {
    for (;;) {
      WaitResult ready =
          WaitFor(socket_.Get(), false, server_.wake_read_.Get(), timeout);
      if (ready == WaitResult::kWoken) return Input::kStopped;
      if (ready == WaitResult::kTimedOut) return Input::kTimedOut;
      char buffer[kChunk];
      ssize_t got = recv(socket_.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
      if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (got <= 0) return Input::kClosed;
      std::string_view data(buffer, static_cast<size_t>(got));
      pending_.append(data);
      Record([&](Connection& c) { c.received.append(data); });
      return Input::kData;
    }
  }
  Input Fill() { return Fill(server_.options_.read_timeout); }

  // End of the script: the client should close now and send nothing more.
  void AwaitClientClose() {
    for (;;) {
      Input input = Fill();
      if (input == Input::kStopped) return;
      if (input == Input::kTimedOut) {
        Diverge("the client did not close the connection within " +
                std::to_string(server_.options_.read_timeout.count()) + " ms");
        return;
      }
      if (input == Input::kClosed) break;
    }
    if (consumed_ < pending_.size()) {
      std::string extra = pending_.substr(consumed_);
      Diverge("unexpected bytes after the end of the script: " + Quoted(extra));
      RecordLines(extra);
    }
    Finish();
  }

  void CloseOrderly() {
    shutdown(socket_.Get(), SHUT_WR);
    // A client that keeps writing is cut off after the read timeout.
    auto deadline =
        std::chrono::steady_clock::now() + server_.options_.read_timeout;
    while (Fill(kLinger) == Input::kData &&
           std::chrono::steady_clock::now() < deadline) {
    }
    if (consumed_ < pending_.size()) RecordLines(pending_.substr(consumed_));
    socket_.Reset();
    Finish();
  }

  void CloseWithReset() {
    linger hard{1, 0};
    setsockopt(socket_.Get(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket_.Reset();
    Finish();
  }

  // Lines received outside any Expect, kept for Lines() and reports.
  void RecordLines(std::string_view data) {
    Record([&](Connection& c) {
      while (!data.empty()) {
        size_t end = data.find('\n');
        std::string_view line = data.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        c.lines.emplace_back(line);
        data.remove_prefix(end == std::string_view::npos ? data.size()
                                                         : end + 1);
      }
    });
  }

  void Finish() {
    Record([](Connection& c) { c.finished = true; });
  }

  // Records a divergence at the current step; returns false for chaining.
  bool Diverge(const std::string& what) {
    const auto& steps = script_.Steps();
    std::string where = "connection " + std::to_string(index_ + 1);
    if (step_ < steps.size()) {
      where += ", step " + std::to_string(step_ + 1) + " (" +
               steps[step_].Describe() + ")";
    } else {
      where += ", after the script";
    }
    server_.AddFailure(where + ": " + what);
    return false;
  }

  template <typename F>
  void Record(F&& change) {
    std::lock_guard lock(server_.mutex_);
    change(server_.connections_[index_]);
    server_.changed_.notify_all();
  }

  ScriptedServer& server_;
  size_t index_;
  Fd socket_;
  const Script& script_;
  size_t step_ = 0;
  std::string pending_;  // received, not yet all consumed
  size_t consumed_ = 0;  // bytes of pending_ used by earlier steps
  size_t scan_ = 0;      // where the search for the next LF resumes
};

ScriptedServer::ScriptedServer(std::vector<Script> scripts, Options options)
    : scripts_(std::move(scripts)), options_(options) {
  listener_ = ListenLoopback(options_.port);
  port_ = LocalPort(listener_.Get());
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    throw std::system_error(errno, std::generic_category(), "pipe2");
  }
  wake_read_ = Fd(pipe_fds[0]);
  wake_write_ = Fd(pipe_fds[1]);
  thread_ = std::thread([this] { Serve(); });
}

ScriptedServer::~ScriptedServer() {
  stopping_ = true;
  char byte = 0;
  (void)!write(wake_write_.Get(), &byte, 1);
  thread_.join();
}

void ScriptedServer::Serve() {
  for (size_t index = 0; index < scripts_.size(); ++index) {
    WaitResult ready = WaitFor(listener_.Get(), false, wake_read_.Get(),
                               options_.accept_timeout);
    if (ready == WaitResult::kWoken) break;
    Fd socket;
    if (ready == WaitResult::kReady) {
      socket = Fd(accept4(listener_.Get(), nullptr, nullptr,
                          SOCK_CLOEXEC | SOCK_NONBLOCK));
    }
    if (!socket.Valid()) {
      AddFailure("connection " + std::to_string(index + 1) + " of " +
                 std::to_string(scripts_.size()) + " never arrived");
      break;
    }
    {
      std::lock_guard lock(mutex_);
      connections_.emplace_back();
    }
    if (index + 1 == scripts_.size()) listener_.Reset();
    Player(*this, index, std::move(socket), scripts_[index]).Play();
  }
  listener_.Reset();
  std::lock_guard lock(mutex_);
  done_ = true;
  changed_.notify_all();
}

void ScriptedServer::AddFailure(std::string text) {
  std::lock_guard lock(mutex_);
  failures_.push_back(std::move(text));
  changed_.notify_all();
}

bool ScriptedServer::WaitDone(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return done_; });
}

bool ScriptedServer::Ok() const {
  std::lock_guard lock(mutex_);
  return done_ && failures_.empty();
}

::testing::AssertionResult ScriptedServer::Played(
    std::chrono::milliseconds timeout) {
  if (WaitDone(timeout) && Ok()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << Report();
}

std::vector<std::string> ScriptedServer::Failures() const {
  std::lock_guard lock(mutex_);
  return failures_;
}

std::string ScriptedServer::Report() const {
  std::lock_guard lock(mutex_);
  std::string report;
  if (!done_) report += "the scripts are still being played\n";
  for (const std::string& failure : failures_) report += failure + "\n";
  for (size_t i = 0; i < connections_.size(); ++i) {
    const Connection& c = connections_[i];
    report += "connection " + std::to_string(i + 1) + " received " +
              std::to_string(c.received.size()) + " bytes:\n";
    std::string_view data = c.received;
    for (size_t n = 0; !data.empty(); ++n) {
      if (n == kReportLines) {
        report += "  ... (" + std::to_string(data.size()) + " more bytes)\n";
        break;
      }
      size_t end = data.find('\n');
      size_t take = end == std::string_view::npos ? data.size() : end + 1;
      report += "  C| " + Visible(data.substr(0, take)) + "\n";
      data.remove_prefix(take);
    }
  }
  return report;
}

std::string ScriptedServer::Received() const {
  std::lock_guard lock(mutex_);
  std::string all;
  for (const Connection& c : connections_) all += c.received;
  return all;
}

std::vector<std::string> ScriptedServer::Gather(
    std::vector<std::string> Connection::*field) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> all;
  for (const Connection& c : connections_) {
    all.insert(all.end(), (c.*field).begin(), (c.*field).end());
  }
  return all;
}

std::vector<std::string> ScriptedServer::Lines() const {
  return Gather(&Connection::lines);
}

std::vector<std::string> ScriptedServer::Bodies() const {
  return Gather(&Connection::bodies);
}

ScriptedServer::Connection ScriptedServer::ConnectionAt(size_t index) const {
  std::lock_guard lock(mutex_);
  return index < connections_.size() ? connections_[index] : Connection();
}

size_t ScriptedServer::Accepted() const {
  std::lock_guard lock(mutex_);
  return connections_.size();
}

}  // namespace replyvane::testing
