// The mailbox check and the response run driven through the real windows
// against scripted POP3 and SMTP servers: the exact dialogues, the order of
// responses, forwards and deletions, the boxes shown, and what a failure
// leaves behind.
#include <QAction>
#include <QByteArray>
#include <QDate>
#include <QFile>
#include <QLocale>
#include <QStatusBar>
#include <QtTest>
#include <string>
#include <vector>

#include "tests/app/mail_scripts.h"
#include "tests/app/responder_harness.h"
#include "tests/support/scripted_server.h"
#include "tests/support/socket_util.h"

namespace replyvane::testing {
namespace {

const char kFrom[] = "me@example.com";
const char kSubject[] = "Re: your mail";
const char kConnectFailure[] =
    "Could not connect with \"127.0.0.1\", check you are on the internet and "
    "your settings, username and password are correct";

std::vector<Incoming> Mailbox(int count) {
  std::vector<Incoming> mailbox;
  for (int i = 1; i <= count; ++i) {
    Incoming m;
    m.subject = "subject " + std::to_string(i);
    m.from = "a" + std::to_string(i) + "@example.com";
    m.body = {"Body of " + std::to_string(i) + "."};
    mailbox.push_back(m);
  }
  return mailbox;
}

std::vector<Script> ResponseSessions(const std::vector<Incoming>& mailbox,
                                     bool auth_login = false) {
  std::vector<Script> sessions;
  for (size_t i = mailbox.size(); i > 0; --i) {
    sessions.push_back(SmtpScript({kFrom, {mailbox[i - 1].from}, auth_login}));
  }
  return sessions;
}

// Log-in, an empty mailbox, QUIT.
Script EmptyMailbox() {
  Script script;
  Pop3LogIn(script).Expect("STAT").SendLine("+OK 0 0").Expect("QUIT").SendLine(
      "+OK bye");
  return script;
}

// Listing, then DELE from the last message to the first, then QUIT.
Script AnsweredMailbox(const std::vector<Incoming>& mailbox) {
  Script pop = Pop3Listing(mailbox);
  for (size_t n = mailbox.size(); n > 0; --n) Pop3Delete(pop, int(n));
  return Pop3Quit(pop);
}

QString ShortDate(int year, int month, int day) {
  return QLocale().toString(QDate(year, month, day), QLocale::ShortFormat);
}

}  // namespace

class ResponseRunTest : public QObject {
  Q_OBJECT

 private slots:
  void EmptyMailboxEndsWithQuit();
  void AnswersLastToFirstAndDeletesEachAfterItsResponse();
  void ForwardsEachMessagesOwnText_data();
  void ForwardsEachMessagesOwnText();
  void EveryResponseCarriesTheAttachmentsInOrder();
  void AuthenticationChoice_data();
  void AuthenticationChoice();
  void SmtpRefusalLeavesRowsAndConnectionUntilClose();
  void StaleRowsAreNotAnsweredAgain_data();
  void StaleRowsAreNotAnsweredAgain();
  void RefusedRetrieveStopsBeforeForwardAndDeletion();
  void ClosingTheWindowDuringTheRunEndsIt();
};

void ResponseRunTest::EmptyMailboxEndsWithQuit() {
  Responder responder;
  ScriptedServer pop(EmptyMailbox());
  responder.SetPop3(pop.Port());
  responder.SetSmtp(ClosedPort());
  responder.Check();

  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY(responder.Boxes().Seen().empty());
  QCOMPARE(responder.Rows(), 0);
  QCOMPARE(responder.Main().PanelText(0), QString("No message selected"));
  QCOMPARE(responder.Main().PanelText(1), QString());
  QCOMPARE(responder.Main().MessageCount(), 0);
  QVERIFY(!responder.Main().Disconnect()->isEnabled());
  QVERIFY(responder.Main().CheckMail()->isEnabled());
  QVERIFY(QApplication::overrideCursor() == nullptr);
}

void ResponseRunTest::AnswersLastToFirstAndDeletesEachAfterItsResponse() {
  Responder responder;
  const std::vector<Incoming> mailbox = Mailbox(3);
  ScriptedServer pop(AnsweredMailbox(mailbox));
  ScriptedServer smtp(ResponseSessions(mailbox));
  responder.SetPop3(pop.Port());
  responder.SetSmtp(smtp.Port());
  // One paragraph wider than the text area: sent as the lines it shows.
  const QString paragraph = QString("word ").repeated(60).trimmed();
  responder.SetResponse(kFrom, kSubject,
                        "Thanks for your mail.\n" + paragraph + "\n");
  responder.SetForward(false);

  struct Moment {
    QString last_pop_line;
    size_t smtp_connections;
    int rows;
    QString panel0;
    QStringList first_row;
  };
  std::vector<Moment> moments;
  responder.Boxes().SetOnBox([&](const SeenBox&) {
    moments.push_back({Q(pop.Lines().back()), smtp.Accepted(), responder.Rows(),
                       responder.Main().PanelText(0), responder.Row(0)});
  });
  responder.Check();

  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY2(smtp.Played(), smtp.Report().c_str());
  QCOMPARE(pop.Lines().back(), std::string("QUIT"));
  QCOMPARE(responder.Boxes().Texts(), QStringList({"1", "1", "1"}));
  for (const SeenBox& box : responder.Boxes().Seen()) {
    QCOMPARE(box.title, QString("Replyvane"));
    QCOMPARE(box.icon, QMessageBox::NoIcon);
  }
  QCOMPARE(moments.size(), size_t(3));
  for (int k = 0; k < 3; ++k) {
    const Moment& at = moments[size_t(k)];
    const QString n = QString::number(3 - k);
    QCOMPARE(at.last_pop_line, "DELE " + n);
    QCOMPARE(at.smtp_connections, size_t(k + 1));
    QCOMPARE(at.rows, 2 - k);
    QCOMPARE(at.panel0, "Processing subject " + n);
  }
  // The first row as listed, seen while the run was at the third one.
  QCOMPARE(moments[0].first_row,
           QStringList({"subject 1", "a1@example.com", "me@example.com",
                        ShortDate(2026, 12, 1), "120", "n/a"}));

  const std::vector<std::string> bodies = smtp.Bodies();
  QCOMPARE(bodies.size(), size_t(3));
  for (int k = 0; k < 3; ++k) {
    const std::string text = DotUnstuffed(bodies[size_t(k)]);
    const std::string to = "a" + std::to_string(3 - k) + "@example.com";
    QCOMPARE(HeaderValue(text, "To"), to);
    QCOMPARE(HeaderValue(text, "From"), std::string(kFrom));
    QCOMPARE(HeaderValue(text, "Reply-To"), std::string(kFrom));
    QCOMPARE(HeaderValue(text, "Subject"), std::string(kSubject));
    const QStringList lines =
        Q(BodyText(text)).split("\r\n", Qt::KeepEmptyParts);
    QVERIFY2(lines.size() >= 4, qPrintable(Q(text)));  // 2+ wrapped, "" end
    QCOMPARE(lines.first(), QString("Thanks for your mail."));
    QCOMPARE(lines.last(), QString());
    QCOMPARE(lines.mid(1, lines.size() - 2).join(""), paragraph);
  }
  QCOMPARE(responder.Rows(), 0);
  QCOMPARE(responder.Main().PanelText(0), QString());
  QCOMPARE(responder.Main().PanelText(1), QString());
  QCOMPARE(responder.Main().MessageCount(), 3);
  QVERIFY(!responder.Main().Disconnect()->isEnabled());
  QVERIFY(QApplication::overrideCursor() == nullptr);
  // Without a sign-in chosen, nothing of one is left beside the settings.
  for (const char* name : {"oauth-tokens.dat", ".replyvane-oauth.lock"}) {
    QVERIFY2(!QFile::exists(Q(responder.Dir().File(name))), name);
  }
}

void ResponseRunTest::ForwardsEachMessagesOwnText_data() {
  QTest::addColumn<QString>("address");
  QTest::newRow("to an address") << "fw@example.com";
  QTest::newRow("empty address sends no RCPT TO") << "";
}

void ResponseRunTest::ForwardsEachMessagesOwnText() {
  QFETCH(QString, address);
  Responder responder;
  std::vector<Incoming> mailbox = Mailbox(2);
  // The second message (fetched first) has a part with a file; nothing of
  // it may reach the response to the first.
  mailbox[1].extra_headers = {"MIME-Version: 1.0",
                              "Content-Type: multipart/mixed; boundary=\"XX\""};
  mailbox[1].body = {"--XX",
                     "Content-Type: text/plain",
                     "",
                     "Text part of 2.",
                     "--XX",
                     "Content-Type: application/octet-stream",
                     "Content-Transfer-Encoding: base64",
                     "Content-Disposition: attachment; filename=\"x.bin\"",
                     "",
                     "AAEC",
                     "--XX--"};
  Script pop_script = Pop3Listing(mailbox);
  Pop3Retrieve(pop_script, 2, mailbox[1]);
  Pop3Delete(pop_script, 2);
  Pop3Retrieve(pop_script, 1, mailbox[0]);
  Pop3Delete(pop_script, 1);
  ScriptedServer pop(Pop3Quit(pop_script));
  std::vector<std::string> forward_to;
  if (!address.isEmpty()) forward_to.push_back(address.toStdString());
  ScriptedServer smtp({SmtpScript({kFrom, {mailbox[1].from}}),
                       SmtpScript({kFrom, forward_to}),
                       SmtpScript({kFrom, {mailbox[0].from}}),
                       SmtpScript({kFrom, forward_to})});
  responder.SetPop3(pop.Port());
  responder.SetSmtp(smtp.Port());
  responder.SetResponse(kFrom, kSubject, "Thanks.");
  responder.SetForward(true, address);
  responder.Check();

  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY2(smtp.Played(), smtp.Report().c_str());
  QCOMPARE(responder.Boxes().Texts(), QStringList({"1", "1"}));
  const std::vector<std::string> bodies = smtp.Bodies();
  QCOMPARE(bodies.size(), size_t(4));
  const std::string forward2 = DotUnstuffed(bodies[1]);
  const std::string response1 = DotUnstuffed(bodies[2]);
  const std::string forward1 = DotUnstuffed(bodies[3]);

  QCOMPARE(HeaderValue(forward1, "Subject"), std::string("subject 1"));
  QCOMPARE(HeaderValue(forward1, "From"), std::string(kFrom));
  QCOMPARE(HeaderValue(forward1, "Reply-To"), std::string(kFrom));
  QCOMPARE(HeaderValue(forward1, "To"), address.toStdString());
  QCOMPARE(BodyText(forward1),
           std::string("From: a1@example.com\r\nBody of 1.\r\n"));
  QCOMPARE(HeaderValue(forward2, "Subject"), std::string("subject 2"));
  // A multipart message is forwarded with its text part and the names of
  // its attachments.
  QCOMPARE(BodyText(forward2),
           std::string("From: a2@example.com\r\nText part of 2.\r\n"
                       "Attachment: x.bin (3 bytes)\r\n"));
  QVERIFY2(forward2.find("Body of 1.") == std::string::npos, forward2.c_str());

  QCOMPARE(HeaderValue(response1, "Subject"), std::string(kSubject));
  QCOMPARE(BodyText(response1), std::string("Thanks.\r\n"));
  QVERIFY2(response1.find("x.bin") == std::string::npos, response1.c_str());
  QVERIFY2(response1.find("multipart") == std::string::npos, response1.c_str());
  QCOMPARE(responder.Rows(), 0);
}

void ResponseRunTest::EveryResponseCarriesTheAttachmentsInOrder() {
  Responder responder;
  const std::string first = responder.Dir().File("notes.txt");
  const std::string second = responder.Dir().File("data.bin");
  std::string binary;
  for (int i = 0; i < 3000; ++i) binary += char(i * 7 % 256);
  WriteFile(first, "alpha\r\n.beta\r\n");
  WriteFile(second, binary);
  const std::vector<Incoming> mailbox = Mailbox(5);
  ScriptedServer pop(AnsweredMailbox(mailbox));
  ScriptedServer smtp(ResponseSessions(mailbox));
  responder.SetPop3(pop.Port());
  responder.SetSmtp(smtp.Port());
  responder.SetResponse(kFrom, kSubject, "See the files.",
                        {Q(first), Q(second)});
  responder.Check();

  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY2(smtp.Played(), smtp.Report().c_str());
  const std::vector<std::string> bodies = smtp.Bodies();
  QCOMPARE(bodies.size(), size_t(5));
  for (const std::string& body : bodies) {
    const std::vector<Attached> parts = Attachments(DotUnstuffed(body));
    QCOMPARE(parts.size(), size_t(2));
    QCOMPARE(parts[0].file_name, std::string("notes.txt"));
    QCOMPARE(parts[0].data, QByteArray("alpha\r\n.beta\r\n"));
    QCOMPARE(parts[1].file_name, std::string("data.bin"));
    QCOMPARE(parts[1].data, QByteArray::fromStdString(binary));
  }
}

void ResponseRunTest::AuthenticationChoice_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("auth_login");
  QTest::newRow("None") << "None" << false;
  QTest::newRow("none, lower case") << "none" << true;
  QTest::newRow("Simple Login") << "Simple Login" << true;
  QTest::newRow("empty") << "" << true;
  QTest::newRow("None with a blank") << "None " << true;
}

void ResponseRunTest::AuthenticationChoice() {
  QFETCH(QString, text);
  QFETCH(bool, auth_login);
  Responder responder;
  const std::vector<Incoming> mailbox = Mailbox(1);
  ScriptedServer pop(AnsweredMailbox(mailbox));
  ScriptedServer smtp(ResponseSessions(mailbox, auth_login));
  responder.SetPop3(pop.Port());
  responder.SetSmtp(smtp.Port(), text);
  responder.SetResponse(kFrom, kSubject, "Thanks.");
  responder.Check();
  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY2(smtp.Played(), smtp.Report().c_str());
  QCOMPARE(responder.Boxes().Texts(), QStringList({"1"}));
}

void ResponseRunTest::SmtpRefusalLeavesRowsAndConnectionUntilClose() {
  Responder responder;
  const std::vector<Incoming> mailbox = Mailbox(2);
  ScriptedServer pop(
      Pop3Listing(mailbox).Expect("RSET").SendLine("+OK").Expect("QUIT"));
  responder.SetPop3(pop.Port());
  responder.SetSmtp(ClosedPort());
  responder.SetResponse(kFrom, kSubject, "Thanks.");
  responder.Check();

  QCOMPARE(responder.Boxes().Seen().size(), size_t(1));
  const SeenBox& box = responder.Boxes().Seen()[0];
  QCOMPARE(box.name, QString("FailureBox"));
  QCOMPARE(box.title, QString("Replyvane"));
  QCOMPARE(box.icon, QMessageBox::Critical);
  QVERIFY2(box.text.startsWith("Socket Error # 10061\r\nConnection refused.\r\n"
                               "SMTP server 127.0.0.1 port ") &&
               box.text.endsWith(": the connection was refused: no server "
                                 "listens on that port."),
           qPrintable(box.text));
  QCOMPARE(responder.Rows(), 2);
  QCOMPARE(responder.Main().PanelText(0), QString("Processing subject 2"));
  QVERIFY(responder.Main().Disconnect()->isEnabled());
  QVERIFY(QApplication::overrideCursor() != nullptr);

  QVERIFY(!QFile::exists(Q(responder.Dir().File("Settings.ini"))));
  QVERIFY(responder.Close());
  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY(QFile::exists(Q(responder.Dir().File("Settings.ini"))));
  QCOMPARE(responder.Rows(), 0);
  QVERIFY(QApplication::overrideCursor() == nullptr);
}

void ResponseRunTest::StaleRowsAreNotAnsweredAgain_data() {
  QTest::addColumn<bool>("refused");
  QTest::newRow("connect refused") << true;
  QTest::newRow("no message waiting") << false;
}

void ResponseRunTest::StaleRowsAreNotAnsweredAgain() {
  QFETCH(bool, refused);
  Responder responder;
  // The first check stops at the SMTP refusal with both rows left; the
  // second one first ends that connection with QUIT.
  std::vector<Script> scripts = {Pop3Listing(Mailbox(2)).Expect("QUIT")};
  if (!refused) scripts.push_back(EmptyMailbox());
  ScriptedServer pop(scripts);
  responder.SetPop3(pop.Port());
  responder.SetSmtp(ClosedPort());
  responder.SetResponse(kFrom, kSubject, "Thanks.");
  responder.Check();
  QCOMPARE(responder.Rows(), 2);
  responder.Boxes().Clear();

  responder.Check();
  QVERIFY2(pop.Played(), pop.Report().c_str());
  // No response went out again: a send would have met the refusing SMTP
  // port and shown a failure box.
  if (refused) {
    QCOMPARE(responder.Boxes().Seen().size(), size_t(1));
    const SeenBox& box = responder.Boxes().Seen()[0];
    QCOMPARE(box.name, QString("ErrorDialog"));
    QCOMPARE(box.title, QString("Error"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    // The specified text, then where and why.
    QCOMPARE(box.text, QString(kConnectFailure) +
                           "\r\n\r\nPOP3 server 127.0.0.1 port " +
                           QString::number(pop.Port()) +
                           ": the connection was refused: no server listens "
                           "on that port");
  } else {
    QVERIFY(responder.Boxes().Seen().empty());
  }
  QCOMPARE(responder.Rows(), 0);
  QCOMPARE(responder.Main().PanelText(1), QString());
  QVERIFY(!responder.Main().Disconnect()->isEnabled());
  QVERIFY(QApplication::overrideCursor() == nullptr);
}

void ResponseRunTest::RefusedRetrieveStopsBeforeForwardAndDeletion() {
  Responder responder;
  const std::vector<Incoming> mailbox = Mailbox(1);
  ScriptedServer pop(Pop3Listing(mailbox)
                         .Expect("RETR 1")
                         .SendLine("-ERR no such message")
                         .Expect("RSET")
                         .SendLine("+OK")
                         .Expect("QUIT"));
  ScriptedServer smtp(ResponseSessions(mailbox));
  responder.SetPop3(pop.Port());
  responder.SetSmtp(smtp.Port());
  responder.SetResponse(kFrom, kSubject, "Thanks.");
  responder.SetForward(true, "fw@example.com");
  responder.Check();

  QVERIFY2(smtp.Played(), smtp.Report().c_str());
  QCOMPARE(responder.Boxes().Texts(),
           QStringList({"Could not retrieve message 1 to forward it: no such "
                        "message."}));
  QCOMPARE(responder.Rows(), 1);
  QVERIFY(responder.Main().Disconnect()->isEnabled());
  QVERIFY(responder.Close());
  QVERIFY2(pop.Played(), pop.Report().c_str());
}

void ResponseRunTest::ClosingTheWindowDuringTheRunEndsIt() {
  Responder responder;
  const std::vector<Incoming> mailbox = Mailbox(3);
  Script pop_script = Pop3Listing(mailbox);
  Pop3Delete(pop_script, 3);
  // The close disconnects without making the deletion final and empties
  // the list; the run then finds its next row gone and ends.
  ScriptedServer pop(pop_script.Expect("RSET").SendLine("+OK").Expect("QUIT"));
  ScriptedServer smtp(SmtpScript({kFrom, {mailbox[2].from}}));
  responder.SetPop3(pop.Port());
  responder.SetSmtp(smtp.Port());
  responder.SetResponse(kFrom, kSubject, "Thanks.");
  app::MainWindow& main = responder.Main();
  responder.Boxes().SetOnBox([&main](const SeenBox&) {
    QMetaObject::invokeMethod(
        &main, [&main] { main.close(); }, Qt::QueuedConnection);
  });
  responder.Check();

  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY2(smtp.Played(), smtp.Report().c_str());
  QCOMPARE(responder.Boxes().Texts(), QStringList({"1"}));
  QCOMPARE(responder.Rows(), 0);
  QVERIFY(QFile::exists(Q(responder.Dir().File("Settings.ini"))));
  QVERIFY(!main.Disconnect()->isEnabled());
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::ResponseRunTest)
#include "response_run_test.moc"
