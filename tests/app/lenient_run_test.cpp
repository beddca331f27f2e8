// Mail from strangers through the real windows against scripted servers:
// a From that does not parse is answered at the best address the message
// names, a message that names none stays on the server with its row saying
// so, and the run goes on past both.
#include <QtTest>
#include <string>
#include <vector>

#include "tests/app/mail_scripts.h"
#include "tests/app/responder_harness.h"
#include "tests/support/scripted_server.h"

namespace replyvane::testing {
namespace {

const char kFrom[] = "me@example.com";

}  // namespace

class LenientRunTest : public QObject {
  Q_OBJECT

 private slots:
  void OddSendersNeverStopTheRun();
};

void LenientRunTest::OddSendersNeverStopTheRun() {
  Responder responder;
  std::vector<Incoming> mailbox(4);
  mailbox[0].subject = "first";
  mailbox[0].from = "ok@example.com";
  // The failure that once stopped every check.
  mailbox[1].subject = "outside";
  mailbox[1].from = "\"Shop\" <shop@example.com> @ Outside address";
  mailbox[2].subject = "nobody";
  mailbox[2].from = "Undisclosed recipients";
  mailbox[2].extra_headers = {"Return-Path: <>"};
  mailbox[3].subject = "=?UTF-8?Q?bad=ZZ?=";
  mailbox[3].from = "no address here";
  mailbox[3].extra_headers = {"Reply-To: Help Desk help@example.net"};
  Script pop_script = Pop3Listing(mailbox);
  Pop3Retrieve(pop_script, 4, mailbox[3]);
  Pop3Delete(pop_script, 4);
  // Message 3 is neither answered nor fetched nor deleted.
  Pop3Retrieve(pop_script, 2, mailbox[1]);
  Pop3Delete(pop_script, 2);
  Pop3Retrieve(pop_script, 1, mailbox[0]);
  Pop3Delete(pop_script, 1);
  ScriptedServer pop(Pop3Quit(pop_script));
  ScriptedServer smtp({SmtpScript({kFrom, {"help@example.net"}}),
                       SmtpScript({kFrom, {"fw@example.com"}}),
                       SmtpScript({kFrom, {"shop@example.com"}}),
                       SmtpScript({kFrom, {"fw@example.com"}}),
                       SmtpScript({kFrom, {"ok@example.com"}}),
                       SmtpScript({kFrom, {"fw@example.com"}})});
  responder.SetPop3(pop.Port());
  responder.SetSmtp(smtp.Port());
  responder.SetResponse(kFrom, "Re", "Thanks.");
  responder.SetForward(true, "fw@example.com");
  responder.Check();

  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY2(smtp.Played(), smtp.Report().c_str());
  for (const SeenBox& box : responder.Boxes().Seen()) {
    QCOMPARE(box.text, QString("1"));
  }
  QCOMPARE(responder.Boxes().Seen().size(), size_t(3));
  // The row of the message nobody can be answered for stays, saying why;
  // it shows the From text as received.
  QCOMPARE(responder.Rows(), 1);
  const QStringList row = responder.Row(0);
  QCOMPARE(row.value(0), QString("nobody"));
  QCOMPARE(row.value(1), QString("Undisclosed recipients"));
  QCOMPARE(row.value(5), QString("No sender address: not answered"));

  const std::vector<std::string> bodies = smtp.Bodies();
  QCOMPARE(bodies.size(), size_t(6));
  // A row shows what could be read of a From that parsed in part, and the
  // forward names the sender as the row shows it.
  QCOMPARE(BodyText(DotUnstuffed(bodies[1])),
           std::string("From: no address here\r\nHello.\r\n"));
  QCOMPARE(BodyText(DotUnstuffed(bodies[3])),
           std::string("From: Shop <shop@example.com>\r\nHello.\r\n"));
  QCOMPARE(Q(HeaderValue(DotUnstuffed(bodies[2]), "To")),
           QString("\"Shop\" <shop@example.com>"));
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::LenientRunTest)
#include "lenient_run_test.moc"
