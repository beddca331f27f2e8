// The process-wide active anti-freeze and the main-thread test. The active
// pointer is atomic; everything else runs on the main thread.
#include "net/anti_freeze.h"

#include <atomic>

namespace replyvane::net {

namespace {

std::atomic<AntiFreezeBase*> g_active{nullptr};

// Static initialisation runs on the thread that starts the program.
std::thread::id& MainThread() {
  static std::thread::id id = std::this_thread::get_id();
  return id;
}
const std::thread::id g_record_main_thread = MainThread();

}  // namespace

AntiFreezeBase::AntiFreezeBase() { g_active.store(this); }

AntiFreezeBase::~AntiFreezeBase() {
  AntiFreezeBase* self = this;
  g_active.compare_exchange_strong(self, nullptr);
}

AntiFreezeBase* AntiFreezeBase::ActiveAntiFreeze() { return g_active.load(); }

bool AntiFreezeBase::ShouldUse() {
  AntiFreezeBase* active = g_active.load();
  return active && IsMainThread() && active->Active();
}

void AntiFreezeBase::DoProcess(bool idle, bool override_idle) {
  if (!ShouldUse()) return;
  AntiFreezeBase* active = g_active.load();
  if (!active->OnlyWhenIdle() || idle || override_idle) {
    active->ProcessPendingMessages();
  }
}

void AntiFreezeBase::SetMainThread(std::thread::id id) { MainThread() = id; }

bool AntiFreezeBase::IsMainThread() {
  return std::this_thread::get_id() == MainThread();
}

}  // namespace replyvane::net
