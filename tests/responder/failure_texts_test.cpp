// What `replyvane --check` says when it cannot do its work: the specified
// text, then a line naming the server, its port and what happened, on
// standard error, exit 1, nothing sent.
#include <gtest/gtest.h>

#include <string>

#include "mail/pop3.h"
#include "mail/smtp.h"
#include "net/exceptions.h"
#include "net/tls_session.h"
#include "responder/server_failure.h"
#include "tests/responder/program_run.h"
#include "tests/support/failure_cases.h"

namespace replyvane::testing {
namespace {

TEST(FailureTextsTest, EachFailureSaysWhereAndWhy) {
  if (std::string(kProgram).empty()) GTEST_SKIP() << "no program built";
  for (FailureKind kind : kFailureKinds) {
    FailureSetup failure = MakeFailure(kind);
    SCOPED_TRACE(failure.name);
    TempDir dir("failure");
    CheckSettings settings =
        ScriptedCheckSettings(failure.pop_port, failure.smtp_port);
    settings.extra = "[Connection]\r\nReadTimeout=1\r\n";
    WriteSettings(dir.Path(), settings);
    if (failure.pop_host.empty()) {
      std::string ini = ReadFile(dir.File("Settings.ini"));
      ini.replace(ini.find("2=127.0.0.1"), 11, "2=");
      WriteFile(dir.File("Settings.ini"), ini);
    }
    const RunResult run = RunProgram(dir, "--check --settings " + dir.Path());
    EXPECT_EQ(run.status, 1) << run.err;
    // Line ends are blanks on the terminal.
    EXPECT_TRUE(run.err.ends_with(failure.cause + "\n")) << run.err;
    if (failure.pop_connect && !failure.pop_host.empty()) {
      EXPECT_EQ(
          run.err.rfind("replyvane: Could not connect with \"127.0.0.1\"", 0),
          0u)
          << run.err;
    }
  }
}

// The failures that cannot be made on 127.0.0.1 alone (a name lookup would
// leave the machine), read as the check reads them.
TEST(FailureTextsTest, CauseLinesNameTheServerAndWhatHappened) {
  mail::POP3 pop;
  pop.SetHost("mail.example.com");
  pop.SetPort(995);
  mail::SMTP smtp;
  smtp.SetHost("smtp.example.com");
  smtp.SetPort(465);
  using responder::CauseLine;
  EXPECT_EQ(CauseLine(pop, net::SocketError(11001, "Socket Error # 11001")),
            "POP3 server mail.example.com port 995: no host of that name was "
            "found");
  EXPECT_EQ(CauseLine(smtp, net::ConnectException("refused", 10061)),
            "SMTP server smtp.example.com port 465: the connection was "
            "refused: no server listens on that port");
  EXPECT_EQ(CauseLine(pop, net::ConnectTimeout()),
            "POP3 server mail.example.com port 995: no answer to the connect");
  EXPECT_EQ(CauseLine(smtp, net::TLSError("Certificate of smtp.example.com is "
                                          "not trusted: self-signed "
                                          "certificate")),
            "SMTP server smtp.example.com port 465: the encrypted connection "
            "could not be set up\r\nCertificate of smtp.example.com is not "
            "trusted: self-signed certificate");
  smtp.SetAwaited("the reply to RCPT");
  EXPECT_EQ(
      CauseLine(smtp, net::ProtocolReplyError(550, "550 no such user\r\n")),
      "SMTP server smtp.example.com port 465: refused RCPT: 550 no such "
      "user");
  smtp.SetAwaited("the reply to a log-in step");
  EXPECT_EQ(CauseLine(smtp, net::ProtocolReplyError(
                                535,
                                "535 5.7.8 Authentication credentials "
                                "invalid\r\n")),
            "SMTP server smtp.example.com port 465: log-in refused: 535 5.7.8 "
            "Authentication credentials invalid");
  EXPECT_EQ(responder::NoServerText("SMTP", " "),
            "No SMTP server is set: open Settings \xE2\x80\xBA POP3/SMTP "
            "Settings");
  EXPECT_EQ(responder::NoServerText("SMTP", "smtp.example.com"), "");
}

}  // namespace
}  // namespace replyvane::testing
