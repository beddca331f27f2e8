// Placeholders through the whole run, from the windows and from
// `replyvane --check` over the settings the window saved, against Dovecot
// and aiosmtpd: the original subject (decoded), the sender's name or
// address and the original date go into the response as Python's email
// package reads it; a subject that decodes to a line break adds no header;
// with the box unticked the braces go as typed and Settings.ini gains no
// key.
#include <QCheckBox>
#include <QtTest>
#include <string>
#include <vector>

#include "tests/app/responder_harness.h"
#include "tests/responder/program_run.h"
#include "tests/support/decoded_message.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/mail_scripts.h"
#include "tests/support/scoped_time_zone.h"
#include "tests/support/smtp_server.h"

namespace replyvane::testing {
namespace {

// "Jörg Müller" asks about "Rechnung für Dezember", both encoded words.
const char kNamed[] =
    "From: =?UTF-8?Q?J=C3=B6rg_M=C3=BCller?= <jm@example.com>\r\n"
    "To: me@example.com\r\n"
    "Subject: =?UTF-8?B?UmVjaG51bmcgZsO8ciBEZXplbWJlcg==?=\r\n"
    "Date: Tue, 01 Dec 2026 12:00:00 +0000\r\n"
    "Message-ID: <named@example.com>\r\n\r\nWann kommt sie?\r\n";
// No name; a subject whose encoded word holds CR LF and a header.
const char kHostile[] =
    "From: ann@example.com\r\nTo: me@example.com\r\n"
    "Subject: =?UTF-8?Q?hi=0D=0ABcc:_evil@example.com?=\r\n"
    "Message-ID: <hostile@example.com>\r\n\r\nhello\r\n";

const char kText[] =
    "Dear {name} <{address}>,\n{{braces}} and {unknown} stay.\n"
    "Your message of {date}.";

const std::string kNamedExpected =
    "\fRe: Rechnung f\xC3\xBCr Dezember\fDear J\xC3\xB6rg M\xC3\xBCller "
    "<jm@example.com>,\n{braces} and {unknown} stay.\nYour message of Tue "
    "Dec  1 12:00:00 2026.\n";

// What the responses to kNamed and kHostile must be; `sent` holds the two
// in the order the run answered them (last to first: kHostile first).
QStringList Problems(const TempDir& dir,
                     const std::vector<SmtpServer::Message>& sent) {
  QStringList problems;
  if (sent.size() != 2) return {QString("sent %1").arg(sent.size())};
  if (const std::string got = DecodedByPython(dir, sent[1].data);
      got != kNamedExpected) {
    problems << Q("named: " + got);
  }
  const std::string hostile = sent[0].data;
  if (hostile.find("\r\nBcc:") != std::string::npos ||
      sent[0].rcpt_tos != std::vector<std::string>{"ann@example.com"}) {
    problems << Q("hostile subject made a header:\n" + hostile);
  }
  const std::string got = DecodedByPython(dir, hostile);
  if (got.find("\fRe: hi  Bcc: evil@example.com\fDear ann@example.com "
               "<ann@example.com>,\n") == std::string::npos) {
    problems << Q("hostile: " + got);
  }
  return problems;
}

}  // namespace

class PlaceholdersRunTest : public QObject {
  Q_OBJECT

 private slots:
  void FilledFromTheWindowAndFromCheckAsTypedWhenOff();
};

void PlaceholdersRunTest::FilledFromTheWindowAndFromCheckAsTypedWhenOff() {
  const std::string missing = MissingForRealServers();
  if (!missing.empty()) QSKIP(missing.c_str());
  ScopedTimeZone utc("UTC0");
  DovecotServer pop;
  SmtpServer smtp;
  pop.AddMessage(kNamed);
  pop.AddMessage(kHostile);
  QVERIFY(pop.Start());
  QVERIFY(smtp.Start());

  Responder responder;
  responder.SetPop3(pop.Port(), Q(pop.User()), Q(pop.Password()));
  responder.SetSmtp(smtp.Port());
  responder.SetResponse("me@example.com", "Re: {subject}", kText);
  responder.Form2().AutoReplyRules()->setChecked(false);
  responder.Form2().FillPlaceholders()->setChecked(true);
  responder.Check();
  QVERIFY(smtp.WaitForMessages(2));
  QStringList problems = Problems(responder.Dir(), smtp.Messages());
  QVERIFY2(problems.isEmpty(), qPrintable(problems.join("\n")));
  QVERIFY(responder.Close());  // saves the settings --check reads
  QVERIFY(ReadFile(responder.Dir().File("Settings.ini"))
              .find("[Response]\r\nPlaceholders=1\r\n") != std::string::npos);

  pop.AddMessage(kNamed);
  pop.AddMessage(kHostile);
  const std::string check = "--check --settings " + responder.Dir().Path();
  RunResult run = RunProgram(responder.Dir(), check, 120, "TZ=UTC0");
  QVERIFY2(run.status == 0, run.err.c_str());
  QVERIFY(smtp.WaitForMessages(4));
  std::vector<SmtpServer::Message> sent = smtp.Messages();
  problems = Problems(responder.Dir(), {sent[2], sent[3]});
  QVERIFY2(problems.isEmpty(), qPrintable(problems.join("\n")));

  // Unticked: the text as typed, and no key written for it.
  Responder plain;
  plain.SetPop3(pop.Port(), Q(pop.User()), Q(pop.Password()));
  plain.SetSmtp(smtp.Port());
  plain.SetResponse("me@example.com", "Re: {subject}", kText);
  plain.Form2().AutoReplyRules()->setChecked(false);
  pop.AddMessage(kNamed);
  plain.Check();
  QVERIFY(smtp.WaitForMessages(5));
  const std::string as_typed = smtp.Messages()[4].data;
  QCOMPARE(HeaderValue(as_typed, "Subject"), std::string("Re: {subject}"));
  QVERIFY2(as_typed.find("Dear {name} <{address}>,\r\n{{braces}}") !=
               std::string::npos,
           as_typed.c_str());
  QVERIFY(plain.Close());
  QVERIFY(ReadFile(plain.Dir().File("Settings.ini")).find("Placeholders") ==
          std::string::npos);
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::PlaceholdersRunTest)
#include "placeholders_run_test.moc"
