// Ends a StartWork on every way out of a read or write loop.
#ifndef REPLYVANE_NET_WORK_SCOPE_H_
#define REPLYVANE_NET_WORK_SCOPE_H_

#include <cstdint>

#include "net/component.h"

namespace replyvane::net {

class WorkScope {
 public:
  WorkScope(Component& component, WorkMode mode, int32_t max)
      : component_(component), mode_(mode) {
    component_.StartWork(mode_, max);
  }
  ~WorkScope() { component_.FinishWork(mode_); }
  WorkScope(const WorkScope&) = delete;
  WorkScope& operator=(const WorkScope&) = delete;

 private:
  Component& component_;
  WorkMode mode_;
};

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_WORK_SCOPE_H_
