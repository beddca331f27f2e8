// Replyvane: a desktop mail auto-responder for one mailbox. Without
// arguments it opens its window; `--check` runs one check with the saved
// settings and no window (nor display) at all. This entry loads no window
// toolkit: for the window it hands over to the window program, which lies
// beside it (a build tree, a portable copy) or where the install puts it.
#include <errno.h>
#include <string.h>
#include <unistd.h>

#include <iostream>
#include <string>

#include "responder/command_run.h"
#include "responder/settings_folder.h"
#include "responder/unattended_check.h"

namespace {

constexpr char kWindowProgramName[] = "replyvane-window";

// The window program: beside this one, else where it is installed relative
// to this one (REPLYVANE_WINDOW_FOLDER, e.g. "../libexec/replyvane").
std::string WindowProgram() {
  const std::string here = replyvane::responder::ExecutableDirectory();
  const std::string beside = here + kWindowProgramName;
  if (::access(beside.c_str(), X_OK) == 0) return beside;
  return here + REPLYVANE_WINDOW_FOLDER + "/" + kWindowProgramName;
}

}  // namespace

int main(int argc, char* argv[]) {
  replyvane::responder::CommandLine command_line;
  if (const auto status =
          replyvane::responder::RunWithoutWindow(argc, argv, command_line)) {
    return *status;
  }
  // The same process goes on as the window program, with the same
  // arguments: signals sent to this process reach the window.
  const std::string program = WindowProgram();
  ::execv(program.c_str(), argv);
  std::cerr << "replyvane: cannot start the window program " << program << ": "
            << ::strerror(errno) << "\n";
  return replyvane::responder::kExitNoSettings;
}
