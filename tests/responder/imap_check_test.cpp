// `replyvane --check` with an IMAP mailbox on Dovecot and aiosmtpd: the
// folder's history is never answered, a new message is answered once and
// then kept, marked read, moved or deleted as the settings say (seen in the
// Maildir), and "answer existing" answers the unseen messages found at the
// first look.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/responder/imap_program_test.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"

namespace replyvane::testing {
namespace {

class ImapCheckTest : public ImapProgramTest {
 protected:
  void SetUp() override {
    ImapProgramTest::SetUp();
    if (IsSkipped()) return;
    StartServers({Message("old1@example.com", "old one"),
                  Message("old2@example.com", "old two")});
  }

  void Configure(const std::string& mailbox) {
    CheckSettings settings = SettingsFor(mailbox);
    settings.forward = false;
    WriteSettings(dir_.Path(), settings);
  }

  RunResult Check() { return ImapProgramTest::Check(dir_); }

  TempDir dir_{"imap-check"};
};

TEST_F(ImapCheckTest, HistoryIsNeverAnsweredAndANewMessageIsKeptUnread) {
  // Fifty messages in the folder before the first look, none of them seen.
  for (int i = 3; i <= 50; ++i) {
    imap_->AddMessage(Message("old" + std::to_string(i) + "@example.com",
                              "old " + std::to_string(i)));
  }
  Configure("");
  RunResult run = Check();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(smtp_.MessageCount(), 0u);

  imap_->AddMessage(Message("ann@example.com", "new one"));
  run = Check();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\tanswered\tann@example.com\tnew one\n"),
            std::string::npos)
      << run.out;
  ASSERT_TRUE(smtp_.WaitForMessages(1));
  EXPECT_EQ(smtp_.Messages()[0].rcpt_tos,
            std::vector<std::string>{"ann@example.com"});
  const std::vector<std::string> files = MessageFiles(imap_->MaildirPath());
  ASSERT_EQ(files.size(), 51u);
  for (const std::string& name : files) EXPECT_FALSE(Seen(name)) << name;

  run = Check();  // nothing new: nothing answered again
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(smtp_.MessageCount(), 1u);
}

TEST_F(ImapCheckTest, EachAfterAnsweringChoiceActsOnTheAnsweredMessageOnly) {
  struct Row {
    const char* mailbox;
    const char* done;  // on the output line after "answered"
  } rows[] = {
      {"AfterAnswering=read\r\n", ", marked read"},
      // A name beyond ASCII: modified UTF-7 on the wire.
      {"AfterAnswering=move\r\nMoveFolder=R\xC3\xA9ponses\r\n",
       ", moved to R\xC3\xA9ponses"},
      {"AfterAnswering=delete\r\n", ", deleted"},
  };
  Configure("");
  ASSERT_EQ(Check().status, 0);  // the first look
  size_t sent = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mailbox);
    Configure(row.mailbox);
    imap_->AddMessage(Message("ann@example.com", row.mailbox));
    const RunResult run = Check();
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(std::string("\tanswered") + row.done + "\t"),
              std::string::npos)
        << run.out;
    ASSERT_TRUE(smtp_.WaitForMessages(++sent));
  }
  // In the inbox: the two old messages, unread, and the one marked read.
  std::vector<std::string> inbox = MessageFiles(imap_->MaildirPath());
  ASSERT_EQ(inbox.size(), 3u);
  int seen = 0;
  for (const std::string& name : inbox) seen += Seen(name) ? 1 : 0;
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(MessageFiles(imap_->MaildirPath() + "/.R&AOk-ponses").size(), 1u);
}

TEST_F(ImapCheckTest, AnswerExistingAnswersTheUnseenAtTheFirstLook) {
  Configure("AnswerExisting=1\r\n");
  const RunResult run = Check();
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(smtp_.WaitForMessages(2));
  EXPECT_NE(run.out.find("old one"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("old two"), std::string::npos) << run.out;
  EXPECT_EQ(Check().out, "");
}

// IMAP over STARTTLS (the server refuses LOGIN before it) and over TLS
// from the first byte, by host name, verified; a certificate for another
// name stops the check before the log-in and sends nothing.
TEST(ImapTlsCheckTest, EncryptedModesAnswerAndAWrongCertificateStopsAll) {
  const std::string missing = MissingForRealServers() +
                              DovecotServer::MissingImapReason() +
                              TestCertificates::MissingReason();
  if (!missing.empty()) GTEST_SKIP() << missing;
  TestCertificates certificates;
  TrustScope trust(certificates.CaFile());
  SmtpServer smtp;
  ASSERT_TRUE(smtp.Start());
  struct Row {
    CertificateKind kind;
    const char* mode;
    bool answered;
  } rows[] = {{CertificateKind::kGood, "STARTTLS", true},
              {CertificateKind::kGood, "SSL/TLS", true},
              {CertificateKind::kWrongName, "SSL/TLS", false}};
  size_t sent = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mode);
    DovecotServer::Options options;
    options.imap = true;
    options.apop = false;
    options.tls = certificates.Server(row.kind);
    std::unique_ptr<DovecotServer> imap = DovecotServer::UnderTmp(options);
    ASSERT_TRUE(imap->Start());
    TempDir dir("imap-tls");
    CheckSettings settings;
    settings.pop_host = "localhost";
    settings.pop_port =
        std::string(row.mode) == "STARTTLS" ? imap->Port() : imap->TlsPort();
    settings.smtp_port = smtp.Port();
    settings.smtp_user = smtp.User();
    settings.smtp_password = smtp.Password();
    settings.forward = false;
    settings.extra = std::string("[Encryption]\r\nPop3Mode=") + row.mode +
                     "\r\n[Mailbox]\r\nKind=IMAP\r\nAnswerExisting=1\r\n";
    WriteSettings(dir.Path(), settings);
    imap->AddMessage(Message("ann@example.com", row.mode));
    const RunResult run =
        RunProgram(dir, "--check --settings " + dir.Path(), 120);
    if (row.answered) {
      EXPECT_EQ(run.status, 0) << run.err;
      ASSERT_TRUE(smtp.WaitForMessages(++sent)) << run.err;
    } else {
      EXPECT_EQ(run.status, 1);
      EXPECT_NE(run.err.find("IMAP server localhost port"), std::string::npos)
          << run.err;
      EXPECT_EQ(smtp.MessageCount(), sent);
    }
  }
}

}  // namespace
}  // namespace replyvane::testing
