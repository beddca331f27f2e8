// The whole job against real servers on 127.0.0.1: a private Dovecot POP3
// server holding the waiting messages and the aiosmtpd SMTP server keeping
// what it receives. Skipped when either program is not installed.
#include <QtTest>
#include <string>
#include <vector>

#include "tests/app/mail_scripts.h"
#include "tests/app/responder_harness.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"

namespace replyvane::testing {
namespace {

const char kFrom[] = "me@example.com";
const char kForward[] = "fw@example.com";

struct Sample {
  std::string from;
  std::string subject;
  std::string body;  // CR LF lines, last one ended
};

std::string MessageText(const Sample& sample) {
  return "From: " + sample.from +
         "\r\nTo: me@example.com\r\nSubject: " + sample.subject +
         "\r\nDate: Tue, 01 Dec 2026 12:00:00 +0000\r\n\r\n" + sample.body;
}

// Empty when both servers can run here; else why not.
QString MissingServers() {
  const std::string reason =
      DovecotServer::MissingReason() + SmtpServer::MissingReason();
  return QString::fromStdString(reason);
}

}  // namespace

class RealServersTest : public QObject {
  Q_OBJECT

 private slots:
  void AnswersForwardsAndEmptiesTheMailbox();
  void EmptyMailboxSendsNothing();
};

void RealServersTest::AnswersForwardsAndEmptiesTheMailbox() {
  if (!MissingServers().isEmpty()) QSKIP(qPrintable(MissingServers()));
  DovecotServer pop;
  SmtpServer smtp;
  const std::vector<Sample> samples = {
      {"ann@example.com", "first question", "Line one.\r\n.dot line\r\n"},
      {"bob@example.com", "second question", "Only line.\r\n"},
      {"cat@example.com", "third question", "A.\r\n\r\nB.\r\n"}};
  for (const Sample& sample : samples) pop.AddMessage(MessageText(sample));
  QVERIFY(pop.Start());
  QVERIFY(smtp.Start());

  Responder responder;
  const std::string notes = responder.Dir().File("notes.txt");
  const std::string data = responder.Dir().File("data.bin");
  std::string binary;
  for (int i = 0; i < 70000; ++i) binary += char((i * 31 + i / 256) % 256);
  WriteFile(notes, "notes\r\n");
  WriteFile(data, binary);
  responder.SetPop3(pop.Port(), Q(pop.User()), Q(pop.Password()));
  responder.SetSmtp(smtp.Port(), "Simple Login", Q(smtp.User()),
                    Q(smtp.Password()));
  responder.SetResponse(kFrom, "Thank you", "Thanks for your mail.\nBye.",
                        {Q(notes), Q(data)});
  responder.SetForward(true, kForward);
  responder.Check();

  QCOMPARE(responder.Boxes().Texts(), QStringList({"1", "1", "1"}));
  QCOMPARE(responder.Rows(), 0);
  // Dovecot expunges after the QUIT, whose reply the client does not read.
  QVERIFY(WaitFor([&] { return pop.MessageCount() == 0; }, 10000));
  const std::vector<SmtpServer::Message> sent = smtp.Messages();
  QCOMPARE(sent.size(), size_t(6));
  for (size_t k = 0; k < 3; ++k) {
    const Sample& sample = samples[2 - k];
    const SmtpServer::Message& response = sent[2 * k];
    const SmtpServer::Message& forward = sent[2 * k + 1];

    QCOMPARE(response.mail_from, std::string(kFrom));
    QCOMPARE(response.rcpt_tos, std::vector<std::string>{sample.from});
    QCOMPARE(response.login.value_or(""), smtp.User());
    QCOMPARE(HeaderValue(response.data, "From"), std::string(kFrom));
    QCOMPARE(HeaderValue(response.data, "Reply-To"), std::string(kFrom));
    QCOMPARE(HeaderValue(response.data, "To"), sample.from);
    QCOMPARE(HeaderValue(response.data, "Subject"), std::string("Thank you"));
    QVERIFY2(response.data.find("\r\nThanks for your mail.\r\nBye.\r\n") !=
                 std::string::npos,
             response.data.c_str());
    const std::vector<Attached> parts = Attachments(response.data);
    QCOMPARE(parts.size(), size_t(2));
    QCOMPARE(parts[0].file_name, std::string("notes.txt"));
    QCOMPARE(parts[0].data, QByteArray("notes\r\n"));
    QCOMPARE(parts[1].file_name, std::string("data.bin"));
    QVERIFY(parts[1].data == QByteArray::fromStdString(binary));

    QCOMPARE(forward.mail_from, std::string(kFrom));
    QCOMPARE(forward.rcpt_tos, std::vector<std::string>{kForward});
    QCOMPARE(HeaderValue(forward.data, "To"), std::string(kForward));
    QCOMPARE(HeaderValue(forward.data, "From"), std::string(kFrom));
    QCOMPARE(HeaderValue(forward.data, "Subject"), sample.subject);
    QCOMPARE(BodyText(forward.data),
             "From: " + sample.from + "\r\n" + sample.body);
  }
}

void RealServersTest::EmptyMailboxSendsNothing() {
  if (!MissingServers().isEmpty()) QSKIP(qPrintable(MissingServers()));
  DovecotServer pop;
  SmtpServer smtp;
  QVERIFY(pop.Start());
  QVERIFY(smtp.Start());
  Responder responder;
  responder.SetPop3(pop.Port(), Q(pop.User()), Q(pop.Password()));
  responder.SetSmtp(smtp.Port());
  responder.SetResponse(kFrom, "Thank you", "Thanks.");
  responder.SetForward(true, kForward);
  responder.Check();
  QVERIFY(responder.Boxes().Seen().empty());
  QCOMPARE(responder.Main().PanelText(1), QString());
  QCOMPARE(smtp.MessageCount(), size_t(0));
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::RealServersTest)
#include "real_servers_test.moc"
