// The failures a newcomer meets first, each set up on 127.0.0.1: a closed
// POP3 port, a POP3 host that never answers, a wrong password, no POP3
// server set, a closed SMTP port. Each says what the failure text must end
// with: the line naming the server, its port and what happened.
#ifndef REPLYVANE_TESTS_SUPPORT_FAILURE_CASES_H_
#define REPLYVANE_TESTS_SUPPORT_FAILURE_CASES_H_

#include <memory>
#include <string>
#include <vector>

#include "tests/support/mail_scripts.h"
#include "tests/support/scripted_server.h"
#include "tests/support/socket_util.h"

namespace replyvane::testing {

enum class FailureKind {
  kPop3Refused,
  kPop3NoAnswer,
  kWrongPassword,
  kNoPop3Server,
  kSmtpRefused
};

inline constexpr FailureKind kFailureKinds[] = {
    FailureKind::kPop3Refused, FailureKind::kPop3NoAnswer,
    FailureKind::kWrongPassword, FailureKind::kNoPop3Server,
    FailureKind::kSmtpRefused};

// Settings and servers for one failure; run with a read timeout of 1 s.
struct FailureSetup {
  std::string name;
  std::string pop_host = "127.0.0.1";
  int pop_port = 0;
  int smtp_port = 0;
  // True when the failure is the POP3 connect's (the error dialog's).
  bool pop_connect = true;
  std::string cause;  // the line the failure text ends with
  std::unique_ptr<ScriptedServer> pop;
  std::unique_ptr<UnansweringListener> silent;
};

inline FailureSetup MakeFailure(FailureKind kind) {
  FailureSetup setup;
  setup.smtp_port = ClosedPort();
  const auto pop3 = [&](int port) {
    return "POP3 server 127.0.0.1 port " + std::to_string(port) + ": ";
  };
  const std::string refused =
      "the connection was refused: no server listens on that port";
  switch (kind) {
    case FailureKind::kPop3Refused:
      setup.name = "POP3 port closed";
      setup.pop_port = ClosedPort();
      setup.cause = pop3(setup.pop_port) + refused;
      break;
    case FailureKind::kPop3NoAnswer:
      setup.name = "POP3 host never answers";
      setup.silent = std::make_unique<UnansweringListener>();
      setup.pop_port = setup.silent->Port();
      setup.cause = pop3(setup.pop_port) + "no answer to the connect";
      break;
    case FailureKind::kWrongPassword: {
      setup.name = "wrong password";
      Script script;
      script.SendLine("+OK ready").Expect("USER u").SendLine("+OK");
      script.Expect("PASS p")
          .SendLine("-ERR [AUTH] Authentication failed.")
          .Expect("QUIT");
      setup.pop = std::make_unique<ScriptedServer>(script);
      setup.pop_port = setup.pop->Port();
      setup.cause = pop3(setup.pop_port) +
                    "log-in refused: [AUTH] Authentication failed.";
      break;
    }
    case FailureKind::kNoPop3Server:
      setup.name = "no POP3 server set";
      setup.pop_host = "";
      setup.pop_port = 110;
      setup.cause =
          "No POP3 server is set: open Settings \xE2\x80\xBA POP3/SMTP "
          "Settings";
      break;
    case FailureKind::kSmtpRefused: {
      setup.name = "SMTP port closed";
      std::vector<Incoming> mailbox(1);
      mailbox[0].subject = "question";
      mailbox[0].from = "ann@example.com";
      setup.pop =
          std::make_unique<ScriptedServer>(Pop3Listing(mailbox).Expect("QUIT"));
      setup.pop_port = setup.pop->Port();
      setup.pop_connect = false;
      setup.cause = "SMTP server 127.0.0.1 port " +
                    std::to_string(setup.smtp_port) + ": " + refused;
      break;
    }
  }
  return setup;
}

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_FAILURE_CASES_H_
