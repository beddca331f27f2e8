// The OAuth 2.0 log-in through `replyvane --check` against real servers:
// Dovecot with an oauth2 passdb asking the local authorization server
// about each token (POP3 with STARTTLS, IMAP with TLS from the first
// byte), aiosmtpd taking AUTH XOAUTH2. An access token that ran out is
// refreshed before the log-in and the rotated refresh token kept; a
// revoked sign-in sends nothing.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/responder/program_run.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/mail_scripts.h"
#include "tests/support/oauth_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/test_certificates.h"

namespace replyvane::testing {
namespace {

class OAuthServersTest : public ProgramWithServersTest {};

TEST_F(OAuthServersTest, MailboxAndSmtpLogInWithTokens) {
  const std::string missing =
      DovecotServer::MissingImapReason() + TestCertificates::MissingReason();
  if (!missing.empty()) GTEST_SKIP() << missing;
  TestCertificates certificates;
  TrustScope trust(certificates.CaFile());
  OAuthServer oauth(certificates);
  oauth.SetUser("testuser");
  ASSERT_TRUE(oauth.Start());
  SmtpServer::Options smtp_options;
  smtp_options.xoauth2 = true;
  SmtpServer smtp(smtp_options);
  ASSERT_TRUE(smtp.Start());

  size_t sent = 0;
  for (const bool imap : {false, true}) {
    SCOPED_TRACE(imap ? "IMAP" : "POP3");
    DovecotServer::Options options;
    options.imap = imap;
    options.apop = false;
    options.tls = certificates.Server(CertificateKind::kGood);
    options.oauth2_introspection_url = oauth.Url("/introspect");
    options.oauth2_ca_file = certificates.CaFile();
    std::unique_ptr<DovecotServer> mailbox = DovecotServer::UnderTmp(options);
    ASSERT_TRUE(mailbox->Start());
    TempDir dir("oauth-servers");
    CheckSettings settings;
    settings.pop_host = "localhost";
    settings.pop_port = imap ? mailbox->TlsPort() : mailbox->Port();
    settings.pop_user = mailbox->User();
    settings.pop_password = "not the password";
    settings.smtp_port = smtp.Port();
    settings.smtp_user = smtp.User();
    settings.smtp_password = "not the password either";
    settings.forward = false;
    const std::string provider =
        "Provider=Other\r\nClientId=ok\r\nTokenEndpoint=" +
        oauth.Url("/token") + "\r\n";
    settings.extra =
        std::string("[Encryption]\r\nPop3Mode=") +
        (imap ? "SSL/TLS" : "STARTTLS") + "\r\n" +
        (imap ? "[Mailbox]\r\nKind=IMAP\r\nAnswerExisting=1\r\n" : "") +
        "[OAuth Mailbox]\r\n" + provider + "[OAuth SMTP]\r\n" + provider;
    WriteSettings(dir.Path(), settings);
    // The mailbox's access token ran out: refreshed before the log-in.
    WriteFile(dir.File("oauth-tokens.dat"),
              "mailbox testuser\tr1\ta1\t100\n"
              "smtp testuser\tr7\ta7\t99999999999\n");
    mailbox->AddMessage(Message("ann@example.com", "by token"));
    RunResult run = RunProgram(dir, "--check --settings " + dir.Path(), 120);
    ASSERT_EQ(run.status, 0) << run.err << mailbox->Log();
    ASSERT_TRUE(smtp.WaitForMessages(++sent)) << run.err;
    EXPECT_EQ(smtp.Messages().back().rcpt_tos.at(0), "ann@example.com");
    EXPECT_EQ(smtp.Messages().back().login, "testuser");
    EXPECT_TRUE(ReadFile(dir.File("oauth-tokens.dat"))
                    .starts_with("mailbox testuser\tr2\ta2\t"))
        << ReadFile(dir.File("oauth-tokens.dat"));
    // Dovecot asked the authorization server about the fresh token.
    bool asked = false;
    for (const std::string& request : oauth.Requests()) {
      asked = asked || (request.find("\"/introspect\"") != std::string::npos &&
                        request.find("\"token\": \"a2\"") != std::string::npos);
    }
    EXPECT_TRUE(asked);

    // Revoked: the check ends before the mailbox is read; nothing is sent.
    mailbox->AddMessage(Message("bob@example.com", "revoked"));
    WriteFile(dir.File("oauth-tokens.dat"),
              "mailbox testuser\trevoked\t\t0\n"
              "smtp testuser\tr7\ta7\t99999999999\n");
    run = RunProgram(dir, "--check --settings " + dir.Path(), 120);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Sign in again to the provider"), std::string::npos)
        << run.err;
    EXPECT_EQ(smtp.MessageCount(), sent);
  }
}

}  // namespace
}  // namespace replyvane::testing
