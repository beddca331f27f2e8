// The automatic-mode timer: enabled flag, interval in milliseconds and a
// handler, delivered on the user-interface thread through the event loop.
// Setting either value acts only when it changes; a change stops the timer
// and, when it is then enabled with an interval above 0, starts the
// countdown anew from the full interval. An interval of 0 or below never
// fires.
#ifndef REPLYVANE_APP_WINDOW_TIMER_H_
#define REPLYVANE_APP_WINDOW_TIMER_H_

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

namespace replyvane::app {

class WindowTimer : public QObject {
  Q_OBJECT

 public:
  static constexpr int32_t kDefaultInterval = 1000;

  explicit WindowTimer(QObject* parent = nullptr);

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  int32_t Interval() const { return interval_; }
  void SetInterval(int32_t value);
  // True while a countdown runs (enabled with an interval above 0).
  bool Counting() const { return timer_.isActive(); }
  // Milliseconds left in the running countdown; -1 when none runs.
  int RemainingTime() const { return timer_.remainingTime(); }

  // Called each time the interval has elapsed since the countdown started.
  std::function<void()> OnTimer;

 private:
  void Restart();

  bool enabled_ = false;
  int32_t interval_ = kDefaultInterval;
  QTimer timer_;
};

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_WINDOW_TIMER_H_
