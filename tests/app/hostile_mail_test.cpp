// Received text is data, never structure: the two attacks once seen, run
// end to end through the real windows with the forward on, against scripted
// servers. Every SMTP connection must hold exactly one transaction, and the
// sender's text must stay inside one line of the forward's body.
#include <QtTest>
#include <string>
#include <vector>

#include "tests/app/mail_scripts.h"
#include "tests/app/responder_harness.h"
#include "tests/support/scripted_server.h"

namespace replyvane::testing {
namespace {

const char kFrom[] = "me@example.com";
const char kForwardTo[] = "fw@example.com";

// The lines of a recorded message text.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Checks what every recorded message text must hold: CR only before LF,
// LF only after CR, no NUL, and no header line starting with `marker`.
void CheckWellFormed(const std::string& text, const std::string& marker) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      QVERIFY2(i + 1 < text.size() && text[i + 1] == '\n',
               Visible(text).c_str());
    } else if (text[i] == '\n') {
      QVERIFY2(i > 0 && text[i - 1] == '\r', Visible(text).c_str());
    }
    QVERIFY2(text[i] != '\0', Visible(text).c_str());
  }
  for (const std::string& line : Lines(HeaderBlock(text))) {
    QVERIFY2(line.rfind(marker, 0) != 0, Visible(text).c_str());
  }
}

}  // namespace

class HostileMailTest : public QObject {
  Q_OBJECT

 private slots:
  void SmuggledCommandsInTheSenderNameStayInTheForwardBody();
  void LineBreaksInTheSubjectAddNoHeader();
};

// A From whose display name decodes to CR LF "." CR LF and SMTP commands:
// once the forward's first body line, it ended DATA and the server ran the
// commands as a second transaction in the user's session.
void HostileMailTest::SmuggledCommandsInTheSenderNameStayInTheForwardBody() {
  Responder responder;
  std::vector<Incoming> mailbox(1);
  mailbox[0].subject = "hello";
  mailbox[0].from =
      "=?UTF-8?Q?Mallory=0D=0A.=0D=0AMAIL_FROM:=3Cme@example.com=3E=0D=0A"
      "RCPT_TO:=3Cvictim@example.net=3E=0D=0ADATA=0D=0ASubject:_spam?= "
      "<mallory@example.org>";
  mailbox[0].body = {"Buy now."};
  Script pop_script = Pop3Listing(mailbox);
  Pop3Retrieve(pop_script, 1, mailbox[0]);
  Pop3Delete(pop_script, 1);
  ScriptedServer pop(pop_script.Expect("QUIT"));
  // Each script is one transaction ending with QUIT: a second MAIL FROM on
  // a connection fails it.
  ScriptedServer smtp({SmtpScript({kFrom, {"mallory@example.org"}}),
                       SmtpScript({kFrom, {kForwardTo}})});
  responder.SetPop3(pop.Port());
  responder.SetSmtp(smtp.Port());
  responder.SetResponse(kFrom, "Re", "Thanks.");
  responder.SetForward(true, kForwardTo);
  responder.Check();

  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY2(smtp.Played(), smtp.Report().c_str());
  QCOMPARE(responder.Boxes().Texts(), QStringList({"1"}));
  const std::vector<std::string> bodies = smtp.Bodies();
  QCOMPARE(bodies.size(), size_t(2));
  for (const std::string& body : bodies) CheckWellFormed(body, "Subject: spam");
  const std::vector<std::string> lines =
      Lines(BodyText(DotUnstuffed(bodies[1])));
  QVERIFY(!lines.empty());
  // The whole decoded name, line ends as blanks, on the first line.
  QCOMPARE(lines[0], std::string("From: Mallory  .  MAIL FROM:<me@example.com>"
                                 "  RCPT TO:<victim@example.net>  DATA  "
                                 "Subject: spam <mallory@example.org>"));
  QCOMPARE(lines.size(), size_t(2));
  QCOMPARE(lines[1], std::string("Buy now."));
  QCOMPARE(responder.Rows(), 0);
}

// A Subject holding encoded bare LFs: the forward's header block once had
// an extra X-Evil line followed by a lone ".".
void HostileMailTest::LineBreaksInTheSubjectAddNoHeader() {
  Responder responder;
  std::vector<Incoming> mailbox(1);
  mailbox[0].subject = "=?UTF-8?Q?Hello=0AX-Evil:_1=0A.?=";
  mailbox[0].from = "eve@example.org";
  Script pop_script = Pop3Listing(mailbox);
  Pop3Retrieve(pop_script, 1, mailbox[0]);
  Pop3Delete(pop_script, 1);
  ScriptedServer pop(pop_script.Expect("QUIT"));
  ScriptedServer smtp({SmtpScript({kFrom, {"eve@example.org"}}),
                       SmtpScript({kFrom, {kForwardTo}})});
  responder.SetPop3(pop.Port());
  responder.SetSmtp(smtp.Port());
  responder.SetResponse(kFrom, "Re", "Thanks.");
  responder.SetForward(true, kForwardTo);
  responder.Check();

  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY2(smtp.Played(), smtp.Report().c_str());
  QCOMPARE(responder.Boxes().Texts(), QStringList({"1"}));
  const std::vector<std::string> bodies = smtp.Bodies();
  QCOMPARE(bodies.size(), size_t(2));
  for (const std::string& body : bodies) CheckWellFormed(body, "X-Evil");
  const std::string forward = DotUnstuffed(bodies[1]);
  QCOMPARE(HeaderValue(forward, "Subject"), std::string("Hello X-Evil: 1 ."));
  QCOMPARE(BodyText(forward),
           std::string("From: eve@example.org\r\nHello.\r\n"));
  QCOMPARE(responder.Rows(), 0);
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::HostileMailTest)
#include "hostile_mail_test.moc"
