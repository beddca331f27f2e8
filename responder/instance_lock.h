// Keeps a second window program from starting beside the same settings: the
// first holds an exclusive flock on a file in the settings folder for as
// long as it runs (the same kind of lock as CheckLock, on a file of its
// own, so a window between checks still holds it). The kernel drops the lock
// with the process, so the lock of a crashed program never blocks a start; a
// lock file that cannot be made (a read-only folder) does not stop a start
// either.
#ifndef REPLYVANE_RESPONDER_INSTANCE_LOCK_H_
#define REPLYVANE_RESPONDER_INSTANCE_LOCK_H_

#include <string>

#include "responder/check_lock.h"

namespace replyvane::responder {

// The lock file's name in the settings folder.
inline constexpr char kInstanceLockName[] = ".replyvane.lock";

class InstanceLock : public CheckLock {
 public:
  // Tries once, without waiting, to lock the file in `settings_folder`;
  // Held() is false only when another program runs beside these settings.
  explicit InstanceLock(const std::string& settings_folder);
};

// The name the first program answers later starts under (see
// app/single_instance.h): "replyvane-<uid>-<16 hex digits>", the digits a
// hash of the folder's real path, so every spelling of one folder gives
// one name and other users' programs never meet ours.
std::string InstanceChannelName(const std::string& settings_folder);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_INSTANCE_LOCK_H_
