// The sender lists through `replyvane --check` against Dovecot and
// aiosmtpd, from files written by hand: a sender on the Never answer list
// and one not on the Only answer list are forwarded and deleted unanswered,
// each line saying why; the one the lists let through is answered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "responder/answer_history.h"
#include "tests/responder/program_run.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane::testing {
namespace {

class SenderListsRunTest : public ProgramWithServersTest {};

TEST_F(SenderListsRunTest, ListedSendersAreForwardedAndDeletedUnanswered) {
  DovecotServer pop;
  SmtpServer smtp;
  pop.AddMessage(Message("Boss <boss@corp.example>", "one"));
  pop.AddMessage(Message("ann@eu.corp.example", "two"));
  pop.AddMessage(Message("eve@else.example", "three"));
  ASSERT_TRUE(pop.Start());
  ASSERT_TRUE(smtp.Start());
  TempDir dir("sender-lists");
  WriteSettings(dir.Path(), pop, smtp, pop.Password());
  WriteFile(dir.File("never-answer.txt"),
            "# the boss reads it anyway\r\n"
            "BOSS@corp.example\r\n");
  WriteFile(dir.File("only-answer.txt"), "*.corp.example\r\n@corp.example\n");

  const RunResult run = RunProgram(dir, "--check --settings " + dir.Path());
  EXPECT_EQ(run.status, 0) << run.err;
  for (const char* line :
       {"\tnot answered: not on the Only answer list\teve@else.example\t"
        "three\n",
        "\tanswered, forwarded, deleted\tann@eu.corp.example\ttwo\n",
        "\tnot answered: on the Never answer list\tBoss "
        "<boss@corp.example>\tone\n"}) {
    EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
  }
  ASSERT_TRUE(smtp.WaitForMessages(4));
  std::vector<std::string> recipients;
  for (const SmtpServer::Message& sent : smtp.Messages()) {
    recipients.push_back(sent.rcpt_tos.at(0));
  }
  EXPECT_EQ(recipients,
            (std::vector<std::string>{"fw@example.com", "ann@eu.corp.example",
                                      "fw@example.com", "fw@example.com"}));
  EXPECT_EQ(pop.MessageCount(), 0);

  // The history says the same, last message first.
  using Outcome = responder::HistoryEntry::Outcome;
  const std::vector<responder::HistoryEntry> history =
      responder::ReadHistory(dir.File("history.dat"));
  ASSERT_EQ(history.size(), 3u);
  EXPECT_EQ(history[0].sender_address, "eve@else.example");
  EXPECT_EQ(history[0].outcome, Outcome::kNotAnswered);
  EXPECT_EQ(history[0].why_not, "not on the Only answer list");
  EXPECT_TRUE(history[0].forwarded);
  EXPECT_EQ(history[1].outcome, Outcome::kAnswered);
  EXPECT_EQ(history[1].subject, "two");
  EXPECT_EQ(history[1].response, "");
  EXPECT_EQ(history[2].sender_name, "Boss");
  EXPECT_EQ(history[2].why_not, "on the Never answer list");
}

}  // namespace
}  // namespace replyvane::testing
