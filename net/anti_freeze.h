// Keeps the user interface alive while a network call blocks: every wait is
// cut into short slices, and between slices the active anti-freeze processes
// pending window messages. This layer knows no toolkit; the program installs
// an implementation of ProcessPendingMessages and says which thread is its
// main (user-interface) thread. Only calls made on that thread use it.
#ifndef REPLYVANE_NET_ANTI_FREEZE_H_
#define REPLYVANE_NET_ANTI_FREEZE_H_

#include <cstdint>
#include <thread>

namespace replyvane::net {

class AntiFreezeBase {
 public:
  // Becomes the active anti-freeze (replacing an earlier one).
  AntiFreezeBase();
  // Stops being the active anti-freeze, if it still is.
  virtual ~AntiFreezeBase();
  AntiFreezeBase(const AntiFreezeBase&) = delete;
  AntiFreezeBase& operator=(const AntiFreezeBase&) = delete;

  bool Active() const { return active_; }
  void SetActive(bool value) { active_ = value; }
  // True: handle all pending messages each time; false: at most one.
  bool ApplicationHasPriority() const { return application_has_priority_; }
  void SetApplicationHasPriority(bool value) {
    application_has_priority_ = value;
  }
  // Length of one read-wait slice in ms (250).
  int32_t IdleTimeOut() const { return idle_time_out_; }
  void SetIdleTimeOut(int32_t value) { idle_time_out_ = value; }
  // True (default): process only after a slice that found nothing to do.
  bool OnlyWhenIdle() const { return only_when_idle_; }
  void SetOnlyWhenIdle(bool value) { only_when_idle_ = value; }

  // Handles pending window messages (all of them, or at most one).
  virtual void ProcessPendingMessages() = 0;

  // The anti-freeze in use, or nullptr.
  static AntiFreezeBase* ActiveAntiFreeze();
  // True when an anti-freeze exists and is Active and the caller runs on the
  // main thread.
  static bool ShouldUse();
  // The processing request made after every wait slice (idle = nothing was
  // readable), after every send (idle = false) and after every connect-wait
  // step (idle = true).
  static void DoProcess(bool idle = true, bool override_idle = false);
  // Which thread is the main thread; by default the thread that started the
  // program (static initialisation).
  static void SetMainThread(std::thread::id id);
  static bool IsMainThread();

 private:
  bool active_ = true;
  bool application_has_priority_ = true;
  int32_t idle_time_out_ = 250;
  bool only_when_idle_ = true;
};

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_ANTI_FREEZE_H_
