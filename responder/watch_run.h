// `replyvane --watch`: no window; checks the IMAP mailbox of the saved
// settings, then waits on it with IDLE and checks again as soon as new mail
// is told of (re-issuing the wait before 29 minutes, as RFC 2177 asks), so
// that a message is answered within about a second of its arrival. Prints
// the lines of --check. A failure is printed and the next attempt follows
// after a pause that grows from 1 s to 5 minutes; SIGTERM or SIGINT ends
// the wait at once (DONE, LOGOUT) and the run with exit status 0. Without
// IDLE on the server it checks at the settings' interval. With a schedule
// it waits for its start and ends, with exit status 0, at its end.
#ifndef REPLYVANE_RESPONDER_WATCH_RUN_H_
#define REPLYVANE_RESPONDER_WATCH_RUN_H_

#include <atomic>
#include <ostream>
#include <string>

namespace replyvane::responder {

// Runs until `stop` is set (RunWatch installs SIGTERM and SIGINT handlers
// that set it); returns the exit status: 0 when stopped, 2 when the
// settings cannot be read or name no IMAP mailbox.
int RunWatch(const std::string& folder, std::ostream& out, std::ostream& err);
int RunWatch(const std::string& folder, std::ostream& out, std::ostream& err,
             std::atomic<bool>& stop);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_WATCH_RUN_H_
