// The IMAP client against a real Dovecot IMAP server on 127.0.0.1: a log-in
// whose password goes as a literal, SELECT, UID SEARCH, fetches that leave
// a message unread, flags, a move into another folder and a deletion, seen
// from the server's side.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mail/imap.h"
#include "message/message.h"
#include "tests/mail/outcome.h"
#include "tests/support/dovecot_server.h"

namespace replyvane::mail {
namespace {

using testing::DovecotServer;

const char kFirst[] =
    "From: Ann <ann@example.org>\r\n"
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
    "two\r\n";

std::unique_ptr<DovecotServer> ImapServer() {
  DovecotServer::Options options;
  options.imap = true;
  // A quote and 8-bit: the password must go as a literal.
  options.password = "pa\"ss w\xC3\xB6rd";
  return DovecotServer::UnderTmp(options);
}

TEST(ImapIntegrationTest, ReadsWithoutChangingAndActsOnlyWhenAsked) {
  if (std::string missing = DovecotServer::MissingImapReason();
      !missing.empty()) {
    GTEST_SKIP() << missing;
  }
  std::unique_ptr<DovecotServer> server = ImapServer();
  server->AddMessage(kFirst);
  server->AddMessage(kSecond);
  ASSERT_TRUE(server->Start());

  IMAP client;
  client.SetHost("127.0.0.1");
  client.SetPort(server->Port());
  client.SetUsername(server->User());
  client.SetPassword(server->Password());
  client.SetReadTimeout(10000);
  ASSERT_EQ(Outcome([&] { client.ConnectToHost(); }), "");
  EXPECT_TRUE(client.HasCapability("IDLE"));
  const IMAP::FolderState folder = client.Select("INBOX");
  EXPECT_EQ(folder.exists, 2u);
  EXPECT_NE(folder.uid_validity, 0u);
  EXPECT_EQ(folder.uid_next, 3u);
  const std::vector<uint32_t> all = client.UidSearch("ALL");
  ASSERT_EQ(all, (std::vector<uint32_t>{1, 2}));

  message::Message header;
  int64_t size = 0;
  ASSERT_TRUE(client.FetchHeader(1, header, size));
  EXPECT_EQ(header.Subject(), "first");
  EXPECT_EQ(size, int64_t(sizeof(kFirst) - 1));
  message::Message whole;
  ASSERT_TRUE(client.FetchMessage(1, whole));
  EXPECT_EQ(whole.Body(), (std::vector<std::string>{"line one", ".leading dot",
                                                    ".", "last"}));
  // BODY.PEEK: both still unread.
  EXPECT_EQ(client.UidSearch("UNSEEN"), all);

  client.AddFlags(1, "\\Seen");
  EXPECT_EQ(client.UidSearch("UNSEEN"), (std::vector<uint32_t>{2}));
  client.Command({{"CREATE"}, {"Answered", true}});
  client.Move(1, "Answered");
  EXPECT_EQ(client.UidSearch("ALL"), (std::vector<uint32_t>{2}));
  client.Delete(2);
  EXPECT_TRUE(client.UidSearch("ALL").empty());
  EXPECT_EQ(client.Select("Answered").exists, 1u);
  EXPECT_EQ(
      Outcome([&] { client.Select("No such folder"); }).rfind("reply 2: NO", 0),
      0u);
  client.Logout();
  EXPECT_FALSE(client.IsConnected());

  IMAP refused;
  refused.SetHost("127.0.0.1");
  refused.SetPort(server->Port());
  refused.SetUsername(server->User());
  refused.SetPassword("wrong");
  refused.SetReadTimeout(10000);
  EXPECT_EQ(Outcome([&] { refused.ConnectToHost(); }),
            "reply 2: NO [AUTHENTICATIONFAILED] Authentication failed.");
  EXPECT_FALSE(refused.IsConnected());
}

}  // namespace
}  // namespace replyvane::mail
