// A server program run by a test fixture as a child process: started with
// its output in a log file, stopped by its process id. If the test program
// dies, the kernel sends the child SIGTERM (parent-death signal), so no
// server outlives its test for long.
#ifndef REPLYVANE_TESTS_SUPPORT_CHILD_PROCESS_H_
#define REPLYVANE_TESTS_SUPPORT_CHILD_PROCESS_H_

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace replyvane::testing {

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // Stops the child if it still runs (see Stop).
  ~ChildProcess() { Stop(); }

  // Starts `argv[0]` (a path, not searched on PATH) with `argv`, stdin from
  // /dev/null and stdout/stderr appended to `log_path`, in a process group
  // of its own. Throws std::system_error when fork fails; a program that
  // cannot be executed exits at once with status 127.
  void Start(const std::vector<std::string>& argv, const std::string& log_path);

  // The child's process id, 0 when none was started.
  pid_t Pid() const { return pid_; }
  // True while the child has not exited (reaps it when it has).
  bool Running();
  // Waits up to `timeout` for the child to exit; true when it has (or none
  // was running).
  bool Wait(std::chrono::milliseconds timeout);
  // The wait status once the child exited (see Running), else -1.
  int ExitStatus() const { return status_; }

  // Sends SIGTERM to the child and waits up to `grace` for it to exit;
  // after that, kills its whole process group with SIGKILL and reaps it.
  // Returns at once when no child runs.
  void Stop(std::chrono::milliseconds grace = std::chrono::milliseconds(5000));

 private:
  pid_t pid_ = 0;
  int status_ = -1;
};

// True when `path` is an executable file.
bool IsExecutable(const std::string& path);

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_CHILD_PROCESS_H_
