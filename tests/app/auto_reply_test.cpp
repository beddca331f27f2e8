// The rules for automatic replies through the real windows against scripted
// servers: a mailbox mixing person-to-person mail with every kind of
// automatic message; exactly the person-to-person ones are answered, all
// are forwarded and deleted, the rows say why, the status bar counts; and
// the switch in the settings window gives back the plain responses.
#include <QCheckBox>
#include <QLineEdit>
#include <QTreeWidget>
#include <QtTest>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tests/app/mail_scripts.h"
#include "tests/app/responder_harness.h"
#include "tests/support/scripted_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane::testing {
namespace {

const char kFrom[] = "me@example.com";
const char kForward[] = "fw@example.com";

struct Case {
  Incoming message;
  QString status;  // "" when answered
};

Case Make(const std::string& subject, const std::string& from,
          std::vector<std::string> headers, const QString& status) {
  Case c;
  c.message.subject = subject;
  c.message.from = from;
  c.message.extra_headers = std::move(headers);
  c.status = status;
  return c;
}

std::vector<Case> MixedMailbox() {
  return {
      Make("person", "Ann <ann@example.com>",
           {"Message-ID: <p1@example.com>", "References: <p0@example.com>"},
           ""),
      Make("vacation", "bob@example.com", {"Auto-Submitted: auto-replied"},
           "Not answered: automatic message"),
      Make("explicitly a person", "cat@example.com", {"Auto-Submitted: no"},
           ""),
      Make("newsletter", "news@example.com", {"Precedence: BULK"},
           "Not answered: mailing list"),
      Make("first class", "dan@example.com", {"Precedence: first-class"}, ""),
      Make("list post", "eve@example.com",
           {"List-Id: The list", " <list.example.com>"},
           "Not answered: mailing list"),
      Make("bounce", "=?UTF-8?Q?Mail_Delivery?= <MAILER-DAEMON@mx.example.com>",
           {}, "Not answered: automatic message"),
      Make("ourselves", "Me <ME@example.com>", {},
           "Not answered: our own address"),
      Make("null return path", "fay@example.com", {"Return-Path: <>"},
           "Not answered: automatic message"),
      Make("shop", "NoReply@shop.example", {},
           "Not answered: automatic message"),
      Make("loop", "gus@example.com", {"X-Loop: me@example.com"},
           "Not answered: our own address"),
  };
}

// The address of a From text.
std::string AddressOf(const std::string& from) {
  const size_t open = from.find('<');
  if (open == std::string::npos) return from;
  return from.substr(open + 1, from.find('>') - open - 1);
}

// What the program sent before the rules existed (captured from it), with
// the Date line left out: a response with an attachment and a forward.
const char kOriginalResponse[] =
    "From: me@example.com\r\n"
    "Subject: Re: away\r\n"
    "To: \"Ann Example\" <ann@example.com>\r\n"
    "Content-Type: multipart/mixed; "
    "boundary=\"=_NextPart_2rfkvornsadvnqw3nerasdf\"\r\n"
    "MIME-Version: 1.0\r\n"
    "Reply-To: me@example.com\r\n"
    "X-Priority: 3\r\n"
    "X-Library: Vorn 9.00.10\r\n"
    "\r\n"
    "This is a multi-part message in MIME format\r\n"
    "\r\n"
    "--=_NextPart_2rfkvornsadvnqw3nerasdf\r\n"
    "Content-Type: text/plain\r\n"
    "Content-Transfer-Encoding: 7bit\r\n"
    "\r\n"
    "Thanks.\r\n"
    "Bye.\r\n"
    "\r\n"
    "--=_NextPart_2rfkvornsadvnqw3nerasdf\r\n"
    "Content-Type: application/octet-stream;\r\n"
    "        name=\"note.txt\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "Content-Disposition: attachment;\r\n"
    "        filename=\"note.txt\"\r\n"
    "\r\n"
    "bm90ZQ0K\r\n"
    "\r\n"
    "--=_NextPart_2rfkvornsadvnqw3nerasdf--\r\n";
const char kOriginalForward[] =
    "From: me@example.com\r\n"
    "Subject: question about the offer\r\n"
    "To: fw@example.com\r\n"
    "Reply-To: me@example.com\r\n"
    "X-Priority: 3\r\n"
    "X-Library: Vorn 9.00.10\r\n"
    "\r\n"
    "From: Ann Example <ann@example.com>\r\n"
    "Hello.\r\n"
    "..dot line\r\n"
    "Bye.\r\n";

// `body` without its Date header line.
std::string WithoutDate(const std::string& body) {
  const size_t start = body.find("\r\nDate: ");
  if (start == std::string::npos) return body;
  const size_t end = body.find("\r\n", start + 2);
  return body.substr(0, start) + body.substr(end);
}

}  // namespace

class AutoReplyTest : public QObject {
  Q_OBJECT

 private slots:
  void OnlyPeopleAreAnsweredAndEveryoneIsForwarded();
  void SwitchedOffEveryMessageIsAnsweredAsBefore();
  void SettingsAreWrittenOnlyWhenTheyDifferFromTheDefaults();
  void SwitchedOffTheResponseAndForwardAreTheOriginalBytes();
};

void AutoReplyTest::OnlyPeopleAreAnsweredAndEveryoneIsForwarded() {
  const std::vector<Case> cases = MixedMailbox();
  std::vector<Incoming> mailbox;
  for (const Case& c : cases) mailbox.push_back(c.message);
  Script pop_script = Pop3Listing(mailbox);
  std::vector<Script> smtp_scripts;
  for (size_t i = mailbox.size(); i > 0; --i) {
    const Case& c = cases[i - 1];
    if (c.status.isEmpty()) {
      smtp_scripts.push_back(SmtpScript({kFrom, {AddressOf(c.message.from)}}));
    }
    Pop3Retrieve(pop_script, int(i), c.message);
    smtp_scripts.push_back(SmtpScript({kFrom, {kForward}}));
    Pop3Delete(pop_script, int(i));
  }
  ScriptedServer pop(Pop3Quit(pop_script));
  ScriptedServer smtp(std::move(smtp_scripts));
  Responder responder;
  responder.SetPop3(pop.Port());
  responder.SetSmtp(smtp.Port());
  responder.SetResponse(kFrom, "Away", "I am away.");
  responder.SetForward(true, kForward);
  QVERIFY(responder.Form2().AutoReplyRules()->isChecked());  // the default
  // The rows are gone by the end: their statuses are caught as they change.
  std::map<QString, QString> statuses;
  QObject::connect(responder.Main().lvHeaders(), &QTreeWidget::itemChanged,
                   [&](QTreeWidgetItem* item, int column) {
                     if (column == 5) statuses[item->text(0)] = item->text(5);
                   });
  responder.Check();

  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY2(smtp.Played(), smtp.Report().c_str());
  QCOMPARE(responder.Rows(), 0);
  for (const Case& c : cases) {
    const QString subject = QString::fromStdString(c.message.subject);
    // Answered rows keep the listing's "n/a".
    QCOMPARE(statuses[subject], c.status.isEmpty() ? QString("n/a") : c.status);
  }
  QCOMPARE(responder.Main().PanelText(2),
           QString("Answered: 3, not answered: 8"));
  // Responses carry the rules' headers after all others; forwards say they
  // are automatic.
  const std::vector<std::string> bodies = smtp.Bodies();
  std::set<std::string> message_ids;
  size_t next = 0;
  for (size_t i = cases.size(); i > 0; --i) {
    const Case& c = cases[i - 1];
    if (c.status.isEmpty()) {
      const std::string header = HeaderBlock(DotUnstuffed(bodies.at(next++)));
      // A Message-ID of its own, at the domain of the From address.
      static const std::regex kRuleHeaders(
          "\r\nX-Library: Vorn 9\\.00\\.10\r\n"
          "Message-ID: <\\d+\\.\\d{9}\\.[0-9a-f]{32}@example\\.com>\r\n"
          "Auto-Submitted: auto-replied\r\n");
      QVERIFY2(std::regex_search(header, kRuleHeaders), header.c_str());
      const std::string id = HeaderValue(header, "Message-ID");
      QVERIFY2(message_ids.insert(id).second, id.c_str());
      if (c.message.subject == "person") {
        QVERIFY2(header.ends_with(
                     "Auto-Submitted: auto-replied\r\n"
                     "In-Reply-To: <p1@example.com>\r\n"
                     "References: <p0@example.com> <p1@example.com>\r\n"),
                 header.c_str());
      }
    }
    const std::string forward = DotUnstuffed(bodies.at(next++));
    QCOMPARE(HeaderValue(forward, "Auto-Submitted"),
             std::string("auto-forwarded"));
    const std::string forward_id = HeaderValue(forward, "Message-ID");
    QVERIFY2(forward_id.ends_with("@example.com>") &&
                 message_ids.insert(forward_id).second,
             forward_id.c_str());
  }
  QCOMPARE(next, bodies.size());
}

void AutoReplyTest::SwitchedOffEveryMessageIsAnsweredAsBefore() {
  const std::vector<Case> cases = MixedMailbox();
  std::vector<Incoming> mailbox;
  for (const Case& c : cases) mailbox.push_back(c.message);
  Script pop_script = Pop3Listing(mailbox);
  std::vector<Script> smtp_scripts;
  for (size_t i = mailbox.size(); i > 0; --i) {
    smtp_scripts.push_back(
        SmtpScript({kFrom, {AddressOf(cases[i - 1].message.from)}}));
    Pop3Delete(pop_script, int(i));
  }
  ScriptedServer pop(Pop3Quit(pop_script));
  ScriptedServer smtp(std::move(smtp_scripts));
  Responder responder;
  responder.SetPop3(pop.Port());
  responder.SetSmtp(smtp.Port());
  responder.SetResponse(kFrom, "Away", "I am away.");
  responder.Form2().AutoReplyRules()->setChecked(false);
  responder.Check();

  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY2(smtp.Played(), smtp.Report().c_str());
  QCOMPARE(responder.Main().PanelText(2), QString());
  for (const std::string& body : smtp.Bodies()) {
    // The block ends as it always did.
    const std::string header = HeaderBlock(DotUnstuffed(body));
    QVERIFY2(header.ends_with("X-Priority: 3\r\nX-Library: Vorn 9.00.10\r\n"),
             header.c_str());
  }
}

void AutoReplyTest::SettingsAreWrittenOnlyWhenTheyDifferFromTheDefaults() {
  TempDir dir("rules");
  const std::string ini = dir.File("Settings.ini");
  {
    app::Program program(dir.Path());
    QVERIFY(program.frmMain().close());
  }
  QVERIFY(ReadFile(ini).find("AutoReplies") == std::string::npos);
  {
    app::Program program(dir.Path());
    QVERIFY(program.Form2().AutoReplyRules()->isChecked());
    QCOMPARE(program.Form2().OncePerSender()->text(), QString("0"));
    program.Form2().AutoReplyRules()->setChecked(false);
    program.Form2().OncePerSender()->setText("3");
    QVERIFY(program.frmMain().close());
  }
  QVERIFY2(ReadFile(ini).ends_with(
               "[AutoReplies]\r\nFollowRules=0\r\nOncePerSenderDays=3\r\n"),
           ReadFile(ini).c_str());
  app::Program program(dir.Path());
  QVERIFY(!program.Form2().AutoReplyRules()->isChecked());
  QCOMPARE(program.Form2().OncePerSender()->Value(), 3);
}

void AutoReplyTest::SwitchedOffTheResponseAndForwardAreTheOriginalBytes() {
  Incoming m;
  m.subject = "question about the offer";
  m.from = "Ann Example <ann@example.com>";
  m.extra_headers = {"Message-ID: <m1@example.com>"};
  m.body = {"Hello.", "..dot line", "Bye."};
  Script pop_script = Pop3Listing({m});
  Pop3Retrieve(pop_script, 1, m);
  Pop3Delete(pop_script, 1);
  ScriptedServer pop(Pop3Quit(pop_script));
  ScriptedServer smtp({SmtpScript({kFrom, {"ann@example.com"}}),
                       SmtpScript({kFrom, {kForward}})});
  Responder responder;
  const std::string note = responder.Dir().File("note.txt");
  WriteFile(note, "note\r\n");
  responder.SetPop3(pop.Port());
  responder.SetSmtp(smtp.Port());
  responder.SetResponse(kFrom, "Re: away", "Thanks.\nBye.", {Q(note)});
  responder.SetForward(true, kForward);
  // Every other new setting stays at its default (no encryption).
  responder.Form2().AutoReplyRules()->setChecked(false);
  responder.Check();

  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY2(smtp.Played(), smtp.Report().c_str());
  const std::vector<std::string> bodies = smtp.Bodies();
  QCOMPARE(bodies.size(), size_t(2));
  QCOMPARE(WithoutDate(bodies[0]), std::string(kOriginalResponse));
  QCOMPARE(WithoutDate(bodies[1]), std::string(kOriginalForward));
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::AutoReplyTest)
#include "auto_reply_test.moc"
