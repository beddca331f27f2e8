#include "responder/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace replyvane::responder {

namespace {

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// FNV-1a: short, and the same in every build of the program.
uint64_t Hash(const std::string& text) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

InstanceLock::InstanceLock(const std::string& settings_folder) {
  const std::string path = WithSlash(settings_folder) + kInstanceLockName;
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) return;
  int rc;
  do {
    rc = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc == 0) {
    state_ = State::kHeld;
  } else if (errno == EWOULDBLOCK) {
    state_ = State::kHeldByOther;
  }
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

std::string InstanceChannelName(const std::string& settings_folder) {
  std::string folder = settings_folder;
  if (char* real = ::realpath(settings_folder.c_str(), nullptr)) {
    folder = real;
    std::free(real);
  }
  char name[64];
  std::snprintf(name, sizeof name, "replyvane-%u-%016" PRIx64,
                unsigned(::getuid()), Hash(WithSlash(folder)));
  return name;
}

}  // namespace replyvane::responder
