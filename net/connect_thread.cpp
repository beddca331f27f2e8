#include "net/connect_thread.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <string>
#include <thread>

#include "core/exception.h"
#include "net/anti_freeze.h"
#include "net/exceptions.h"
#include "net/stack.h"

namespace replyvane::net {

namespace {

// What the thread shares with the waiting side. The message is read only
// after `finished` is seen or after the thread was joined.
struct ConnectState {
  std::atomic<bool> stop{false};
  std::atomic<bool> finished{false};
  std::string message;
};

void RunConnect(SocketHandle& handle, ConnectState& state) {
  try {
    SharedStack()->CheckSocketResult(handle.Connect(state.stop));
  } catch (const std::exception& error) {
    state.message = error.what();
    if (state.message.empty()) state.message = "Connect failed.";
  }
  state.finished.store(true);
}

// Joins the thread on every way out of the wait.
class ThreadJoiner {
 public:
  ThreadJoiner(std::thread& thread, ConnectState& state)
      : thread_(thread), state_(state) {}
  ~ThreadJoiner() {
    state_.stop.store(true);
    thread_.join();
  }

 private:
  std::thread& thread_;
  ConnectState& state_;
};

void Sleep(int32_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

void ConnectWithThread(SocketHandle& handle, int32_t timeout) {
  ConnectState state;
  std::thread thread(RunConnect, std::ref(handle), std::ref(state));
  bool finished;
  {
    ThreadJoiner joiner(thread, state);
    int32_t step = kConnectStep;
    if (AntiFreezeBase::ShouldUse()) {
      step = std::clamp(AntiFreezeBase::ActiveAntiFreeze()->IdleTimeOut(), 1,
                        kConnectStep);
    }
    int32_t remaining = timeout == -2 ? step + 1 : timeout;
    while (remaining > step) {
      Sleep(step);
      remaining = timeout == -2 ? step + 1 : remaining - step;
      AntiFreezeBase::DoProcess(true);
      if (state.finished.load()) {
        remaining = 0;
        break;
      }
    }
    Sleep(remaining);
    finished = state.finished.load();
  }
  if (!finished) {
    handle.CloseSocket();
    throw ConnectTimeout();
  }
  if (!state.message.empty()) throw ConnectException(state.message);
}

}  // namespace replyvane::net
