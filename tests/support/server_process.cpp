// The shared start of the real-server fixtures. A start that fails returns
// a failed assertion with the server's log, never throws for it.
#include "tests/support/server_process.h"

#include "tests/support/line_client.h"
#include "tests/support/socket_util.h"

namespace replyvane::testing {

ServerProcess::ServerProcess(std::string_view name,
                             std::string_view greeting_prefix,
                             std::chrono::milliseconds start_timeout)
    : dir_(name),
      name_(name),
      greeting_prefix_(greeting_prefix),
      start_timeout_(start_timeout) {}

::testing::AssertionResult ServerProcess::Start() {
  Stop();
  port_ = FreeHighPort();
  std::vector<std::string> command = Prepare();
  // A second server on a taken port can die silently while the probe is
  // greeted by the first one, so the port is checked right before starting.
  if (!PortIsFree(port_)) {
    return ::testing::AssertionFailure() << "port " << port_ << " was taken";
  }
  process_.Start(command, OutputPath());
  std::optional<std::string> greeting =
      WaitForGreeting(port_, greeting_prefix_, "QUIT", start_timeout_,
                      [this] { return process_.Running(); });
  if (!greeting || !process_.Running()) {
    Stop();
    return ::testing::AssertionFailure()
           << name_ << " did not greet on 127.0.0.1:" << port_ << " within "
           << start_timeout_.count() << " ms; its log:\n"
           << Log();
  }
  greeting_ = *greeting;
  return ::testing::AssertionSuccess();
}

}  // namespace replyvane::testing
