// What `replyvane` does for a command line that needs no window: --help,
// --version, a wrong option and one unattended check. It loads no window
// toolkit, so that a check started by a timer starts quickly and needs no
// display.
#ifndef REPLYVANE_RESPONDER_COMMAND_RUN_H_
#define REPLYVANE_RESPONDER_COMMAND_RUN_H_

#include <optional>
#include <ostream>

#include "responder/command_line.h"

namespace replyvane::responder {

// The exit status of the run, or nullopt when the command line asks for
// the window.
std::optional<int> RunWithoutWindow(const CommandLine& command_line,
                                    std::ostream& out, std::ostream& err);

// Reads the program's arguments into `command_line` and runs them as above,
// on standard output and standard error.
std::optional<int> RunWithoutWindow(int argc, char* argv[],
                                    CommandLine& command_line);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_COMMAND_RUN_H_
