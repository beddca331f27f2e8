// The connect thread and the stepped wait for it. The thread touches only
// its socket handle and the shared state below; the waiting side joins it on
// every way out, so the handle never outlives its use.
#include "net/connect_thread.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>

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
  explicit ConnectState(SocketHandle& socket) : handle(socket) {}

  SocketHandle& handle;
  std::atomic<bool> stop{false};
  std::atomic<bool> finished{false};
  std::string message;
  int32_t code = 0;  // the socket error's code, 0 for another failure
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

// The thread: connects, keeps the failure's text, signals the waiter.
void* RunConnect(void* argument) {
  ConnectState& state = *static_cast<ConnectState*>(argument);
  try {
    SharedStack()->CheckSocketResult(state.handle.Connect(state.stop));
  } catch (const SocketError& error) {
    state.message = error.what();
    state.code = error.SocketErrorCode();
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
  return nullptr;
}

// Starts the connect thread on the CPU the caller runs on. The caller only
// waits for it, so nothing is lost; a thread started on another, idle CPU
// has that CPU woken for it and then wakes the caller's from afar, which on
// a near server costs more than the connect itself. Where the CPU cannot be
// had (an affinity mask that leaves it out), the thread starts unpinned.
pthread_t StartConnectThread(ConnectState& state) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  bool pinned = false;
  const int cpu = ::sched_getcpu();
  if (cpu >= 0 && cpu < CPU_SETSIZE) {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    pinned = pthread_attr_setaffinity_np(&attributes, sizeof(one), &one) == 0;
  }
  pthread_t thread;
  int error = pthread_create(&thread, &attributes, RunConnect, &state);
  pthread_attr_destroy(&attributes);
  if (error != 0 && pinned) {
    error = pthread_create(&thread, nullptr, RunConnect, &state);
  }
  if (error != 0) {
    throw std::system_error(error, std::generic_category(),
                            "Could not start the connect thread");
  }
  return thread;
}

// Stops and joins the thread on every way out of the wait, then releases
// the socket to the handle's owner again.
class ThreadJoiner {
 public:
  ThreadJoiner(pthread_t thread, ConnectState& state, SocketHandle& handle)
      : thread_(thread), state_(state), handle_(handle) {}
  ~ThreadJoiner() {
    state_.stop.store(true);
    pthread_join(thread_, nullptr);
    handle_.EndThreadUse();
  }

 private:
  pthread_t thread_;
  ConnectState& state_;
  SocketHandle& handle_;
};

}  // namespace

void ConnectWithThread(SocketHandle& handle, int32_t timeout) {
  ConnectState state(handle);
  handle.BeginThreadUse();
  pthread_t thread;
  try {
    thread = StartConnectThread(state);
  } catch (...) {
    handle.EndThreadUse();
    throw;
  }
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
  if (!state.message.empty()) throw ConnectException(state.message, state.code);
}

}  // namespace replyvane::net
