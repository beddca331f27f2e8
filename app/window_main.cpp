// The window program, which `replyvane` starts for its window (and which
// does all that `replyvane` does when it is started itself).
#include <iostream>
#include <string>

#include "app/application.h"
#include "app/message_boxes.h"
#include "app/program.h"
#include "responder/command_run.h"
#include "responder/settings_folder.h"
#include "responder/unattended_check.h"

int main(int argc, char* argv[]) {
  replyvane::responder::CommandLine command_line;
  if (const auto status =
          replyvane::responder::RunWithoutWindow(argc, argv, command_line)) {
    return *status;
  }
  // A folder named on the command line must be there from the start, or
  // the window would only find out when it saves at the end.
  if (const std::string problem = replyvane::responder::GivenFolderProblem(
          command_line.settings_folder);
      !command_line.settings_folder.empty() && !problem.empty()) {
    std::cerr << "replyvane: " << problem << "\n";
    replyvane::app::Application application(argc, argv);
    replyvane::app::ShowFailure(problem);
    return replyvane::responder::kExitNoSettings;
  }
  replyvane::app::Application application(argc, argv);
  return replyvane::app::RunProgram(command_line.settings_folder);
}
