// The sender lists through `replyvane --check` against Dovecot and
// aiosmtpd, from files written by hand: a sender on the Never answer list
// and one not on the Only answer list are forwarded and deleted unanswered,
// each line saying why; the one the lists let through is answered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
}

}  // namespace
}  // namespace replyvane::testing
