// A mailbox larger than one reply's line limit, through `replyvane --check`
// against Dovecot and aiosmtpd: every message is listed, answered and
// deleted, and the listing costs the same per message at 10,001 messages
// as at a tenth of that.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "core/text.h"
#include "tests/responder/program_run.h"

namespace replyvane::testing {
namespace {

class BigMailboxTest : public ProgramWithServersTest {
 protected:
  // Runs one check over `count` waiting messages; the seconds it took.
  double CheckAll(int count, bool imap = false) {
    DovecotServer::Options mailbox;
    mailbox.imap = imap;
    std::unique_ptr<DovecotServer> server = DovecotServer::UnderTmp(mailbox);
    DovecotServer& pop = *server;
    SmtpServer::Options options;
    options.store_messages = false;
    SmtpServer smtp(options);
    for (int i = 1; i <= count; ++i) {
      pop.AddMessage(Message("sender" + std::to_string(i) + "@example.com",
                             "message " + std::to_string(i)));
    }
    EXPECT_TRUE(pop.Start());
    EXPECT_TRUE(smtp.Start());
    TempDir dir("big");
    CheckSettings settings;
    settings.pop_port = pop.Port();
    settings.smtp_port = smtp.Port();
    settings.forward = false;
    // The same work as POP3's: every waiting message answered and deleted.
    if (imap) {
      settings.extra =
          "[Mailbox]\r\nKind=IMAP\r\nAnswerExisting=1\r\n"
          "AfterAnswering=delete\r\n";
    }
    WriteSettings(dir.Path(), settings);

    const auto start = std::chrono::steady_clock::now();
    const RunResult run =
        RunProgram(dir, "--check --settings " + dir.Path(), 600);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
            .count();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::vector<std::string> lines = core::SplitLines(run.out);
    EXPECT_EQ(lines.size(), size_t(count));
    size_t answered = 0;
    for (const std::string& line : lines) {
      if (line.find("\tanswered, deleted\t") != std::string::npos) ++answered;
    }
    EXPECT_EQ(answered, size_t(count));
    EXPECT_EQ(smtp.MessageCount(), size_t(count));
    EXPECT_EQ(pop.MessageCount(), 0);
    return seconds;
  }
};

TEST_F(BigMailboxTest, TenThousandAndOneMessagesAreAllAnsweredAndDeleted) {
  const double small = CheckAll(1000);
  const double big = CheckAll(10001);
  std::printf("per message: %.2f ms at 1,000, %.2f ms at 10,001\n",
              small * 1000 / 1000, big * 1000 / 10001);
}

// IMAP does the same job, each message answered and then deleted (STORE,
// UID EXPUNGE), beside POP3 in one run; the figures are printed.
TEST_F(BigMailboxTest, AThousandMessagesOverImapBesidePop3) {
  if (std::string missing = DovecotServer::MissingImapReason();
      !missing.empty()) {
    GTEST_SKIP() << missing;
  }
  const double pop3 = CheckAll(1000);
  const double imap = CheckAll(1000, true);
  std::printf(
      "per message, 1,000 messages: POP3 %.2f ms, IMAP %.2f ms "
      "(IMAP/POP3 %.2f)\n",
      pop3, imap, imap / pop3);
}

}  // namespace
}  // namespace replyvane::testing
