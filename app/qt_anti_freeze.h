// The anti-freeze the program installs: while a network call blocks the GUI
// thread, it lets Qt handle the pending events between the wait slices, so
// the windows repaint and clicks and timers are served in the middle of a
// check. Create it on the GUI thread; that thread becomes the main thread of
// the network layer.
#ifndef REPLYVANE_APP_QT_ANTI_FREEZE_H_
#define REPLYVANE_APP_QT_ANTI_FREEZE_H_

#include "net/anti_freeze.h"

namespace replyvane::app {

class AntiFreeze : public net::AntiFreezeBase {
 public:
  // Becomes the active anti-freeze and marks the calling thread as the main
  // thread.
  AntiFreeze();

  // With ApplicationHasPriority all pending events are handled; otherwise
  // only as many as fit in about a millisecond. Does nothing without a
  // QCoreApplication.
  void ProcessPendingMessages() override;
};

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_QT_ANTI_FREEZE_H_
