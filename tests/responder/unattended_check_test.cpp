// `replyvane --check` as the systemd timer runs it: the real program with no
// display at all (no DISPLAY, no QT_QPA_PLATFORM), the saved settings of a
// folder, Dovecot and aiosmtpd on 127.0.0.1. What it prints, what it exits
// with, and what the servers are left with.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <string>
#include <thread>

#include "core/text.h"
#include "tests/responder/program_run.h"
#include "tests/support/child_process.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/scripted_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane::testing {
namespace {

using UnattendedCheckTest = ProgramWithServersTest;

TEST_F(UnattendedCheckTest, AnswersForwardsDeletesAndSaysSoPerMessage) {
  DovecotServer pop;
  SmtpServer smtp;
  pop.AddMessage(Message("Ann <ann@example.com>", "first"));
  pop.AddMessage(Message("bob@example.com", "second\tone"));
  pop.AddMessage(Message("Undisclosed recipients:;", "nobody"));
  ASSERT_TRUE(pop.Start());
  ASSERT_TRUE(smtp.Start());
  TempDir dir("check");
  WriteSettings(dir.Path(), pop, smtp, pop.Password());

  const RunResult run = RunProgram(dir, "--check --settings " + dir.Path());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::vector<std::string> lines = core::SplitLines(run.out);
  ASSERT_EQ(lines.size(), 3u) << run.out;
  const std::string time = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)";
  EXPECT_TRUE(std::regex_match(
      lines[0], std::regex(time + "\tnot answered: no sender address\t"
                                  "Undisclosed recipients:;\tnobody")))
      << lines[0];
  EXPECT_TRUE(std::regex_match(
      lines[1], std::regex(time + "\tanswered, forwarded, deleted\t"
                                  "bob@example.com\tsecond one")))
      << lines[1];
  EXPECT_TRUE(std::regex_match(
      lines[2], std::regex(time + "\tanswered, forwarded, deleted\t"
                                  "Ann <ann@example.com>\tfirst")))
      << lines[2];
  EXPECT_TRUE(smtp.WaitForMessages(4));
  EXPECT_EQ(smtp.Messages().size(), 4u);
  // Dovecot has expunged at the QUIT whose reply the program waited for;
  // the message without a sender stays.
  EXPECT_EQ(pop.MessageCount(), 1);
}

// A server reachable only over IPv6: the hosts are the address "::1".
TEST_F(UnattendedCheckTest, ServersOverIpv6AreUsedAsAnyOther) {
  DovecotServer::Options pop_options;
  pop_options.ipv6 = true;
  DovecotServer pop(pop_options);
  SmtpServer::Options smtp_options;
  smtp_options.ipv6 = true;
  SmtpServer smtp(smtp_options);
  pop.AddMessage(Message("ann@example.com", "over IPv6"));
  ASSERT_TRUE(pop.Start());
  ASSERT_TRUE(smtp.Start());
  TempDir dir("check");
  CheckSettings settings;
  settings.pop_host = "::1";
  settings.smtp_host = "[::1]";
  settings.pop_port = pop.Port();
  settings.smtp_port = smtp.Port();
  settings.forward = false;
  WriteSettings(dir.Path(), settings);
  const RunResult run = RunProgram(dir, "--check --settings " + dir.Path());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\tanswered, deleted\tann@example.com\tover IPv6"),
            std::string::npos)
      << run.out;
  ASSERT_TRUE(smtp.WaitForMessages(1));
  EXPECT_EQ(smtp.Messages()[0].rcpt_tos,
            std::vector<std::string>{"ann@example.com"});
  EXPECT_EQ(pop.MessageCount(), 0);
  // Dovecot's log names the client's address: the connection came over
  // IPv6.
  EXPECT_NE(pop.Log().find("rip=::1"), std::string::npos) << pop.Log();
}

TEST_F(UnattendedCheckTest, RefusedLogInExitsOneAndSendsNothing) {
  DovecotServer pop;
  SmtpServer smtp;
  pop.AddMessage(Message("ann@example.com", "first"));
  ASSERT_TRUE(pop.Start());
  ASSERT_TRUE(smtp.Start());
  TempDir dir("check");
  WriteSettings(dir.Path(), pop, smtp, "wrong password");

  const RunResult run = RunProgram(dir, "--check --settings " + dir.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("Could not connect with \"127.0.0.1\""),
            std::string::npos)
      << run.err;
  EXPECT_EQ(smtp.MessageCount(), 0u);
  EXPECT_EQ(pop.MessageCount(), 1);
}

TEST_F(UnattendedCheckTest, KilledRightAfterTheResponseNeverAnswersTwice) {
  DovecotServer pop;
  SmtpServer smtp;
  pop.AddMessage(Message("Ann <ann@example.com>", "first"));
  ASSERT_TRUE(pop.Start());
  ASSERT_TRUE(smtp.Start());
  // The first run's SMTP server takes the response and then holds the
  // connection, so the program is killed between the response and all that
  // follows it.
  ScriptedServer holding(Script()
                             .SendLine("220 smtp.test ready")
                             .ExpectLine()
                             .SendLine("250 smtp.test")
                             .ExpectLine()  // RSET
                             .SendLine("250 ok")
                             .ExpectLine()  // MAIL
                             .SendLine("250 ok")
                             .ExpectLine()  // RCPT
                             .SendLine("250 ok")
                             .Expect("DATA")
                             .SendLine("354 go")
                             .ReceiveUntil()
                             .SendLine("250 accepted")
                             .Stall(std::chrono::milliseconds(30000)));
  TempDir dir("check");
  WriteSettings(dir.Path(), pop, smtp, pop.Password());
  std::string ini = ReadFile(dir.File("Settings.ini"));
  // No log-in on the holding server, whose EHLO announces none.
  ini.replace(ini.find("10=1"), 4, "10=0");
  WriteFile(dir.File("Settings.ini"),
            ini.replace(ini.find("9=" + std::to_string(smtp.Port())),
                        2 + std::to_string(smtp.Port()).size(),
                        "9=" + std::to_string(holding.Port())));
  ChildProcess first;
  first.Start({kProgram, "--check", "--settings", dir.Path()},
              dir.File("first.log"));
  bool recorded = false;
  for (int i = 0; i < 1500 && !recorded; ++i) {
    recorded = ReadFile(dir.File("answered.dat")).find("ann@example.com") !=
               std::string::npos;
    if (!recorded) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(recorded) << ReadFile(dir.File("first.log"));
  ::kill(first.Pid(), SIGKILL);
  ASSERT_TRUE(first.Wait(std::chrono::milliseconds(10000)));

  // Restarted against the real SMTP server: the message is still there,
  // and only its forward goes out before it is deleted.
  WriteSettings(dir.Path(), pop, smtp, pop.Password());
  const RunResult run = RunProgram(dir, "--check --settings " + dir.Path());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\talready answered, forwarded, deleted\t"),
            std::string::npos)
      << run.out;
  ASSERT_TRUE(smtp.WaitForMessages(1));
  const std::vector<SmtpServer::Message> sent = smtp.Messages();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].rcpt_tos, std::vector<std::string>{"fw@example.com"});
  for (int i = 0; i < 500 && pop.MessageCount() != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(pop.MessageCount(), 0);
}

TEST_F(UnattendedCheckTest, UnreadableSettingsExitTwo) {
  TempDir dir("check");
  const RunResult run = RunProgram(dir, "--check --settings " + dir.Path());
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("No settings in " + dir.Path()), std::string::npos)
      << run.err;
  // A missing value or an unknown long option is refused with the usage,
  // never taken for a folder or ignored (the window would open on one).
  for (const char* arguments :
       {"--check --bogus", "--settings --check", "--check --settings",
        "--bogus", "-platform offscreen --setting=x"}) {
    const RunResult refused = RunProgram(dir, arguments);
    EXPECT_EQ(refused.status, 2) << arguments;
    EXPECT_NE(refused.err.find("Usage: replyvane"), std::string::npos)
        << arguments << ": " << refused.err;
  }
  const RunResult help = RunProgram(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--check"), std::string::npos);
  const RunResult version = RunProgram(dir, "--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("replyvane ", 0), 0u) << version.out;
}

}  // namespace
}  // namespace replyvane::testing
