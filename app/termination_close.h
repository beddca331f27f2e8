// Ending the program from outside as if the user closed its window: when
// the session or a service manager sends SIGTERM (or SIGINT, SIGHUP), the
// main window gets the same close as from its close button, so the settings
// are saved. A close that fails its save is shown like any other; the next
// signal tries again.
#ifndef REPLYVANE_APP_TERMINATION_CLOSE_H_
#define REPLYVANE_APP_TERMINATION_CLOSE_H_

class QWidget;

namespace replyvane::app {

// Catches the signals from now on; they wait until a window is given to
// CloseOnTermination and the event loop runs. Call once, before creating the
// windows, so that a signal sent during start-up is not lost.
void CatchTermination();

// Closes `window` (through the event loop) for every signal caught, also
// one caught before this call. `window` must outlive the event loop.
void CloseOnTermination(QWidget* window);

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_TERMINATION_CLOSE_H_
