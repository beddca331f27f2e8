// Pairs StartWork with FinishWork for the life of a scope, so the work
// counters of a connection are ended also when an exception leaves it.
#ifndef REPLYVANE_MAIL_WORK_SCOPE_H_
#define REPLYVANE_MAIL_WORK_SCOPE_H_

#include "net/component.h"

namespace replyvane::mail {

class WorkScope {
 public:
  WorkScope(net::Component& component, net::WorkMode mode)
      : component_(component), mode_(mode) {
    component_.StartWork(mode_);
  }
  ~WorkScope() { component_.FinishWork(mode_); }
  WorkScope(const WorkScope&) = delete;
  WorkScope& operator=(const WorkScope&) = delete;

 private:
  net::Component& component_;
  net::WorkMode mode_;
};

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_WORK_SCOPE_H_
