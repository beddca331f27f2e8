// The OAuth 2.0 log-in through `replyvane --check` against real servers:
// Dovecot with an oauth2 passdb asking the local authorization server
// about each token (POP3 with STARTTLS, IMAP with TLS from the first
// byte), aiosmtpd taking AUTH XOAUTH2. An access token that ran out is
// refreshed before the log-in and the rotated refresh token kept; a
// revoked sign-in sends nothing. Under `--watch` the token is renewed
// between the checks of one session.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "tests/responder/program_run.h"
#include "tests/support/child_process.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/mail_scripts.h"
#include "tests/support/oauth_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/test_certificates.h"

namespace replyvane::testing {
namespace {

class OAuthServersTest : public ProgramWithServersTest {
 protected:
  void SetUp() override {
    ProgramWithServersTest::SetUp();
    if (IsSkipped()) return;
    const std::string missing =
        DovecotServer::MissingImapReason() + TestCertificates::MissingReason();
    if (!missing.empty()) GTEST_SKIP() << missing;
    oauth_.SetUser("testuser");
    ASSERT_TRUE(oauth_.Start());
    SmtpServer::Options smtp_options;
    smtp_options.xoauth2 = true;
    smtp_ = std::make_unique<SmtpServer>(smtp_options);
    ASSERT_TRUE(smtp_->Start());
  }

  // Dovecot asking the authorization server about each token, over TLS.
  std::unique_ptr<DovecotServer> Mailbox(bool imap) {
    DovecotServer::Options options;
    options.imap = imap;
    options.apop = false;
    options.tls = certificates_.Server(CertificateKind::kGood);
    options.oauth2_introspection_url = oauth_.Url("/introspect");
    options.oauth2_ca_file = certificates_.CaFile();
    return DovecotServer::UnderTmp(options);
  }

  // Both servers sign in at the authorization server; the passwords are
  // wrong, so that only the tokens can log in.
  CheckSettings TokenSettings(const DovecotServer& mailbox, bool imap) const {
    CheckSettings settings;
    settings.pop_host = "localhost";
    settings.pop_port = imap ? mailbox.TlsPort() : mailbox.Port();
    settings.pop_user = mailbox.User();
    settings.pop_password = "not the password";
    settings.smtp_port = smtp_->Port();
    settings.smtp_user = smtp_->User();
    settings.smtp_password = "not the password either";
    settings.forward = false;
    const std::string provider =
        "Provider=Other\r\nClientId=ok\r\nTokenEndpoint=" +
        oauth_.Url("/token") + "\r\n";
    settings.extra = std::string("[Encryption]\r\nPop3Mode=") +
                     (imap ? "SSL/TLS" : "STARTTLS") + "\r\n" +
                     "[OAuth Mailbox]\r\n" + provider + "[OAuth SMTP]\r\n" +
                     provider;
    return settings;
  }

  // Whether Dovecot asked about `token`.
  bool Introspected(const std::string& token) const {
    for (const std::string& request : oauth_.Requests()) {
      if (request.find("\"/introspect\"") != std::string::npos &&
          request.find("\"token\": \"" + token + "\"") != std::string::npos) {
        return true;
      }
    }
    return false;
  }

  TestCertificates certificates_;
  TrustScope trust_{certificates_.CaFile()};
  OAuthServer oauth_{certificates_};
  std::unique_ptr<SmtpServer> smtp_;
};

// Replaced whole, as the program replaces it, so that a run reading it
// never sees half of it.
void WriteTokens(const TempDir& dir, const std::string& text) {
  WriteFile(dir.File("oauth-tokens.new"), text);
  std::filesystem::rename(dir.File("oauth-tokens.new"),
                          dir.File("oauth-tokens.dat"));
}

constexpr char kSmtpSignIn[] = "smtp testuser\tr7\ta7\t99999999999\n";

TEST_F(OAuthServersTest, MailboxAndSmtpLogInWithTokens) {
  size_t sent = 0;
  for (const bool imap : {false, true}) {
    SCOPED_TRACE(imap ? "IMAP" : "POP3");
    std::unique_ptr<DovecotServer> mailbox = Mailbox(imap);
    ASSERT_TRUE(mailbox->Start());
    TempDir dir("oauth-servers");
    CheckSettings settings = TokenSettings(*mailbox, imap);
    if (imap)
      settings.extra += "[Mailbox]\r\nKind=IMAP\r\nAnswerExisting=1\r\n";
    WriteSettings(dir.Path(), settings);
    // The mailbox's access token ran out: refreshed before the log-in.
    WriteTokens(dir,
                std::string("mailbox testuser\tr1\ta1\t100\n") + kSmtpSignIn);
    mailbox->AddMessage(Message("ann@example.com", "by token"));
    RunResult run = RunProgram(dir, "--check --settings " + dir.Path(), 120);
    ASSERT_EQ(run.status, 0) << run.err << mailbox->Log();
    ASSERT_TRUE(smtp_->WaitForMessages(++sent)) << run.err;
    EXPECT_EQ(smtp_->Messages().back().rcpt_tos.at(0), "ann@example.com");
    EXPECT_EQ(smtp_->Messages().back().login, "testuser");
    EXPECT_TRUE(ReadFile(dir.File("oauth-tokens.dat"))
                    .starts_with("mailbox testuser\tr2\ta2\t"))
        << ReadFile(dir.File("oauth-tokens.dat"));
    EXPECT_TRUE(Introspected("a2"));

    // Revoked: the check ends before the mailbox is read; nothing is sent.
    mailbox->AddMessage(Message("bob@example.com", "revoked"));
    WriteTokens(dir,
                std::string("mailbox testuser\trevoked\t\t0\n") + kSmtpSignIn);
    run = RunProgram(dir, "--check --settings " + dir.Path(), 120);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Sign in again to the provider"), std::string::npos)
        << run.err;
    EXPECT_EQ(smtp_->MessageCount(), sent);
  }
}

// A session of checks: the access token runs out between two deliveries
// and is renewed for the next check (the rotated refresh token kept); a
// sign-in revoked meanwhile sends nothing while it lasts, and a new
// sign-in, kept as the window keeps it, is taken up without a restart.
TEST_F(OAuthServersTest, AWatchRenewsTheTokenBetweenChecks) {
  std::unique_ptr<DovecotServer> mailbox = Mailbox(true);
  ASSERT_TRUE(mailbox->Start());
  TempDir dir("oauth-watch");
  // "s1": access tokens good for two seconds past the one-minute margin.
  WriteTokens(dir, std::string("mailbox testuser\ts1\t\t0\n") + kSmtpSignIn);
  ChildProcess watch;
  ASSERT_NO_FATAL_FAILURE(
      StartWatching(watch, dir, TokenSettings(*mailbox, true)));
  const std::string log = dir.File("watch.log");
  const auto tokens = [&] { return ReadFile(dir.File("oauth-tokens.dat")); };

  mailbox->AddMessage(Message("ann@example.com", "first"));
  ASSERT_TRUE(smtp_->WaitForMessages(1, std::chrono::seconds(20)))
      << ReadFile(log);
  std::this_thread::sleep_for(std::chrono::seconds(3));  // it ran out
  const std::string before = tokens();
  mailbox->AddMessage(Message("bob@example.com", "second"));
  ASSERT_TRUE(smtp_->WaitForMessages(2, std::chrono::seconds(20)))
      << ReadFile(log);
  EXPECT_EQ(smtp_->Messages().back().rcpt_tos.at(0), "bob@example.com");
  const std::string after = tokens();
  EXPECT_TRUE(after.starts_with("mailbox testuser\ts")) << after;
  EXPECT_NE(after, before);
  // The second check logged in with a renewed access token.
  EXPECT_TRUE(Introspected("a3")) << after;

  // Revoked while it waits (let it settle into its wait first).
  std::this_thread::sleep_for(std::chrono::seconds(1));
  WriteTokens(dir,
              std::string("mailbox testuser\trevoked\t\t0\n") + kSmtpSignIn);
  mailbox->AddMessage(Message("cy@example.com", "third"));
  const auto refused = [&] {
    return ReadFile(log).find("Sign in again to the provider") !=
           std::string::npos;
  };
  for (int i = 0; i < 200 && !refused(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(refused()) << ReadFile(log);
  EXPECT_EQ(smtp_->MessageCount(), 2u);

  // Signed in again: the next attempt answers the waiting message, once.
  WriteTokens(dir, std::string("mailbox testuser\tr20\t\t0\n") + kSmtpSignIn);
  ASSERT_TRUE(smtp_->WaitForMessages(3, std::chrono::seconds(30)))
      << ReadFile(log);
  EXPECT_EQ(smtp_->Messages().back().rcpt_tos.at(0), "cy@example.com");
  EXPECT_TRUE(Introspected("a21"));
  watch.Stop(std::chrono::milliseconds(10000));
  EXPECT_TRUE(WIFEXITED(watch.ExitStatus()) &&
              WEXITSTATUS(watch.ExitStatus()) == 0)
      << ReadFile(log);
  EXPECT_EQ(smtp_->MessageCount(), 3u);
  EXPECT_EQ(ReadFile(log).find("r20"), std::string::npos);
}

}  // namespace
}  // namespace replyvane::testing
