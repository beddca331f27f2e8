#include "app/termination_close.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

#include "app/main_window.h"

namespace replyvane::app {

namespace {

// The handler only writes a byte here; the event loop reads it. A full pipe
// already holds a pending close, so a failed write loses nothing.
int signal_pipe[2] = {-1, -1};

void OnTermination(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(signal_pipe[1], &byte, 1);
}

}  // namespace

void CatchTermination() {
  if (signal_pipe[0] >= 0 || ::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
    return;
  struct sigaction action = {};
  action.sa_handler = OnTermination;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    ::sigaction(signal, &action, nullptr);
  }
}

void CloseOnTermination(MainWindow* window) {
  if (signal_pipe[0] < 0) return;
  auto* notifier =
      new QSocketNotifier(signal_pipe[0], QSocketNotifier::Read, window);
  QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
    char bytes[64];
    while (::read(signal_pipe[0], bytes, sizeof bytes) > 0) {
    }
    window->CloseUnattended();
  });
}

}  // namespace replyvane::app
