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

#include "core/file_lock.h"

namespace replyvane::responder {

// The lock file's name in the settings folder.
inline constexpr char kCheckLockName[] = ".replyvane-check.lock";

// Tries once, without waiting.
class CheckLock : public core::FileLock {
 public:
  explicit CheckLock(const std::string& path) : core::FileLock(path) {}
};

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_CHECK_LOCK_H_
