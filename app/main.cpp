// Replyvane: a desktop mail auto-responder for one mailbox. Without
// arguments it opens its window; `--check` runs one check with the saved
// settings and no window (nor display) at all.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/message_boxes.h"
#include "app/program.h"
#include "app/settings_store.h"
#include "responder/command_line.h"
#include "responder/settings_folder.h"
#include "responder/unattended_check.h"

int main(int argc, char* argv[]) {
  using replyvane::responder::CommandLine;
  const CommandLine command_line = replyvane::responder::ParseCommandLine(
      std::vector<std::string>(argv + 1, argv + argc));
  switch (command_line.mode) {
    case CommandLine::Mode::kHelp:
      std::cout << replyvane::responder::UsageText();
      return 0;
    case CommandLine::Mode::kVersion:
      std::cout << replyvane::responder::VersionText() << "\n";
      return 0;
    case CommandLine::Mode::kError:
      std::cerr << "replyvane: " << command_line.error << "\n"
                << replyvane::responder::UsageText();
      return replyvane::responder::kExitNoSettings;
    case CommandLine::Mode::kCheck:
    case CommandLine::Mode::kWindow:
      break;
  }
  // A folder named on the command line must be there from the start, or
  // the window would only find out when it saves at the end.
  if (const std::string problem = replyvane::responder::GivenFolderProblem(
          command_line.settings_folder);
      !command_line.settings_folder.empty() && !problem.empty()) {
    std::cerr << "replyvane: " << problem << "\n";
    if (command_line.mode == CommandLine::Mode::kWindow) {
      replyvane::app::Application application(argc, argv);
      replyvane::app::ShowFailure(problem);
    }
    return replyvane::responder::kExitNoSettings;
  }
  if (command_line.mode == CommandLine::Mode::kCheck) {
    // As the window does: the user's locale decides the texts' charset.
    std::setlocale(LC_ALL, "");
    const std::string folder = command_line.settings_folder.empty()
                                   ? replyvane::responder::ChooseSettingsFolder(
                                         replyvane::app::ExecutableDirectory())
                                   : command_line.settings_folder;
    return replyvane::responder::RunUnattendedCheck(folder, std::cout,
                                                    std::cerr);
  }
  replyvane::app::Application application(argc, argv);
  return replyvane::app::RunProgram(command_line.settings_folder);
}
