// Several responses through `replyvane --check` against Dovecot and
// aiosmtpd: the rules of responses.txt choose for each message (by its
// subject, its sender, its text), the chosen response goes with its own
// From, subject, text and HTML, a message no rule matches gets the default
// response, and a file with a line it cannot take sends nothing.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "responder/answer_history.h"
#include "tests/responder/program_run.h"
#include "tests/support/decoded_message.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/mail_scripts.h"
#include "tests/support/smtp_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane::testing {
namespace {

class ResponseRulesRunTest : public ProgramWithServersTest {};

TEST_F(ResponseRulesRunTest, EachMessageGetsTheResponseItsRuleChooses) {
  DovecotServer pop;
  SmtpServer smtp;
  pop.AddMessage(Message("ann@example.com", "Invoice 42"));
  pop.AddMessage(Message("bob@eu.partner.example", "hello"));
  pop.AddMessage(
      "From: carl@example.com\r\nSubject: help\r\n\r\nThis is "
      "URGENT, please.\r\n");
  pop.AddMessage(Message("dora@example.com", "other"));
  ASSERT_TRUE(pop.Start());
  ASSERT_TRUE(smtp.Start());
  TempDir dir("response-rules");
  CheckSettings settings = ServerSettings(pop.Port(), smtp);
  settings.pop_user = pop.User();
  settings.pop_password = pop.Password();
  settings.extra = "[Response]\r\nPlaceholders=1\r\n";

  // A rule naming no response: nothing at all is sent.
  WriteSettings(dir.Path(), settings);
  WriteFile(dir.File("responses.txt"),
            "[response Billing]\r\n[rules]\r\nsubject contains x => Bill\r\n");
  RunResult run = RunProgram(dir, "--check --settings " + dir.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("responses.txt line 3: no response is named Bill; "
                         "nothing was sent"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(smtp.MessageCount(), 0u);
  EXPECT_EQ(pop.MessageCount(), 4);

  WriteFile(dir.File("responses.txt"),
            "[response Billing]\r\nFrom=billing@example.com\r\n"
            "Subject=Re: {subject}\r\nText=Dear {address},\r\n"
            "Text=your invoice question reached us.\r\n"
            "[response Partners]\r\nSubject=Hello partner\r\n"
            "Html=partners.html\r\n"
            "[rules]\r\nsubject contains invoice => Billing\r\n"
            "sender matches *.partner.example => Partners\r\n"
            "text contains urgent => Partners\r\n");
  WriteFile(dir.File("partners.html"), "<p>Hello <b>partner</b>.</p>\r\n");
  run = RunProgram(dir, "--check --settings " + dir.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(smtp.WaitForMessages(4));
  std::map<std::string, std::string> by_recipient;
  for (const SmtpServer::Message& sent : smtp.Messages()) {
    by_recipient[sent.rcpt_tos.at(0)] = sent.data;
  }
  const std::string& ann = by_recipient["ann@example.com"];
  EXPECT_EQ(HeaderValue(ann, "Subject"), "Re: Invoice 42");
  EXPECT_EQ(HeaderValue(ann, "From"), "\"Me\" <billing@example.com>");
  EXPECT_EQ(HeaderValue(ann, "Reply-To"), "billing@example.com");
  EXPECT_NE(ann.find("\r\n\r\nDear ann@example.com,\r\nyour invoice "
                     "question reached us.\r\n"),
            std::string::npos)
      << ann;
  for (const char* partner : {"bob@eu.partner.example", "carl@example.com"}) {
    const std::string& data = by_recipient[partner];
    EXPECT_EQ(HeaderValue(data, "Subject"), "Hello partner") << partner;
    EXPECT_EQ(DecodedByPython(dir, data, "mime_structure.py"),
              "multipart/alternative(text/plain,text/html)\n--- text/plain\n"
              "Thanks for your mail.\nBye.\n\n--- text/html\n<p>Hello "
              "<b>partner</b>.</p>\n")
        << partner;
  }
  const std::string& dora = by_recipient["dora@example.com"];
  EXPECT_EQ(HeaderValue(dora, "Subject"), "Thank you");
  EXPECT_EQ(HeaderValue(dora, "From"), "\"Me\" <me@example.com>");
  EXPECT_EQ(pop.MessageCount(), 0);

  // The history names the response each got; the refused check left none.
  std::map<std::string, std::string> response_of;
  for (const responder::HistoryEntry& entry :
       responder::ReadHistory(dir.File("history.dat"))) {
    response_of[entry.sender_address] = entry.response;
  }
  EXPECT_EQ(response_of, (std::map<std::string, std::string>{
                             {"ann@example.com", "Billing"},
                             {"bob@eu.partner.example", "Partners"},
                             {"carl@example.com", "Partners"},
                             {"dora@example.com", ""}}));
}

}  // namespace
}  // namespace replyvane::testing
