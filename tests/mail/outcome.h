// How a client call ended, as one comparable value for table-driven tests:
// "" when it returned, else the failure's class group, code and text.
#ifndef REPLYVANE_TESTS_MAIL_OUTCOME_H_
#define REPLYVANE_TESTS_MAIL_OUTCOME_H_

#include <functional>
#include <string>

#include "core/exception.h"
#include "mail/command_line.h"
#include "net/exceptions.h"
#include "tests/support/script.h"

namespace replyvane::mail {

// "" on return; "reply <code>: <text>" for a refused reply;
// "unsafe: <text>" for a refused command line; "error: <text>" for any other
// core::Exception. Control bytes in the text are made visible.
inline std::string Outcome(const std::function<void()>& call) {
  try {
    call();
    return "";
  } catch (const net::ProtocolReplyError& error) {
    return "reply " + std::to_string(error.ReplyCode()) + ": " +
           testing::Visible(error.Message());
  } catch (const UnsafeCommandError& error) {
    return "unsafe: " + testing::Visible(error.Message());
  } catch (const core::Exception& error) {
    return "error: " + testing::Visible(error.Message());
  }
}

}  // namespace replyvane::mail

#endif  // REPLYVANE_TESTS_MAIL_OUTCOME_H_
