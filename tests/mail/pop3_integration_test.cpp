// The POP3 client against a real Dovecot on 127.0.0.1: both log-in forms,
// and STAT/LIST/TOP/RETR/DELE/RSET/QUIT on a mailbox the test fills.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/file_stream.h"
#include "mail/pop3.h"
#include "message/message.h"
#include "message/message_part.h"
#include "message/message_parts.h"
#include "tests/mail/base64_lines.h"
#include "tests/mail/outcome.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/start_or_skip.h"

namespace replyvane::mail {
namespace {

using testing::DovecotServer;
using Lines = std::vector<std::string>;

const char kFirst[] =
    "From: Ann <ann@example.org>\r\n"
    "To: testuser@example.org\r\n"
    "Subject: first\r\n"
    "\r\n"
    "line one\r\n"
    ".leading dot\r\n"
    ".\r\n"
    "last\r\n";
const char kSecond[] =
    "From: bob@example.org\r\n"
    "Subject: second\r\n"
    "\r\n"
    "short\r\n";
// A header block without any body.
const char kThird[] =
    "From: carl@example.org\r\n"
    "Subject: third\r\n";

// Text and a binary attachment.
std::string Fourth() {
  return "From: dora@example.org\r\n"
         "Subject: fourth\r\n"
         "MIME-Version: 1.0\r\n"
         "Content-Type: multipart/mixed; boundary=\"b1\"\r\n"
         "\r\n"
         "preamble\r\n"
         "--b1\r\n"
         "Content-Type: text/plain\r\n"
         "Content-Transfer-Encoding: 7bit\r\n"
         "\r\n"
         "hello\r\n"
         "..two dots in the mailbox\r\n"
         "--b1\r\n"
         "Content-Type: application/octet-stream; name=\"bytes.bin\"\r\n"
         "Content-Transfer-Encoding: base64\r\n"
         "Content-Disposition: attachment; filename=\"bytes.bin\"\r\n"
         "\r\n" +
         Base64Lines(AllBytes()) + "--b1--\r\n";
}

// Dovecot's own processes run as other users and must reach the server's
// directory, so it is made under /tmp whatever private $TMPDIR this test
// program chose for attachment files.
std::unique_ptr<DovecotServer> MakeServer(
    DovecotServer::Options options = DovecotServer::Options()) {
  const char* old = std::getenv("TMPDIR");
  std::string saved = old ? old : "";
  ::setenv("TMPDIR", "/tmp", 1);
  auto server = std::make_unique<DovecotServer>(options);
  if (old) {
    ::setenv("TMPDIR", saved.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  return server;
}

class Pop3IntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.AddMessage(kFirst);
    server_.AddMessage(kSecond);
    server_.AddMessage(kThird);
    server_.AddMessage(Fourth());
    REPLYVANE_START_OR_SKIP(server_);
  }

  std::unique_ptr<DovecotServer> owned_ = MakeServer();
  DovecotServer& server_ = *owned_;

  std::unique_ptr<POP3> Client() {
    auto client = std::make_unique<POP3>();
    client->SetHost("127.0.0.1");
    client->SetPort(server_.Port());
    client->SetUsername(server_.User());
    client->SetPassword(server_.Password());
    client->SetReadTimeout(10000);
    return client;
  }
};

TEST_F(Pop3IntegrationTest, LogsInWithUserPassOrApop) {
  struct Row {
    const char* name;
    bool apop;
    const char* password;
    const char* outcome;
  } rows[] = {
      {"user/pass", false, "testpass", ""},
      {"apop", true, "testpass", ""},
      {"user/pass, wrong password", false, "wrong",
       "reply 2:  [AUTH] Authentication failed.\\r\\n"},
      {"apop, wrong password", true, "wrong",
       "reply 2:  [AUTH] Authentication failed.\\r\\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto client = Client();
    client->SetAPOP(row.apop);
    client->SetPassword(row.password);
    EXPECT_EQ(Outcome([&] { client->ConnectToHost(); }), row.outcome);
    if (*row.outcome == 0) {
      EXPECT_EQ(client->GetMessageCount(), 4);
    }
    client->CloseConnection();
    EXPECT_FALSE(client->IsConnected());
  }
  EXPECT_EQ(server_.MessageCount(), 4);
}

TEST_F(Pop3IntegrationTest, ReadsSizesHeadersAndMessages) {
  auto client = Client();
  client->ConnectToHost();
  EXPECT_EQ(client->GetMessageCount(), 4);
  int sizes[] = {int(sizeof kFirst) - 1, int(sizeof kSecond) - 1,
                 int(sizeof kThird) - 1, int(Fourth().size())};
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(client->GetMessageSize(n), sizes[n - 1]) << n;
  }
  EXPECT_EQ(client->GetMailboxSize(),
            sizes[0] + sizes[1] + sizes[2] + sizes[3]);

  message::Message header;
  EXPECT_TRUE(client->FetchHeader(1, header));
  EXPECT_EQ(header.Subject(), "first");
  EXPECT_EQ(header.From().Address(), "ann@example.org");
  EXPECT_EQ(header.From().Name(), "Ann");
  EXPECT_TRUE(header.Body().empty());

  message::Message whole;
  EXPECT_TRUE(client->FetchMessage(1, whole));
  EXPECT_EQ(whole.Subject(), "first");
  EXPECT_EQ(whole.Body(), (Lines{"line one", ".leading dot", ".", "last"}));

  message::Message bodiless;
  EXPECT_TRUE(client->FetchMessage(3, bodiless));
  EXPECT_EQ(bodiless.Subject(), "third");
  EXPECT_TRUE(bodiless.Body().empty());

  message::Message parts;
  EXPECT_TRUE(client->FetchMessage(4, parts));
  EXPECT_EQ(parts.Subject(), "fourth");
  ASSERT_EQ(parts.MessageParts().Count(), 2);
  message::TextPart* text = parts.MessageParts().Item(0).AsText();
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->Body(), (Lines{"hello", "..two dots in the mailbox"}));
  message::Attachment* file = parts.MessageParts().Item(1).AsAttachment();
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->AttachmentName(), "bytes.bin");
  EXPECT_EQ(core::ReadWholeFile(file->StoredPath()), AllBytes());
  std::remove(file->StoredPath().c_str());

  message::Message missing;
  EXPECT_FALSE(client->FetchMessage(9, missing));
  EXPECT_EQ(client->GetMessageSize(2), sizes[1]);  // still in step
  client->CloseConnection();
}

TEST_F(Pop3IntegrationTest, DeletionsTakeEffectOnlyAtQuit) {
  auto client = Client();
  // Reset undoes a deletion; a dropped connection makes none final.
  client->ConnectToHost();
  EXPECT_TRUE(client->DeleteMessage(1));
  EXPECT_EQ(Outcome([&] { client->DeleteMessage(1); }).substr(0, 8),
            "reply 2:");
  EXPECT_TRUE(client->ResetMailbox());
  EXPECT_TRUE(client->DeleteMessage(2));
  client->CloseSocketOnly();
  EXPECT_EQ(server_.MessageCount(), 4);

  client->ConnectToHost();
  EXPECT_TRUE(client->DeleteMessage(2));
  client->CloseConnection();
  // Dovecot removes the files while answering QUIT; the client does not
  // wait for that answer, so look again for a bounded while.
  for (int i = 0; i < 500 && server_.MessageCount() != 3; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(server_.MessageCount(), 3);

  client->ConnectToHost();
  EXPECT_EQ(client->GetMessageCount(), 3);
  message::Message msg;
  client->FetchHeader(2, msg);
  EXPECT_EQ(msg.Subject(), "third");
  client->CloseConnection();
}

TEST(Pop3ApopIntegrationTest, ServerWithoutTimestampRefusesApop) {
  DovecotServer::Options options;
  options.apop = false;
  std::unique_ptr<DovecotServer> owned = MakeServer(options);
  DovecotServer& server = *owned;
  REPLYVANE_START_OR_SKIP(server);
  POP3 client;
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.SetUsername(server.User());
  client.SetPassword(server.Password());
  client.SetReadTimeout(10000);
  client.SetAPOP(true);
  EXPECT_EQ(Outcome([&] { client.ConnectToHost(); }),
            "error: Server do not support APOP (no timestamp)");
  EXPECT_FALSE(client.IsConnected());
}

}  // namespace
}  // namespace replyvane::mail
