#include "responder/check_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

namespace replyvane::responder {

CheckLock::CheckLock(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    failure_ = "Cannot lock " + path + ": " + ::strerror(errno);
    return;
  }
  int rc;
  do {
    rc = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0 && errno == EWOULDBLOCK) {
    held_ = false;
  } else if (rc != 0) {
    failure_ = "Cannot lock " + path + ": " + ::strerror(errno);
  }
}

CheckLock::~CheckLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace replyvane::responder
