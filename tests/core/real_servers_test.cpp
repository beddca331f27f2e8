// The real-server fixtures, spoken to by hand: Dovecot serves the mailbox the
// test filled and deletes at QUIT; the aiosmtpd server authenticates with
// AUTH LOGIN and stores exactly the unstuffed DATA bytes.
#include <gtest/gtest.h>

#include "tests/support/dovecot_server.h"
#include "tests/support/line_client.h"
#include "tests/support/smtp_server.h"
#include "tests/support/start_or_skip.h"

namespace replyvane::testing {
namespace {

// Sends `command` and returns the first reply line ("" when none came).
std::string Ask(LineClient& client, std::string_view command) {
  client.SendLine(command);
  return client.ReadLine().value_or("");
}

TEST(DovecotServerTest, ServesTheFilledMailboxAndDeletesAtQuit) {
  DovecotServer pop;
  const std::string first = "Subject: one\r\n\r\nfirst body\r\n";
  const std::string second =
      "Subject: two\nFrom: a@example.invalid\n\n.leading dot\nlast\n";
  pop.AddMessage(first);
  pop.AddMessage(second);
  for (int n = 3; n <= 12; ++n) {
    pop.AddMessage("Subject: " + std::to_string(n) + "\r\n\r\n");
  }
  REPLYVANE_START_OR_SKIP(pop);
  EXPECT_TRUE(pop.Greeting().starts_with("+OK ")) << pop.Greeting();
  EXPECT_NE(pop.Greeting().find('<'), std::string::npos) << pop.Greeting();

  LineClient client(pop.Port());
  // The timestamp differs per connection; the rest is the same.
  std::string greeting = client.ReadLine().value_or("");
  EXPECT_EQ(greeting.substr(0, greeting.find('<')),
            pop.Greeting().substr(0, pop.Greeting().find('<')));
  EXPECT_EQ(Ask(client, "USER " + pop.User()).substr(0, 3), "+OK");
  EXPECT_EQ(Ask(client, "PASS " + pop.Password()).substr(0, 3), "+OK");
  std::string stat = Ask(client, "STAT");
  EXPECT_TRUE(stat.starts_with("+OK 12 ")) << stat;
  for (int n = 3; n <= 12; ++n) {  // numbered in the order they were added
    Ask(client, "TOP " + std::to_string(n) + " 0");
    EXPECT_EQ(client.ReadLinesUntil("."),
              "Subject: " + std::to_string(n) + "\r\n\r\n");
  }
  EXPECT_EQ(Ask(client, "LIST 1"), "+OK 1 " + std::to_string(first.size()));
  // LF line ends go out as CR LF, a leading dot doubled.
  EXPECT_EQ(Ask(client, "RETR 2").substr(0, 3), "+OK");
  EXPECT_EQ(client.ReadLinesUntil("."),
            "Subject: two\r\nFrom: a@example.invalid\r\n\r\n"
            "..leading dot\r\nlast\r\n");
  EXPECT_EQ(Ask(client, "TOP 1 0").substr(0, 3), "+OK");
  EXPECT_EQ(client.ReadLinesUntil("."), "Subject: one\r\n\r\n");
  EXPECT_EQ(Ask(client, "DELE 1").substr(0, 3), "+OK");
  EXPECT_EQ(pop.MessageCount(), 12);  // only marked so far
  EXPECT_EQ(Ask(client, "QUIT"), "+OK Logging out, messages deleted.");
  EXPECT_TRUE(client.PeerClosed());
  EXPECT_EQ(pop.MessageCount(), 11);

  pop.Stop();
  EXPECT_FALSE(pop.Running());
  EXPECT_FALSE(
      LineClient(pop.Port(), std::chrono::milliseconds(500)).Connected());
}

TEST(DovecotServerTest, RefusesAWrongPasswordAndTakesANewOne) {
  DovecotServer pop({.user = "other", .password = "old", .apop = false});
  REPLYVANE_START_OR_SKIP(pop);
  EXPECT_EQ(pop.Greeting().find('<'), std::string::npos) << pop.Greeting();
  {
    LineClient client(pop.Port(), std::chrono::milliseconds(3000));
    client.ReadLine();
    Ask(client, "USER other");
    EXPECT_EQ(Ask(client, "PASS wrong"), "-ERR [AUTH] Authentication failed.");
  }
  pop.SetPassword("new");
  LineClient client(pop.Port());
  client.ReadLine();
  Ask(client, "USER other");
  EXPECT_EQ(Ask(client, "PASS new").substr(0, 3), "+OK");
  EXPECT_EQ(Ask(client, "STAT"), "+OK 0 0");
  Ask(client, "QUIT");
}

TEST(SmtpServerTest, AuthenticatesAndStoresTheUnstuffedMessage) {
  SmtpServer smtp({.auth_required = true});
  REPLYVANE_START_OR_SKIP(smtp);
  LineClient client(smtp.Port());
  EXPECT_TRUE(client.ReadLine().value_or("").starts_with("220 "));
  client.SendLine("EHLO client.invalid");
  std::vector<std::string> ehlo;
  for (std::optional<std::string> line; (line = client.ReadLine());) {
    ehlo.push_back(*line);
    if (line->size() < 4 || (*line)[3] != '-') break;
  }
  EXPECT_NE(std::find(ehlo.begin(), ehlo.end(), "250-AUTH LOGIN PLAIN"),
            ehlo.end());
  EXPECT_EQ(Ask(client, "MAIL FROM:<a@example.invalid>"),
            "530 5.7.0 Authentication required");

  EXPECT_EQ(Ask(client, "AUTH LOGIN"), "334 VXNlcm5hbWU6");    // "Username:"
  EXPECT_EQ(Ask(client, "dGVzdHVzZXI="), "334 UGFzc3dvcmQ6");  // "Password:"
  EXPECT_EQ(Ask(client, "d3Jvbmc="),
            "535 5.7.8 Authentication credentials invalid");
  Ask(client, "AUTH LOGIN");
  Ask(client, "dGVzdHVzZXI=");
  EXPECT_EQ(Ask(client, "dGVzdHBhc3M=").substr(0, 3), "235");

  EXPECT_EQ(Ask(client, "MAIL FROM:<a@example.invalid>").substr(0, 3), "250");
  EXPECT_EQ(Ask(client, "RCPT TO:<b@example.invalid>").substr(0, 3), "250");
  EXPECT_EQ(Ask(client, "RCPT TO:<c@example.invalid>").substr(0, 3), "250");
  EXPECT_EQ(Ask(client, "DATA").substr(0, 3), "354");
  client.Send("Subject: hi\r\n\r\n..dot\r\n...two\r\nbare\nend\r\n.\r\n");
  EXPECT_EQ(client.ReadLine().value_or("").substr(0, 3), "250");
  EXPECT_EQ(Ask(client, "QUIT").substr(0, 3), "221");

  ASSERT_TRUE(smtp.WaitForMessages(1));
  std::vector<SmtpServer::Message> got = smtp.Messages();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].mail_from, "a@example.invalid");
  EXPECT_EQ(got[0].rcpt_tos, (std::vector<std::string>{"b@example.invalid",
                                                       "c@example.invalid"}));
  EXPECT_EQ(got[0].login, "testuser");
  EXPECT_EQ(got[0].data, "Subject: hi\r\n\r\n.dot\r\n..two\r\nbare\nend\r\n");
}

TEST(SmtpServerTest, AcceptsMailWithoutAuthenticationUnlessRequired) {
  SmtpServer smtp;
  REPLYVANE_START_OR_SKIP(smtp);
  for (int i = 0; i < 2; ++i) {
    LineClient client(smtp.Port());
    client.ReadLine();
    EXPECT_EQ(Ask(client, "HELO client.invalid").substr(0, 3), "250");
    Ask(client, "MAIL FROM:<>");
    Ask(client, "RCPT TO:<x@example.invalid>");
    Ask(client, "DATA");
    client.Send(".\r\n");  // an empty message
    EXPECT_EQ(client.ReadLine().value_or("").substr(0, 3), "250");
    Ask(client, "QUIT");
  }
  std::vector<SmtpServer::Message> got = smtp.Messages();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1].mail_from, "<>");
  EXPECT_EQ(got[1].login, std::nullopt);
  EXPECT_EQ(got[1].data, "");
}

// The Python reference for the mail benchmark does its two jobs against the
// fixtures and reports a rate per job.
TEST(PythonBenchmarkClientsTest, FetchHeadersAndSendThroughTheFixtures) {
  DovecotServer pop;
  for (int n = 0; n < 3; ++n) pop.AddMessage("Subject: x\r\n\r\nbody\r\n");
  SmtpServer smtp({.auth_required = true});
  REPLYVANE_START_OR_SKIP(pop);
  REPLYVANE_START_OR_SKIP(smtp);

  ChildProcess bench;
  bench.Start({"/usr/bin/python3",
               REPLYVANE_SOURCE_DIR "/tests/support/bench_python_clients.py",
               "--pop3-port", std::to_string(pop.Port()), "--smtp-port",
               std::to_string(smtp.Port()), "--smtp-user", smtp.User(),
               "--smtp-pass", smtp.Password(), "--messages", "2"},
              pop.Dir() + "/bench.out");
  ASSERT_TRUE(bench.Wait(std::chrono::milliseconds(60000)));
  std::string output = ReadFile(pop.Dir() + "/bench.out");
  EXPECT_EQ(bench.ExitStatus(), 0) << output;
  EXPECT_NE(output.find("pop3 messages=3 seconds="), std::string::npos)
      << output;
  EXPECT_NE(output.find("smtp messages=2 seconds="), std::string::npos)
      << output;
  EXPECT_EQ(pop.MessageCount(), 3);  // headers only, nothing deleted
  std::vector<SmtpServer::Message> sent = smtp.Messages();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].login, "testuser");
  EXPECT_GT(sent[0].data.size(), 64u * 1024 * 4 / 3);  // base64 attachment
}

}  // namespace
}  // namespace replyvane::testing
