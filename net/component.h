// The common base of the layer's objects: status reports with texts from one
// table, and read/write work counters with their events. Each component holds
// a reference on the shared socket stack for its lifetime.
#ifndef REPLYVANE_NET_COMPONENT_H_
#define REPLYVANE_NET_COMPONENT_H_

#include <cstdint>
#include <functional>
#include <string>

namespace replyvane::net {

enum Status {
  hsResolving,
  hsConnecting,
  hsConnected,
  hsDisconnecting,
  hsDisconnected,
  hsStatusText,
  ftpTransfer,
  ftpReady,
  ftpAborted,
};

enum WorkMode { wmRead, wmWrite };

// The text template of a status ("Resolving hostname %s.", "Connected.").
const char* StatusTemplate(Status status);

class Component {
 public:
  Component();
  virtual ~Component();
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  std::function<void(Component* sender, Status status,
                     const std::string& status_text)>
      OnStatus;
  std::function<void(Component* sender, WorkMode mode, int32_t max)>
      OnWorkBegin;
  std::function<void(Component* sender, WorkMode mode, int32_t count)> OnWork;
  std::function<void(Component* sender, WorkMode mode)> OnWorkEnd;

  // Nested work: only the outermost StartWork/FinishWork pair reaches
  // OnWorkBegin/OnWorkEnd; AddWork outside any StartWork does nothing.
  virtual void StartWork(WorkMode mode, int32_t max = 0);
  virtual void AddWork(WorkMode mode, int32_t count);
  virtual void FinishWork(WorkMode mode);

  int32_t WorkPosition(WorkMode mode) const { return work_[mode].position; }
  int32_t WorkMax(WorkMode mode) const { return work_[mode].max; }

  // Calls OnStatus, if set, with the status's template formatted with
  // `argument`.
  void DoStatus(Status status, const std::string& argument = "");

 private:
  struct Work {
    int32_t position = 0;
    int32_t max = 0;
    int32_t nesting = 0;
  };
  Work work_[2];
};

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_COMPONENT_H_
