// Status texts and work counters of every component of the layer.
#include "net/component.h"

#include "net/stack.h"

namespace replyvane::net {

const char* StatusTemplate(Status status) {
  static const char* const kTemplates[] = {
      "Resolving hostname %s.",
      "Connecting to %s.",
      "Connected.",
      "Disconnecting.",
      "Disconnected.",
      "%s",
      "%s",
      "%s",
      "%s",
  };
  return kTemplates[status];
}

Component::Component() { AcquireSharedStack(); }

Component::~Component() { ReleaseSharedStack(); }

void Component::StartWork(WorkMode mode, int32_t max) {
  Work& work = work_[mode];
  if (++work.nesting == 1) {
    work.max = max;
    work.position = 0;
    if (OnWorkBegin) OnWorkBegin(this, mode, max);
  }
}

void Component::AddWork(WorkMode mode, int32_t count) {
  Work& work = work_[mode];
  if (work.nesting < 1) return;
  work.position += count;
  if (OnWork) OnWork(this, mode, work.position);
}

void Component::FinishWork(WorkMode mode) {
  Work& work = work_[mode];
  if (work.nesting == 0) return;  // unbalanced: nothing to finish
  if (work.nesting == 1 && OnWorkEnd) OnWorkEnd(this, mode);
  --work.nesting;
}

void Component::DoStatus(Status status, const std::string& argument) {
  if (!OnStatus) return;
  // Every template holds at most one "%s".
  std::string text = StatusTemplate(status);
  size_t slot = text.find("%s");
  if (slot != std::string::npos) text.replace(slot, 2, argument);
  OnStatus(this, status, text);
}

}  // namespace replyvane::net
