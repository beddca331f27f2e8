// An exclusive flock on one file, held while the object lives. The lock
// goes with the process, so a crashed holder never blocks anyone. A lock
// file that cannot be made or locked (a read-only folder, no permission)
// is not taken as held by another: Failure() says why.
#ifndef REPLYVANE_CORE_FILE_LOCK_H_
#define REPLYVANE_CORE_FILE_LOCK_H_

#include <chrono>
#include <string>

namespace replyvane::core {

class FileLock {
 public:
  // Locks `path` (made, 0600, when missing), trying again for up to `wait`
  // while another holds it (zero: once); Held() tells the outcome.
  explicit FileLock(const std::string& path,
                    std::chrono::milliseconds wait = {});
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // False only when another holds the lock.
  bool Held() const { return held_; }
  // Why the lock could not be taken for a reason other than another
  // holder ("Cannot lock <path>: <reason>"); empty when it was taken or is
  // held by another.
  const std::string& Failure() const { return failure_; }

 private:
  int fd_ = -1;
  bool held_ = true;
  std::string failure_;
};

}  // namespace replyvane::core

#endif  // REPLYVANE_CORE_FILE_LOCK_H_
