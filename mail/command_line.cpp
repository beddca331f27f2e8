// Command-line guard; see command_line.h.
#include "mail/command_line.h"

#include <string>

namespace replyvane::mail {

namespace {

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

void CheckCommandLine(std::string_view line) {
  if (line.find_first_of(std::string_view("\r\n\0", 3)) ==
      std::string_view::npos) {
    return;
  }
  // Only the leading letters: "MAIL" of "MAIL FROM:<...>", "PASS" of a
  // password line. The rest of the line is never shown.
  size_t letters = 0;
  while (letters < line.size() && letters < 8 && IsLetter(line[letters])) {
    ++letters;
  }
  std::string word(line.substr(0, letters));
  if (word.empty()) word = "(unnamed)";
  throw UnsafeCommandError("Refused to send the " + word +
                           " command: its text holds a line break or NUL "
                           "byte");
}

}  // namespace replyvane::mail
