#include "responder/command_line.h"

#include <algorithm>

#ifndef REPLYVANE_VERSION
#define REPLYVANE_VERSION "unknown"
#endif

namespace replyvane::responder {

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine result;
  bool check = false;
  bool watch = false;
  bool sign_in = false;
  bool help = false;
  bool version = false;
  std::vector<std::string> unknown;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--check") {
      check = true;
    } else if (argument == "--watch") {
      watch = true;
    } else if (argument == "--sign-in") {
      sign_in = true;
    } else if (argument == "--help" || argument == "-h") {
      help = true;
    } else if (argument == "--version") {
      version = true;
    } else if (argument == "--settings") {
      // "--settings --check" names no folder: the next option is no value.
      if (i + 1 == arguments.size() || arguments[i + 1].empty() ||
          arguments[i + 1].starts_with("--")) {
        result.mode = CommandLine::Mode::kError;
        result.error = "--settings needs a folder";
        return result;
      }
      result.settings_folder = arguments[++i];
    } else if (argument.rfind("--settings=", 0) == 0) {
      result.settings_folder = argument.substr(11);
      if (result.settings_folder.empty()) {
        result.mode = CommandLine::Mode::kError;
        result.error = "--settings needs a folder";
        return result;
      }
    } else {
      unknown.push_back(argument);
    }
  }
  if (help) {
    result.mode = CommandLine::Mode::kHelp;
  } else if (version) {
    result.mode = CommandLine::Mode::kVersion;
  } else if (const auto wrong =
                 std::find_if(unknown.begin(), unknown.end(),
                              [&](const std::string& argument) {
                                // The window leaves Qt's own options
                                // ("-platform",
                                // "-style") to Qt; a long option nobody knows
                                // is a mistake to point out, not to ignore.
                                return check || watch || sign_in ||
                                       argument.starts_with("--");
                              });
             wrong != unknown.end()) {
    result.mode = CommandLine::Mode::kError;
    result.error = "unknown argument: " + *wrong;
  } else if (int(check) + int(watch) + int(sign_in) > 1) {
    result.mode = CommandLine::Mode::kError;
    result.error = "--check, --watch and --sign-in cannot go together";
  } else if (check) {
    result.mode = CommandLine::Mode::kCheck;
  } else if (watch) {
    result.mode = CommandLine::Mode::kWatch;
  } else if (sign_in) {
    result.mode = CommandLine::Mode::kSignIn;
  }
  return result;
}

std::string UsageText() {
  return "Usage: replyvane [--settings DIR]\n"
         "       replyvane --check [--settings DIR]\n"
         "       replyvane --watch [--settings DIR]\n"
         "       replyvane --sign-in [--settings DIR]\n"
         "\n"
         "Without --check or --watch, opens the Replyvane window.\n"
         "\n"
         "  --check         check the mailbox once with the saved settings "
         "and\n"
         "                  answer, forward and delete every waiting message,\n"
         "                  without a window; one line per message on "
         "standard\n"
         "                  output, failures on standard error. Exit status 0\n"
         "                  when the run completed, 1 when a failure stopped "
         "it,\n"
         "                  2 when the settings cannot be read.\n"
         "  --watch         with an IMAP mailbox: check, then wait for new "
         "mail\n"
         "                  (IDLE) and answer it as it arrives, printing the\n"
         "                  lines of --check, until SIGTERM or Ctrl+C (exit "
         "0)\n"
         "  --sign-in       sign in to the provider of each server whose\n"
         "                  settings choose OAuth 2.0: prints the page to "
         "open\n"
         "                  and the code to enter there, and waits until the\n"
         "                  sign-in is done (exit 0) or fails (exit 1)\n"
         "  --settings DIR  the folder of Settings.ini, response.dat and\n"
         "                  attach.dat (default: ~/.config/replyvane, or "
         "beside\n"
         "                  a portable copy of the program)\n"
         "  --help          show this text\n"
         "  --version       show the version\n";
}

std::string VersionText() {
  return std::string("replyvane ") + REPLYVANE_VERSION;
}

}  // namespace replyvane::responder
