// Qt's side of the anti-freeze: pending events are handled on the GUI
// thread between network wait slices.
#include "app/qt_anti_freeze.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <thread>

namespace replyvane::app {

AntiFreeze::AntiFreeze() { SetMainThread(std::this_thread::get_id()); }

void AntiFreeze::ProcessPendingMessages() {
  if (!QCoreApplication::instance()) return;
  if (ApplicationHasPriority()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  } else {
    // Qt offers no "exactly one event"; a 1 ms budget comes closest.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
}

}  // namespace replyvane::app
