// The Responses and Rules window over responses.txt: what it holds is
// checked as it is typed, saved as typed (CR LF) by Save, by its closing
// and by the program's, never written when not edited, shown afresh after
// an edit elsewhere; and a "Check Now" sends the response its rule chose.
#include "app/responses_window.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <filesystem>
#include <string>

#include "app/program.h"
#include "tests/app/mail_scripts.h"
#include "tests/app/responder_harness.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"

namespace replyvane::testing {

class ResponsesWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void ChecksAndSavesWhatIsTyped();
  void ACheckSendsTheChosenResponse();
};

void ResponsesWindowTest::ChecksAndSavesWhatIsTyped() {
  Responder untouched;
  untouched.Form2().ResponsesButton()->click();
  untouched.Form2().Responses()->close();
  QVERIFY(untouched.Close());
  QVERIFY(!std::filesystem::exists(untouched.Dir().File("responses.txt")));

  Responder responder;
  app::ResponsesWindow* window = responder.Form2().Responses();
  responder.Form2().ResponsesButton()->click();
  QVERIFY(window->isVisible());
  window->Editor()->setPlainText(
      "[response A]\nSubject=One\n[rules]\nsent to "
      "x@example.com => B\n");
  QCOMPARE(window->CheckText()->text(),
           QString("responses.txt line 4: no response is named B: checks "
                   "send nothing until it is mended"));
  window->SaveButton()->click();
  const std::string path = responder.Dir().File("responses.txt");
  QCOMPARE(ReadFile(path),
           std::string("[response A]\r\nSubject=One\r\n[rules]\r\nsent to "
                       "x@example.com => B\r\n"));

  window->Editor()->setPlainText(
      "[response A]\nHtml=a.html\n[rules]\nsent to x@example.com => A\n");
  QCOMPARE(window->CheckText()->text(),
           QString("The Html file a.html of the response A is not there: "
                   "checks send nothing"));
  WriteFile(responder.Dir().File("a.html"), "<p>A</p>");
  window->Editor()->setPlainText(
      "[response A]\nHtml=a.html\n[rules]\nsent to "
      "x@example.com => A\n");
  QCOMPARE(window->CheckText()->text(),
           QString("1 response, 1 rule; a message no rule matches gets the "
                   "response of Responder Settings"));
  // Closing the window saves.
  window->close();
  QVERIFY(ReadFile(path).find("Html=a.html\r\n") != std::string::npos);

  // Edited elsewhere while closed: shown afresh.
  WriteFile(path, "# by hand\r\n");
  responder.Form2().ResponsesButton()->click();
  QCOMPARE(window->Editor()->toPlainText(), QString("# by hand\n"));
  QCOMPARE(window->CheckText()->text(),
           QString("No rules: every sender gets the response of Responder "
                   "Settings"));
  // The program's closing saves what the window still holds.
  window->Editor()->appendPlainText("# more");
  QVERIFY(responder.Close());
  QCOMPARE(ReadFile(path), std::string("# by hand\r\n\r\n# more"));
}

void ResponsesWindowTest::ACheckSendsTheChosenResponse() {
  const std::string missing =
      DovecotServer::MissingReason() + SmtpServer::MissingReason();
  if (!missing.empty()) QSKIP(missing.c_str());
  DovecotServer pop;
  SmtpServer smtp;
  pop.AddMessage(
      "From: ann@example.com\r\nTo: sales@example.com\r\nSubject: one\r\n"
      "\r\nHi.\r\n");
  pop.AddMessage("From: bob@example.com\r\nSubject: two\r\n\r\nHi.\r\n");
  QVERIFY(pop.Start());
  QVERIFY(smtp.Start());
  Responder responder;
  responder.SetPop3(pop.Port(), Q(pop.User()), Q(pop.Password()));
  responder.SetSmtp(smtp.Port());
  responder.SetResponse("me@example.com", "Re", "Thanks.");
  app::ResponsesWindow* window = responder.Form2().Responses();
  window->Editor()->setPlainText(
      "[response Sales]\nSubject=Sales will call\nText=We call you back.\n"
      "[rules]\nsent to sales@example.com => Sales\n");
  window->SaveButton()->click();
  responder.Check();
  QVERIFY(smtp.WaitForMessages(2));
  std::map<std::string, std::string> subject_of;
  for (const SmtpServer::Message& sent : smtp.Messages()) {
    subject_of[sent.rcpt_tos.at(0)] = HeaderValue(sent.data, "Subject");
  }
  QCOMPARE(subject_of["ann@example.com"], std::string("Sales will call"));
  QCOMPARE(subject_of["bob@example.com"], std::string("Re"));
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::ResponsesWindowTest)
#include "responses_window_test.moc"
