// The SMTP client against a real aiosmtpd server on 127.0.0.1: what the
// server stored must be, byte for byte after dot-unstuffing, the message
// that was meant, with the envelope To, Cc and Bcc in order.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mail/smtp.h"
#include "message/header_list.h"
#include "message/message.h"
#include "message/message_part.h"
#include "message/message_parts.h"
#include "tests/mail/base64_lines.h"
#include "tests/mail/outcome.h"
#include "tests/support/smtp_server.h"
#include "tests/support/start_or_skip.h"
#include "tests/support/temp_dir.h"

namespace replyvane::mail {
namespace {

using testing::SmtpServer;
using Lines = std::vector<std::string>;

constexpr char kBoundary[] = "=_NextPart_2rfkvornsadvnqw3nerasdf";

std::unique_ptr<SMTP> ClientOf(const SmtpServer& server) {
  auto client = std::make_unique<SMTP>();
  client->SetHost("127.0.0.1");
  client->SetPort(server.Port());
  client->SetUsername(server.User());
  client->SetPassword(server.Password());
  client->SetMailAgent("Replyvane test");
  client->SetReadTimeout(10000);
  return client;
}

// A message whose body lines test dot-stuffing; a fixed date keeps its
// header block the same when it is built again for the comparison.
void Compose(message::Message& msg) {
  msg.From().SetText("Me <me@example.org>");
  msg.Recipients().SetAddressesText("to@example.org");
  msg.SetSubject("Plain");
  msg.SetDate(45000.25);
  msg.SetBody({"Hello,", ".one dot", ".", "..two", "", "end"});
}

std::string Joined(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The header block the message builds now, then the empty line.
std::string HeaderBlock(message::Message& msg) {
  return msg.BuildHeaderBlock()->Text() + "\r\n";
}

class SmtpIntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override { REPLYVANE_START_OR_SKIP(server_); }

  // Connects, sends every message, closes.
  void Send(std::vector<message::Message*> messages) {
    auto client = ClientOf(server_);
    client->ConnectToHost();
    for (message::Message* msg : messages) client->SendMessage(*msg);
    client->CloseConnection();
  }

  SmtpServer server_;
};

TEST_F(SmtpIntegrationTest, StoresPlainMessagesAsWritten) {
  message::Message plain;
  Compose(plain);
  message::Message copies;
  Compose(copies);
  copies.SetSubject("Copies");
  copies.Recipients().SetAddressesText("a@example.org, B <b@example.org>");
  copies.CCList().SetAddressesText("c@example.org");
  copies.BccList().SetAddressesText("d@example.org, a@example.org");
  Send({&plain, &copies});

  std::vector<SmtpServer::Message> got = server_.Messages();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].mail_from, "me@example.org");
  EXPECT_EQ(got[0].rcpt_tos, Lines{"to@example.org"});
  EXPECT_FALSE(got[0].login.has_value());
  EXPECT_EQ(got[0].data, HeaderBlock(plain) + Joined(plain.Body()));
  EXPECT_NE(got[0].data.find("\r\nX-Mailer: Replyvane test\r\n"),
            std::string::npos);

  EXPECT_EQ(got[1].rcpt_tos,
            (Lines{"a@example.org", "b@example.org", "c@example.org",
                   "d@example.org", "a@example.org"}));
  EXPECT_EQ(got[1].data, HeaderBlock(copies) + Joined(copies.Body()));
  EXPECT_EQ(got[1].data.find("d@example.org"), std::string::npos);
}

TEST_F(SmtpIntegrationTest, StoresAttachmentsAsWritten) {
  testing::TempDir dir("smtp-attach");
  std::string data;
  for (int i = 0; i < 7; ++i) data += AllBytes();  // not a multiple of 57
  data += "tail";
  std::string path = dir.File("file.bin");
  testing::WriteFile(path, data);

  message::Message msg;
  Compose(msg);
  msg.MessageParts().AddAttachment(path);
  Send({&msg});

  std::vector<SmtpServer::Message> got = server_.Messages();
  ASSERT_EQ(got.size(), 1u);
  std::string boundary = std::string("--") + kBoundary + "\r\n";
  std::string expected =
      HeaderBlock(msg) + "This is a multi-part message in MIME format\r\n\r\n" +
      boundary +
      "Content-Type: text/plain\r\nContent-Transfer-Encoding: 7bit\r\n\r\n" +
      Joined(msg.Body()) + "\r\n" + boundary +
      "Content-Type: application/octet-stream;\r\n"
      "        name=\"file.bin\"\r\n"
      "Content-Transfer-Encoding: base64\r\n"
      "Content-Disposition: attachment;\r\n"
      "        filename=\"file.bin\"\r\n"
      "\r\n" +
      Base64Lines(data) + "\r\n--" + kBoundary + "--\r\n";
  EXPECT_EQ(got[0].data, expected);
}

TEST(SmtpAuthIntegrationTest, LogsInWhenAskedAndReportsTheServersRefusal) {
  SmtpServer::Options options;
  options.auth_required = true;
  SmtpServer server(options);
  REPLYVANE_START_OR_SKIP(server);
  struct Row {
    const char* name;
    AuthenticationType type;
    const char* password;
    const char* outcome;
  } rows[] = {
      {"login", AuthenticationType::atLogin, "testpass", ""},
      {"wrong password", AuthenticationType::atLogin, "wrong",
       "reply 535: 5.7.8 Authentication credentials invalid\\r\\n"},
      {"no login", AuthenticationType::atNone, "testpass",
       "reply 530: 5.7.0 Authentication required\\r\\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto client = ClientOf(server);
    client->SetAuthenticationType(row.type);
    client->SetPassword(row.password);
    client->ConnectToHost();
    EXPECT_TRUE(client->IsAuthSchemeAvailable(AuthenticationType::atLogin));
    message::Message msg;
    Compose(msg);
    EXPECT_EQ(Outcome([&] { client->SendMessage(msg); }), row.outcome);
    client->CloseConnection();
  }
  std::vector<SmtpServer::Message> got = server.Messages();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].login, std::optional<std::string>("testuser"));
}

}  // namespace
}  // namespace replyvane::mail
