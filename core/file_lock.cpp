#include "core/file_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

#include <thread>

namespace replyvane::core {

FileLock::FileLock(const std::string& path, std::chrono::milliseconds wait) {
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    failure_ = "Cannot lock " + path + ": " + ::strerror(errno);
    return;
  }
  // flock tells no one when it is let go: asked again every 50 ms.
  const auto end = std::chrono::steady_clock::now() + wait;
  for (;;) {
    int rc;
    do {
      rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) return;
    if (errno != EWOULDBLOCK) {
      failure_ = "Cannot lock " + path + ": " + ::strerror(errno);
      return;
    }
    if (std::chrono::steady_clock::now() >= end) {
      held_ = false;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace replyvane::core
