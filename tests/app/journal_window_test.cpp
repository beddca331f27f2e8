// The answered-message journal through the real windows: the window closed
// while the box after a message is open (its Disconnect undoes the DELE
// with RSET), then a later check: the message is listed again and deleted,
// never answered twice.
#include <QFile>
#include <QtTest>
#include <string>
#include <vector>

#include "tests/app/mail_scripts.h"
#include "tests/app/responder_harness.h"
#include "tests/support/scripted_server.h"

namespace replyvane::testing {

class JournalWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void ClosedWindowThenALaterCheckNeverAnswersTwice();
};

void JournalWindowTest::ClosedWindowThenALaterCheckNeverAnswersTwice() {
  Incoming message;
  message.subject = "question";
  message.from = "ann@example.com";
  Responder responder;
  responder.SetResponse("me@example.com", "Re", "Thanks.");
  {
    Script pop_script = Pop3Listing({message});
    Pop3Delete(pop_script, 1);
    ScriptedServer pop(
        pop_script.Expect("RSET").SendLine("+OK").Expect("QUIT"));
    ScriptedServer smtp(SmtpScript({"me@example.com", {"ann@example.com"}}));
    responder.SetPop3(pop.Port());
    responder.SetSmtp(smtp.Port());
    // The user closes the window while the box "1" is open.
    responder.Boxes().SetOnBox([&](const SeenBox&) { responder.Close(); });
    responder.Check();
    responder.Boxes().SetOnBox({});
    QVERIFY2(pop.Played(), pop.Report().c_str());
    QVERIFY2(smtp.Played(), smtp.Report().c_str());
  }
  QVERIFY(QFile::exists(Q(responder.Dir().File("answered.dat"))));

  // The same mailbox again: server, user and port.
  Script pop_script = Pop3Listing({message});
  Pop3Delete(pop_script, 1);
  ScriptedServer::Options same_port;
  same_port.port = responder.Form1().SpinEdit2()->Value();
  ScriptedServer pop(Pop3Quit(pop_script), same_port);
  ScriptedServer smtp(std::vector<Script>{});
  responder.SetPop3(pop.Port());
  responder.SetSmtp(smtp.Port());
  QStringList statuses;
  QObject::connect(responder.Main().lvHeaders(), &QTreeWidget::itemChanged,
                   [&](QTreeWidgetItem* item, int column) {
                     if (column == 5) statuses << item->text(5);
                   });
  responder.Check();
  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY2(smtp.Played(), smtp.Report().c_str());
  QVERIFY2(statuses.contains("Already answered: deleting"),
           qPrintable(statuses.join(", ")));
  QCOMPARE(responder.Rows(), 0);
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::JournalWindowTest)
#include "journal_window_test.moc"
