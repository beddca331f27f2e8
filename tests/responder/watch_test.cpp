// `replyvane --watch` on Dovecot's IMAP and aiosmtpd: each message
// delivered while it waits is answered within seconds (the figures are
// printed), a SIGTERM ends it at once with exit status 0, a server restart
// while it idles is got over without a message answered twice, and a POP3
// mailbox is refused with the reason.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/responder/program_run.h"
#include "tests/support/child_process.h"
#include "tests/support/cutting_proxy.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class WatchTest : public ProgramWithServersTest {
 protected:
  static void StartWatching(ChildProcess& watch, const TempDir& dir,
                            int imap_port, const SmtpServer& smtp) {
    CheckSettings settings = ServerSettings(imap_port, smtp);
    testing::StartWatching(watch, dir, settings);
  }
};

TEST_F(WatchTest, AnswersEachNewMessageWithinSecondsAndEndsOnSigterm) {
  if (std::string missing = DovecotServer::MissingImapReason();
      !missing.empty()) {
    GTEST_SKIP() << missing;
  }
  DovecotServer::Options options;
  options.imap = true;
  std::unique_ptr<DovecotServer> imap = DovecotServer::UnderTmp(options);
  imap->AddMessage(Message("old@example.com", "history"));
  ASSERT_TRUE(imap->Start());
  SmtpServer smtp;
  ASSERT_TRUE(smtp.Start());
  TempDir dir("watch");
  ChildProcess watch;
  const std::string log = dir.File("watch.log");
  ASSERT_NO_FATAL_FAILURE(StartWatching(watch, dir, imap->Port(), smtp));

  constexpr int kDeliveries = 5;
  std::vector<double> seconds;
  for (int i = 1; i <= kDeliveries; ++i) {
    // Let it settle into its wait, as a message comes when it will.
    std::this_thread::sleep_for(milliseconds(300));
    const auto delivered = Clock::now();
    imap->AddMessage(
        Message("ann" + std::to_string(i) + "@example.com", "new"));
    ASSERT_TRUE(smtp.WaitForMessages(size_t(i), milliseconds(20000)))
        << ReadFile(log);
    seconds.push_back(
        std::chrono::duration<double>(Clock::now() - delivered).count());
  }
  std::sort(seconds.begin(), seconds.end());
  std::printf(
      "--watch, delivery to the response's 250: median %.3f s, "
      "slowest %.3f s over %d deliveries\n",
      seconds[kDeliveries / 2], seconds.back(), kDeliveries);
  EXPECT_LT(seconds.back(), 5.0);

  const auto stopping = Clock::now();
  watch.Stop(milliseconds(10000));
  EXPECT_LT(Clock::now() - stopping, std::chrono::seconds(5));
  EXPECT_TRUE(WIFEXITED(watch.ExitStatus()) &&
              WEXITSTATUS(watch.ExitStatus()) == 0)
      << ReadFile(log);
  const std::string printed = ReadFile(log);
  EXPECT_EQ(smtp.MessageCount(), size_t(kDeliveries)) << printed;
  EXPECT_EQ(printed.find("history"), std::string::npos) << printed;
  for (int i = 1; i <= kDeliveries; ++i) {
    EXPECT_NE(printed.find("\tanswered\tann" + std::to_string(i) +
                           "@example.com\tnew\n"),
              std::string::npos)
        << printed;
  }
}

// Dovecot stopped under the idling watch, a message delivered while it is
// down, Dovecot started again on another port (the relay in front follows
// it): the watch reconnects at its growing pauses and answers the message
// once; one delivered after that is answered too.
TEST_F(WatchTest, AServerRestartWhileIdlingIsGotOverWithoutDuplicates) {
  if (std::string missing = DovecotServer::MissingImapReason();
      !missing.empty()) {
    GTEST_SKIP() << missing;
  }
  DovecotServer::Options options;
  options.imap = true;
  std::unique_ptr<DovecotServer> imap = DovecotServer::UnderTmp(options);
  imap->AddMessage(Message("old@example.com", "history"));
  ASSERT_TRUE(imap->Start());
  CuttingProxy relay(imap->Port());
  SmtpServer smtp;
  ASSERT_TRUE(smtp.Start());
  TempDir dir("watch-restart");
  ChildProcess watch;
  const std::string log = dir.File("watch.log");
  ASSERT_NO_FATAL_FAILURE(StartWatching(watch, dir, relay.Port(), smtp));
  std::this_thread::sleep_for(milliseconds(300));
  imap->AddMessage(Message("before@example.com", "one"));
  ASSERT_TRUE(smtp.WaitForMessages(1, milliseconds(20000))) << ReadFile(log);

  std::this_thread::sleep_for(milliseconds(300));
  imap->Stop();
  imap->AddMessage(Message("during@example.com", "two"));
  std::this_thread::sleep_for(milliseconds(1500));
  ASSERT_TRUE(imap->Start());
  relay.SetTarget(imap->Port());
  ASSERT_TRUE(smtp.WaitForMessages(2, milliseconds(30000))) << ReadFile(log);
  std::this_thread::sleep_for(milliseconds(300));
  imap->AddMessage(Message("after@example.com", "three"));
  ASSERT_TRUE(smtp.WaitForMessages(3, milliseconds(20000))) << ReadFile(log);
  // Time for a second answer to any of them, were one coming.
  std::this_thread::sleep_for(milliseconds(1500));

  watch.Stop(milliseconds(10000));
  EXPECT_TRUE(WIFEXITED(watch.ExitStatus()) &&
              WEXITSTATUS(watch.ExitStatus()) == 0)
      << ReadFile(log);
  const std::string printed = ReadFile(log);
  std::vector<std::string> recipients;
  for (const SmtpServer::Message& sent : smtp.Messages()) {
    recipients.insert(recipients.end(), sent.rcpt_tos.begin(),
                      sent.rcpt_tos.end());
  }
  EXPECT_EQ(recipients, (std::vector<std::string>{"before@example.com",
                                                  "during@example.com",
                                                  "after@example.com"}))
      << printed;
  // The drop was said, and the watch went on.
  EXPECT_NE(printed.find("replyvane: "), std::string::npos) << printed;
}

TEST_F(WatchTest, APop3MailboxIsRefused) {
  TempDir dir("watch-pop3");
  CheckSettings settings;
  settings.pop_port = 1;
  settings.smtp_port = 1;
  WriteSettings(dir.Path(), settings);
  const RunResult run = RunProgram(dir, "--watch --settings " + dir.Path(), 30);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("--watch needs an IMAP mailbox"), std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace replyvane::testing
