// One check and response run with the saved settings and no window, as
// `replyvane --check` and the systemd timer run it: no pause after each
// message, one line per message on `out` ("<local time>\t<what was
// done>\t<sender>\t<subject>", what was done being "answered, forwarded,
// deleted" or "not answered: <why>"), failures on `err`.
#ifndef REPLYVANE_RESPONDER_UNATTENDED_CHECK_H_
#define REPLYVANE_RESPONDER_UNATTENDED_CHECK_H_

#include <ostream>
#include <string>

#include "responder/console_view.h"

namespace replyvane::responder {

inline constexpr int kExitCompleted = 0;   // the run completed (or was
                                           // skipped for another check)
inline constexpr int kExitFailed = 1;      // a failure stopped it
inline constexpr int kExitNoSettings = 2;  // the settings cannot be read

// Runs the check with the settings in `folder`; returns the exit status.
int RunUnattendedCheck(const std::string& folder, std::ostream& out,
                       std::ostream& err);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_UNATTENDED_CHECK_H_
