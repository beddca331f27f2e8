// The program's command line: the window (the default), one unattended
// check (--check), watching an IMAP mailbox (--watch), the OAuth sign-in
// on a terminal (--sign-in), --help and
// --version; --settings DIR picks the settings
// folder for either. Arguments this parser does not know are left to the
// window toolkit in window mode and are an error with --check.
#ifndef REPLYVANE_RESPONDER_COMMAND_LINE_H_
#define REPLYVANE_RESPONDER_COMMAND_LINE_H_

#include <string>
#include <vector>

namespace replyvane::responder {

struct CommandLine {
  enum class Mode { kWindow, kCheck, kWatch, kSignIn, kHelp, kVersion, kError };
  Mode mode = Mode::kWindow;
  std::string settings_folder;  // empty: the usual choice
  std::string error;            // with kError: what is wrong
};

// Reads the arguments after the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text --help prints.
std::string UsageText();

// "replyvane <version>".
std::string VersionText();

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_COMMAND_LINE_H_
