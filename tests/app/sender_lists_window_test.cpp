// The sender lists in Responder Settings: typed entries are saved one a
// line in never-answer.txt and only-answer.txt and shown again at the next
// start; a user who types none gets neither file; and a "Check Now" leaves
// a never-listed sender unanswered with the reason in its row.
#include <QPlainTextEdit>
#include <QtTest>
#include <filesystem>
#include <string>

#include "app/program.h"
#include "tests/app/responder_harness.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"

namespace replyvane::testing {

class SenderListsWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void ListsAreSavedAsTypedAndNoneWritesNoFile();
  void ANeverListedSenderIsNotAnswered();
};

void SenderListsWindowTest::ListsAreSavedAsTypedAndNoneWritesNoFile() {
  Responder untouched;
  QVERIFY(untouched.Close());
  for (const char* name : {"never-answer.txt", "only-answer.txt"}) {
    QVERIFY(!std::filesystem::exists(untouched.Dir().File(name)));
  }

  Responder responder;
  responder.Form2().NeverAnswer()->setPlainText(
      "  boss@corp.example\n\n@spam.example\n");
  responder.Form2().OnlyAnswer()->setPlainText("*.corp.example");
  QVERIFY(responder.Close());
  QCOMPARE(ReadFile(responder.Dir().File("never-answer.txt")),
           std::string("boss@corp.example\r\n@spam.example\r\n"));
  QCOMPARE(ReadFile(responder.Dir().File("only-answer.txt")),
           std::string("*.corp.example\r\n"));
  // The next start shows them again.
  app::Program again(responder.Dir().Path());
  QCOMPARE(again.Form2().NeverAnswer()->toPlainText(),
           QString("boss@corp.example\n@spam.example"));
  QCOMPARE(again.Form2().OnlyAnswer()->toPlainText(),
           QString("*.corp.example"));
}

void SenderListsWindowTest::ANeverListedSenderIsNotAnswered() {
  const std::string missing =
      DovecotServer::MissingReason() + SmtpServer::MissingReason();
  if (!missing.empty()) QSKIP(missing.c_str());
  DovecotServer pop;
  SmtpServer smtp;
  pop.AddMessage("From: boss@corp.example\r\nSubject: one\r\n\r\nHi.\r\n");
  pop.AddMessage("From: ann@example.com\r\nSubject: two\r\n\r\nHi.\r\n");
  QVERIFY(pop.Start());
  QVERIFY(smtp.Start());
  Responder responder;
  responder.SetPop3(pop.Port(), Q(pop.User()), Q(pop.Password()));
  responder.SetSmtp(smtp.Port());
  responder.SetResponse("me@example.com", "Re", "Thanks.");
  responder.Form2().NeverAnswer()->setPlainText("@corp.example");
  responder.Check();
  QVERIFY(smtp.WaitForMessages(1));
  QTest::qWait(300);
  QCOMPARE(smtp.MessageCount(), size_t(1));
  QCOMPARE(smtp.Messages()[0].rcpt_tos,
           std::vector<std::string>{"ann@example.com"});
  QVERIFY(WaitFor([&] { return pop.MessageCount() == 0; }, 10000));
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::SenderListsWindowTest)
#include "sender_lists_window_test.moc"
