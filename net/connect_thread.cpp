// The connect thread and the stepped wait for it. The thread touches only
// its socket handle and the shared state below; the waiting side joins it on
// every way out, so the handle never outlives its use.
#include "net/connect_thread.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "core/exception.h"
#include "net/anti_freeze.h"
#include "net/exceptions.h"
#include "net/stack.h"

namespace replyvane::net {

namespace {

// What the thread shares with the waiting side. The message is read only
// after `finished` is seen or after the thread was joined. The thread
// signals `done` when it finishes, so the wait ends then and not at the end
// of its step.
struct ConnectState {
  std::atomic<bool> stop{false};
  std::atomic<bool> finished{false};
  std::string message;
  std::mutex mutex;
  std::condition_variable done;

  // Waits up to `ms` for the thread to finish; true when it has.
  bool WaitFinished(int32_t ms) {
    std::unique_lock<std::mutex> lock(mutex);
    if (ms <= 0) return finished.load();
    return done.wait_for(lock, std::chrono::milliseconds(ms),
                         [this] { return finished.load(); });
  }
};

void RunConnect(SocketHandle& handle, ConnectState& state) {
  try {
    SharedStack()->CheckSocketResult(handle.Connect(state.stop));
  } catch (const std::exception& error) {
    state.message = error.what();
    if (state.message.empty()) state.message = "Connect failed.";
  }
  {
    // Set under the lock, so a waiter between its check and its sleep
    // cannot miss the signal.
    std::lock_guard<std::mutex> lock(state.mutex);
    state.finished.store(true);
  }
  state.done.notify_all();
}

// Stops and joins the thread on every way out of the wait, then releases
// the socket to the handle's owner again.
class ThreadJoiner {
 public:
  ThreadJoiner(std::thread& thread, ConnectState& state, SocketHandle& handle)
      : thread_(thread), state_(state), handle_(handle) {}
  ~ThreadJoiner() {
    state_.stop.store(true);
    thread_.join();
    handle_.EndThreadUse();
  }

 private:
  std::thread& thread_;
  ConnectState& state_;
  SocketHandle& handle_;
};

}  // namespace

void ConnectWithThread(SocketHandle& handle, int32_t timeout) {
  ConnectState state;
  handle.BeginThreadUse();
  std::thread thread(RunConnect, std::ref(handle), std::ref(state));
  bool finished;
  bool closed_meanwhile = false;
  {
    ThreadJoiner joiner(thread, state, handle);
    int32_t step = kConnectStep;
    if (AntiFreezeBase::ShouldUse()) {
      step = std::clamp(AntiFreezeBase::ActiveAntiFreeze()->IdleTimeOut(), 1,
                        kConnectStep);
    }
    int32_t remaining = timeout == -2 ? step + 1 : timeout;
    while (remaining > step) {
      // Only the rest of a step after the thread finished is skipped; the
      // processing after the step still runs.
      state.WaitFinished(step);
      remaining = timeout == -2 ? step + 1 : remaining - step;
      AntiFreezeBase::DoProcess(true);
      // A window handler may have closed the connection meanwhile.
      if (!handle.IsAllocated()) {
        closed_meanwhile = true;
        break;
      }
      if (state.finished.load()) {
        remaining = 0;
        break;
      }
    }
    if (!closed_meanwhile) state.WaitFinished(remaining);
    finished = state.finished.load();
  }
  if (closed_meanwhile) throw ClosedSocket();
  if (!finished) {
    handle.CloseSocket();
    throw ConnectTimeout();
  }
  if (!state.message.empty()) throw ConnectException(state.message);
}

}  // namespace replyvane::net
