// Starting and stopping fixture servers. Between fork and exec only
// async-signal-safe calls are made, since the test program runs threads.
#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

namespace replyvane::testing {

void ChildProcess::Start(const std::vector<std::string>& argv,
                         const std::string& log_path) {
  Stop();
  std::vector<char*> args;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t parent = getpid();

  pid_t pid = fork();
  if (pid < 0) throw std::system_error(errno, std::generic_category(), "fork");
  if (pid == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);  // the parent already died
    int in = open("/dev/null", O_RDONLY);
    int out = open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (in < 0 || out < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    execv(args[0], args.data());
    _exit(127);
  }
  pid_ = pid;
  status_ = -1;
}

bool ChildProcess::Running() {
  if (pid_ == 0) return false;
  int status = 0;
  pid_t done = waitpid(pid_, &status, WNOHANG);
  if (done == 0) return true;
  if (done == pid_) status_ = status;
  pid_ = 0;
  return false;
}

bool ChildProcess::Wait(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (Running()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void ChildProcess::Stop(std::chrono::milliseconds grace) {
  if (!Running()) return;
  pid_t group = pid_;
  kill(pid_, SIGTERM);
  Wait(grace);
  if (pid_ != 0) {
    // Still running: it and any helpers it started in its group are killed.
    kill(-group, SIGKILL);
    int status = 0;
    if (waitpid(pid_, &status, 0) == pid_) status_ = status;
    pid_ = 0;
  }
}

bool IsExecutable(const std::string& path) {
  return access(path.c_str(), X_OK) == 0;
}

}  // namespace replyvane::testing
