#include "responder/command_run.h"

#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "responder/settings_folder.h"
#include "responder/sign_in_run.h"
#include "responder/unattended_check.h"
#include "responder/watch_run.h"

namespace replyvane::responder {

std::optional<int> RunWithoutWindow(const CommandLine& command_line,
                                    std::ostream& out, std::ostream& err) {
  switch (command_line.mode) {
    case CommandLine::Mode::kWindow:
      return std::nullopt;
    case CommandLine::Mode::kHelp:
      out << UsageText();
      return 0;
    case CommandLine::Mode::kVersion:
      out << VersionText() << "\n";
      return 0;
    case CommandLine::Mode::kError:
      err << "replyvane: " << command_line.error << "\n" << UsageText();
      return kExitNoSettings;
    case CommandLine::Mode::kCheck:
    case CommandLine::Mode::kWatch:
    case CommandLine::Mode::kSignIn:
      break;
  }
  if (!command_line.settings_folder.empty()) {
    if (const std::string problem =
            GivenFolderProblem(command_line.settings_folder);
        !problem.empty()) {
      err << "replyvane: " << problem << "\n";
      return kExitNoSettings;
    }
  }
  // As the window does: the user's locale decides the texts' charset.
  std::setlocale(LC_ALL, "");
  const std::string folder = command_line.settings_folder.empty()
                                 ? ChooseSettingsFolder(ExecutableDirectory())
                                 : command_line.settings_folder;
  if (command_line.mode == CommandLine::Mode::kSignIn) {
    return RunSignIn(folder, out, err);
  }
  if (command_line.mode == CommandLine::Mode::kWatch) {
    return RunWatch(folder, out, err);
  }
  return RunUnattendedCheck(folder, out, err);
}

std::optional<int> RunWithoutWindow(int argc, char* argv[],
                                    CommandLine& command_line) {
  command_line =
      ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  return RunWithoutWindow(command_line, std::cout, std::cerr);
}

}  // namespace replyvane::responder
