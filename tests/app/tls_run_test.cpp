// The whole job over TLS against the real servers: Dovecot with
// ssl = required and aiosmtpd, once with STLS/STARTTLS and once with TLS
// from the first byte, answering with attachments, forwarding and deleting;
// then the refusals, each leaving the mailbox as it was and sending
// nothing, with the reason in the box the user sees.
#include <QComboBox>
#include <QtTest>
#include <optional>
#include <string>
#include <vector>

#include "app/settings_window.h"
#include "tests/app/mail_scripts.h"
#include "tests/app/responder_harness.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/test_certificates.h"

namespace replyvane::testing {
namespace {

const char kFrom[] = "me@example.com";
const char kForward[] = "fw@example.com";

std::string Question(const std::string& from, const std::string& subject) {
  return "From: " + from + "\r\nTo: me@example.com\r\nSubject: " + subject +
         "\r\nDate: Tue, 01 Dec 2026 12:00:00 +0000\r\n\r\nQuestion.\r\n";
}

QString Missing() {
  return QString::fromStdString(DovecotServer::MissingReason() +
                                SmtpServer::MissingReason() +
                                TestCertificates::MissingReason());
}

DovecotServer::Options PopTls(const TestCertificates& certificates,
                              std::optional<CertificateKind> kind) {
  DovecotServer::Options options;
  options.apop = false;
  if (kind) options.tls = certificates.Server(*kind);
  return options;
}

SmtpServer::Options SmtpTls(const TestCertificates& certificates,
                            std::optional<CertificateKind> kind) {
  SmtpServer::Options options;
  options.auth_required = true;
  if (kind) options.tls = certificates.Server(*kind);
  return options;
}

}  // namespace

class TlsRunTest : public QObject {
  Q_OBJECT

 private slots:
  void AnswersForwardsAndDeletesInEachMode();
  void RefusedEncryptionKeepsTheMailboxAndSendsNothing();
};

void TlsRunTest::AnswersForwardsAndDeletesInEachMode() {
  if (!Missing().isEmpty()) QSKIP(qPrintable(Missing()));
  TestCertificates certificates;
  TrustScope trust(certificates.CaFile());
  auto pop =
      DovecotServer::UnderTmp(PopTls(certificates, CertificateKind::kGood));
  SmtpServer smtp(SmtpTls(certificates, CertificateKind::kGood));
  QVERIFY(pop->Start());
  QVERIFY(smtp.Start());

  Responder responder;
  const std::string data = responder.Dir().File("data.bin");
  std::string binary;
  for (int i = 0; i < 70000; ++i) binary += char((i * 7 + i / 251) % 256);
  WriteFile(data, binary);
  responder.SetResponse(kFrom, "Thank you", "Thanks.", {Q(data)});
  responder.SetForward(true, kForward);
  size_t sent_before = 0;
  for (int mode : {1, 2}) {
    const bool starttls = mode == 1;
    pop->AddMessage(Question("ann@example.com", "first"));
    pop->AddMessage(Question("bob@example.com", "second"));
    responder.SetPop3(starttls ? pop->Port() : pop->TlsPort(), Q(pop->User()),
                      Q(pop->Password()));
    responder.SetSmtp(starttls ? smtp.Port() : smtp.TlsPort(), "Simple Login",
                      Q(smtp.User()), Q(smtp.Password()));
    // Host names for POP3, an address for SMTP: both are checked.
    responder.Form1().Edit1()->setText("localhost");
    responder.Form1().Pop3Mode()->setCurrentIndex(mode);
    responder.Form1().SmtpMode()->setCurrentIndex(mode);
    responder.Check();

    QCOMPARE(responder.Boxes().Texts().join("|"), QString("1|1"));
    responder.Boxes().Clear();
    QVERIFY(WaitFor([&] { return pop->MessageCount() == 0; }, 10000));
    const std::vector<SmtpServer::Message> sent = smtp.Messages();
    QCOMPARE(sent.size(), sent_before + 4);
    for (size_t k = sent_before; k < sent.size(); ++k) {
      QCOMPARE(sent[k].login.value_or(""), smtp.User());
      if ((k - sent_before) % 2 == 0) {
        const std::vector<Attached> parts = Attachments(sent[k].data);
        QCOMPARE(parts.size(), size_t(1));
        QVERIFY(parts[0].data == QByteArray::fromStdString(binary));
      } else {
        QCOMPARE(sent[k].rcpt_tos, std::vector<std::string>{kForward});
      }
    }
    sent_before = sent.size();
  }
}

void TlsRunTest::RefusedEncryptionKeepsTheMailboxAndSendsNothing() {
  if (!Missing().isEmpty()) QSKIP(qPrintable(Missing()));
  TestCertificates certificates;
  TrustScope trust(certificates.CaFile());
  struct Row {
    const char* name;
    std::optional<CertificateKind> pop_kind;
    std::optional<CertificateKind> smtp_kind;
    QString box;
    QString reason;
  } rows[] = {
      {"untrusted POP3 server", CertificateKind::kSelfSigned,
       CertificateKind::kGood, "ErrorDialog",
       "Certificate of localhost is not trusted: self-signed certificate"},
      {"SMTP server without STARTTLS", CertificateKind::kGood, std::nullopt,
       "FailureBox", "The SMTP server 127.0.0.1 does not offer STARTTLS."},
  };
  for (const Row& row : rows) {
    auto pop = DovecotServer::UnderTmp(PopTls(certificates, row.pop_kind));
    SmtpServer smtp(SmtpTls(certificates, row.smtp_kind));
    pop->AddMessage(Question("ann@example.com", "kept"));
    QVERIFY(pop->Start());
    QVERIFY(smtp.Start());
    Responder responder;
    responder.SetPop3(pop->Port(), Q(pop->User()), Q(pop->Password()));
    responder.SetSmtp(smtp.Port(), "Simple Login", Q(smtp.User()),
                      Q(smtp.Password()));
    responder.Form1().Edit1()->setText("localhost");
    responder.Form1().Pop3Mode()->setCurrentIndex(1);
    responder.Form1().SmtpMode()->setCurrentIndex(1);
    responder.SetResponse(kFrom, "Thank you", "Thanks.");
    responder.Check();
    QVERIFY2(!responder.Boxes().Seen().empty(), row.name);
    const SeenBox& box = responder.Boxes().Seen().front();
    QCOMPARE(box.name, row.box);
    QVERIFY2(box.text.contains(row.reason), qPrintable(box.text));
    QCOMPARE(pop->MessageCount(), 1);
    QCOMPARE(smtp.MessageCount(), size_t(0));
  }
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::TlsRunTest)
#include "tls_run_test.moc"
