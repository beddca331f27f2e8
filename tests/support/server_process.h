// What the real-server fixtures share: a private temporary directory, a
// free port on 127.0.0.1, the server program as a child process, and a
// bounded start that waits for the server's greeting. A derived fixture
// says how to run its program and where its log is.
#ifndef REPLYVANE_TESTS_SUPPORT_SERVER_PROCESS_H_
#define REPLYVANE_TESTS_SUPPORT_SERVER_PROCESS_H_

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace replyvane::testing {

class ServerProcess {
 public:
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;
  // Stops the server; the directory goes with the object.
  virtual ~ServerProcess() = default;

  // Picks a free port, prepares and starts the server, and waits (bounded by
  // the start timeout) for its greeting. On failure the message holds the
  // reason and the server's log, and the server is stopped. Starting a
  // running server restarts it (on a new port).
  ::testing::AssertionResult Start();
  // SIGTERM to the server, a bounded wait, then SIGKILL; what it stored
  // stays. Harmless when not running.
  void Stop() { process_.Stop(); }
  // True while the server process runs.
  bool Running() { return process_.Running(); }

  // The server's process (0 before Start).
  pid_t Pid() const { return process_.Pid(); }
  // The port on 127.0.0.1 (0 before Start).
  int Port() const { return port_; }
  // The greeting line the start probe received, without CR LF.
  const std::string& Greeting() const { return greeting_; }
  // The directory holding everything the server uses.
  const std::string& Dir() const { return dir_.Path(); }
  // The server's log and output, for failure messages.
  virtual std::string Log() const = 0;

 protected:
  // `name` names the directory and failure messages; `greeting_prefix` is
  // how the server's first line begins ("+OK", "220 ").
  ServerProcess(std::string_view name, std::string_view greeting_prefix,
                std::chrono::milliseconds start_timeout);

  // The command that runs the server on Port(), written after any files it
  // needs; called by Start. The output goes to OutputPath().
  virtual std::vector<std::string> Prepare() = 0;
  std::string OutputPath() const { return dir_.File("output.log"); }

  TempDir dir_;

 private:
  std::string name_;
  std::string greeting_prefix_;
  std::chrono::milliseconds start_timeout_;
  ChildProcess process_;
  int port_ = 0;
  std::string greeting_;
};

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_SERVER_PROCESS_H_
