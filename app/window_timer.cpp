#include "app/window_timer.h"

namespace replyvane::app {

WindowTimer::WindowTimer(QObject* parent) : QObject(parent) {
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (OnTimer) OnTimer();
  });
}

void WindowTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Restart();
}

void WindowTimer::SetInterval(int32_t value) {
  if (value == interval_) return;
  interval_ = value;
  Restart();
}

void WindowTimer::Restart() {
  timer_.stop();
  if (enabled_ && interval_ > 0) timer_.start(interval_);
}

}  // namespace replyvane::app
