// The POP3 and SMTP clients over TLS against the real servers: Dovecot with
// ssl = required (STLS on one port, TLS from the first byte on another) and
// aiosmtpd with STARTTLS and with TLS from the first byte. Every mode
// carries a whole dialogue; every refusal ends the connect with the
// messages kept and nothing sent.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "mail/pop3.h"
#include "mail/smtp.h"
#include "message/message.h"
#include "tests/mail/outcome.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/start_or_skip.h"
#include "tests/support/test_certificates.h"

namespace replyvane::mail {
namespace {

using net::TLSMode;
using testing::CertificateKind;
using testing::CertificateSuite;
using testing::DovecotServer;
using testing::SmtpServer;
using testing::TestCertificates;
using testing::TrustScope;
using Lines = std::vector<std::string>;

class TlsIntegrationTest : public CertificateSuite {
 protected:
  static DovecotServer::Options PopOptions(
      std::optional<CertificateKind> kind) {
    DovecotServer::Options options;
    options.apop = false;
    if (kind) options.tls = certificates_->Server(*kind);
    return options;
  }
  static SmtpServer::Options SmtpOptions(std::optional<CertificateKind> kind) {
    SmtpServer::Options options;
    options.auth_required = true;
    if (kind) options.tls = certificates_->Server(*kind);
    return options;
  }

  static std::unique_ptr<POP3> PopClient(const DovecotServer& server,
                                         TLSMode mode,
                                         const std::string& pin = "") {
    auto client = std::make_unique<POP3>();
    client->SetHost("localhost");
    client->SetPort(mode == TLSMode::kImplicit ? server.TlsPort()
                                               : server.Port());
    client->SetTLSMode(mode);
    client->SetTLSFingerprint(pin);
    client->SetUsername(server.User());
    client->SetPassword(server.Password());
    client->SetReadTimeout(10000);
    return client;
  }
  static std::unique_ptr<SMTP> SmtpClient(const SmtpServer& server,
                                          TLSMode mode) {
    auto client = std::make_unique<SMTP>();
    client->SetHost("127.0.0.1");
    client->SetPort(mode == TLSMode::kImplicit ? server.TlsPort()
                                               : server.Port());
    client->SetTLSMode(mode);
    client->SetUsername(server.User());
    client->SetPassword(server.Password());
    client->SetAuthenticationType(AuthenticationType::atLogin);
    client->SetReadTimeout(10000);
    return client;
  }

  static void Compose(message::Message& msg, const std::string& subject) {
    msg.From().SetText("Me <me@example.org>");
    msg.Recipients().SetAddressesText("to@example.org");
    msg.SetSubject(subject);
    msg.SetBody({"Hello,", ".dot", "end"});
  }
};

TEST_F(TlsIntegrationTest, Pop3ReadsAndDeletesWithStlsAndFromTheFirstByte) {
  auto pop = DovecotServer::UnderTmp(PopOptions(CertificateKind::kGood));
  DovecotServer& server = *pop;
  server.AddMessage("Subject: one\r\n\r\nfirst\r\n");
  server.AddMessage("Subject: two\r\n\r\nsecond\r\n");
  REPLYVANE_START_OR_SKIP(server);

  int expected = 2;
  for (TLSMode mode : {TLSMode::kStartTLS, TLSMode::kImplicit}) {
    SCOPED_TRACE(mode == TLSMode::kStartTLS ? "STLS" : "from the first byte");
    auto client = PopClient(server, mode);
    client->ConnectToHost();
    EXPECT_TRUE(client->TLSActive());
    ASSERT_EQ(client->GetMessageCount(), expected);
    message::Message msg;
    ASSERT_TRUE(client->FetchMessage(1, msg));
    EXPECT_EQ(msg.Body(), Lines{expected == 2 ? "first" : "second"});
    EXPECT_TRUE(client->DeleteMessage(1));
    client->CloseConnection();
    --expected;
    // QUIT's reply is not read; Dovecot expunges a moment later.
    for (int i = 0; i < 500 && server.MessageCount() != expected; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(server.MessageCount(), expected);
  }
}

TEST_F(TlsIntegrationTest, SmtpLogsInAndSendsWithStartTlsAndFromTheFirstByte) {
  SmtpServer server(SmtpOptions(CertificateKind::kGood));
  REPLYVANE_START_OR_SKIP(server);
  for (TLSMode mode : {TLSMode::kStartTLS, TLSMode::kImplicit}) {
    SCOPED_TRACE(mode == TLSMode::kStartTLS ? "STARTTLS" : "first byte");
    auto client = SmtpClient(server, mode);
    client->ConnectToHost();
    EXPECT_TRUE(client->TLSActive());
    // Under STARTTLS, AUTH is announced only once encrypted: the
    // capabilities were read again.
    EXPECT_EQ(client->SupportedAuthSchemes(), (Lines{"LOGIN", "PLAIN"}));
    message::Message msg;
    Compose(msg, "over TLS");
    client->SendMessage(msg);
    client->CloseConnection();
  }
  ASSERT_TRUE(server.WaitForMessages(2));
  for (const SmtpServer::Message& got : server.Messages()) {
    EXPECT_EQ(got.login, server.User());
    EXPECT_NE(got.data.find("Subject: over TLS\r\n"), std::string::npos);
  }
}

TEST_F(TlsIntegrationTest, RefusalsEndTheConnectAndKeepEveryMessage) {
  const std::string self_signed =
      certificates_->Fingerprint(CertificateKind::kSelfSigned);
  struct Row {
    const char* name;
    std::optional<CertificateKind> kind;
    TLSMode mode;
    std::string pin;
    std::string outcome;
  } pop_rows[] = {
      {"untrusted", CertificateKind::kSelfSigned, TLSMode::kImplicit, "",
       "error: Certificate of localhost is not trusted: self-signed "
       "certificate\\r\\nSHA-256 fingerprint: " +
           self_signed},
      {"expired after STLS", CertificateKind::kExpired, TLSMode::kStartTLS, "",
       "error: Certificate of localhost is not trusted: certificate has "
       "expired\\r\\nSHA-256 fingerprint: " +
           certificates_->Fingerprint(CertificateKind::kExpired)},
      {"wrong name", CertificateKind::kWrongName, TLSMode::kImplicit, "",
       "error: Certificate of localhost does not match the host name "
       "localhost: it is for wrong.invalid\\r\\nSHA-256 fingerprint: " +
           certificates_->Fingerprint(CertificateKind::kWrongName)},
      {"pin mismatch", CertificateKind::kGood, TLSMode::kStartTLS, self_signed,
       "error: Certificate of localhost is not the trusted certificate " +
           self_signed + ".\\r\\nSHA-256 fingerprint: " +
           certificates_->Fingerprint(CertificateKind::kGood)},
      {"no STLS offered", std::nullopt, TLSMode::kStartTLS, "",
       "error: The POP3 server localhost does not offer STLS: "},
      {"pin matches", CertificateKind::kSelfSigned, TLSMode::kImplicit,
       self_signed, ""},
  };
  for (const Row& row : pop_rows) {
    SCOPED_TRACE(row.name);
    auto pop = DovecotServer::UnderTmp(PopOptions(row.kind));
    DovecotServer& server = *pop;
    server.AddMessage("Subject: kept\r\n\r\nkept\r\n");
    REPLYVANE_START_OR_SKIP(server);
    auto client = PopClient(server, row.mode, row.pin);
    std::string outcome = Outcome([&] {
      client->ConnectToHost();
      client->DeleteMessage(1);
      client->ResetMailbox();
      client->CloseConnection();
    });
    if (row.kind) {
      EXPECT_EQ(outcome, row.outcome);
    } else {
      EXPECT_EQ(outcome.substr(0, row.outcome.size()), row.outcome);
    }
    EXPECT_FALSE(client->IsConnected());
    EXPECT_EQ(server.MessageCount(), 1);
    // Nothing in the clear after a refusal: Dovecot saw no log-in.
    EXPECT_EQ(server.Log().find("Login:"), row.outcome.empty()
                                               ? server.Log().find("Login:")
                                               : std::string::npos);
  }

  struct SmtpRow {
    const char* name;
    std::optional<CertificateKind> kind;
    TLSMode mode;
    std::string outcome;
  } smtp_rows[] = {
      {"no STARTTLS offered", std::nullopt, TLSMode::kStartTLS,
       "error: The SMTP server 127.0.0.1 does not offer STARTTLS."},
      {"wrong address", CertificateKind::kWrongName, TLSMode::kImplicit,
       "error: Certificate of 127.0.0.1 does not match the host name "
       "127.0.0.1: it is for wrong.invalid\\r\\nSHA-256 fingerprint: " +
           certificates_->Fingerprint(CertificateKind::kWrongName)},
      {"untrusted after STARTTLS", CertificateKind::kSelfSigned,
       TLSMode::kStartTLS,
       "error: Certificate of 127.0.0.1 is not trusted: self-signed "
       "certificate\\r\\nSHA-256 fingerprint: " +
           self_signed},
  };
  for (const SmtpRow& row : smtp_rows) {
    SCOPED_TRACE(row.name);
    SmtpServer server(SmtpOptions(row.kind));
    REPLYVANE_START_OR_SKIP(server);
    auto client = SmtpClient(server, row.mode);
    message::Message msg;
    Compose(msg, "never");
    EXPECT_EQ(Outcome([&] {
                client->ConnectToHost();
                client->SendMessage(msg);
              }),
              row.outcome);
    EXPECT_FALSE(client->IsConnected());
    EXPECT_EQ(server.MessageCount(), 0u);
  }
}

}  // namespace
}  // namespace replyvane::mail
