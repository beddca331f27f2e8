#include "net/responsive_call.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "net/anti_freeze.h"
#include "net/connect_thread.h"

namespace replyvane::net {

void CallResponsively(const std::function<void()>& call) {
  if (!AntiFreezeBase::ShouldUse()) {
    call();
    return;
  }
  const int32_t step = std::clamp(
      AntiFreezeBase::ActiveAntiFreeze()->IdleTimeOut(), 1, kConnectStep);
  std::mutex mutex;
  std::condition_variable returned;
  bool done = false;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      call();
    } catch (...) {
      failure = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    returned.notify_one();
  });
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      if (returned.wait_for(lock, std::chrono::milliseconds(step),
                            [&] { return done; })) {
        break;
      }
    }
    AntiFreezeBase::DoProcess(true);
  }
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace replyvane::net
