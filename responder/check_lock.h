// Keeps two checks of the same mailbox from running at once: the window and
// an unattended run (or two unattended runs) beside the same settings hold
// an exclusive flock on one file in the settings folder while they check.
// The lock goes with the process, so a crashed holder never blocks a check.
// A lock file that cannot be made or locked (a read-only folder, no
// permission) is not taken as held by another: Failure() says why, and the
// check does not run without its lock.
#ifndef REPLYVANE_RESPONDER_CHECK_LOCK_H_
#define REPLYVANE_RESPONDER_CHECK_LOCK_H_

#include <string>

namespace replyvane::responder {

// The lock file's name in the settings folder.
inline constexpr char kCheckLockName[] = ".replyvane-check.lock";

class CheckLock {
 public:
  // Tries once, without waiting, to lock `path`; Held() tells the outcome.
  explicit CheckLock(const std::string& path);
  ~CheckLock();
  CheckLock(const CheckLock&) = delete;
  CheckLock& operator=(const CheckLock&) = delete;

  // False only when another process holds the lock.
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

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_CHECK_LOCK_H_
