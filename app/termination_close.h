// Ending the program from outside as if the user closed its window: when
// the session or a service manager sends SIGTERM (or SIGINT, SIGHUP), the
// main window gets the same close as from its close button, so the settings
// are saved. A close that fails its save shows no box there, which would
// wait for a user who may not be there: the failure goes to standard error
// and the program ends.
#ifndef REPLYVANE_APP_TERMINATION_CLOSE_H_
#define REPLYVANE_APP_TERMINATION_CLOSE_H_

namespace replyvane::app {

class MainWindow;

// Catches the signals from now on; they wait until a window is given to
// CloseOnTermination and the event loop runs. Call once, before creating the
// windows, so that a signal sent during start-up is not lost.
void CatchTermination();

// Closes `window` (through the event loop) for every signal caught, also
// one caught before this call. `window` must outlive the event loop.
void CloseOnTermination(MainWindow* window);

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_TERMINATION_CLOSE_H_
