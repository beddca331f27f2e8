// The guard every POP3 and SMTP command passes before it is written. Texts
// that reach a command line come from settings and from received headers (a
// sender address, say); a CR, LF or NUL among them would end the line early
// and let the rest be read by the server as a command of its own.
#ifndef REPLYVANE_MAIL_COMMAND_LINE_H_
#define REPLYVANE_MAIL_COMMAND_LINE_H_

#include <string_view>

#include "core/exception.h"

namespace replyvane::mail {

// Raised instead of sending a command line that holds CR, LF or NUL. The
// message names the command word only, never the rest of the line (which
// may carry a password).
class UnsafeCommandError : public core::Exception {
 public:
  using core::Exception::Exception;
};

// Returns normally for a line without CR, LF and NUL (the empty line
// included); raises UnsafeCommandError otherwise.
void CheckCommandLine(std::string_view line);

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_COMMAND_LINE_H_
