// The log-in with an OAuth 2.0 access token against scripted servers, for
// POP3 (AUTH, RFC 5034), IMAP (AUTHENTICATE) and SMTP (AUTH): XOAUTH2 or
// OAUTHBEARER as offered, the initial response with the command where it
// may go, an error challenge answered so the server gives its outcome, and
// the refusal's status shown.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mail/imap.h"
#include "mail/pop3.h"
#include "mail/sasl.h"
#include "mail/smtp.h"
#include "message/message.h"
#include "tests/mail/outcome.h"
#include "tests/support/scripted_server.h"

namespace replyvane::mail {
namespace {

using testing::Script;
using testing::ScriptedServer;
using testing::Transcript;

// XOAUTH2 of alice with the token "tok", and a refusal's challenge.
constexpr char kXOAuth2[] = "dXNlcj1hbGljZQFhdXRoPUJlYXJlciB0b2sBAQ==";
constexpr char kErrorChallenge[] =
    "eyJzdGF0dXMiOiI0MDEiLCJzY2hlbWVzIjoiYmVhcmVyIiwic2NvcGUiOiJodHRwczovL21h"
    "aWwuZ29vZ2xlLmNvbS8ifQ==";

std::string OAuthBearer(int port) {
  return SaslWireText(
      "n,a=alice,\x01host=127.0.0.1\x01port=" + std::to_string(port) + "\x01" +
      "auth=Bearer tok\x01\x01");
}

template <typename Client>
std::unique_ptr<Client> ClientOf(const ScriptedServer& server,
                                 const std::string& token = "tok") {
  auto client = std::make_unique<Client>();
  client->SetHost("127.0.0.1");
  client->SetPort(server.Port());
  client->SetUsername("alice");
  client->SetPassword("never sent");
  client->SetAccessToken(token);
  client->SetReadTimeout(10000);
  return client;
}

TEST(TokenLoginTest, Mechanisms) {
  EXPECT_STREQ(TokenMechanism({}, "u", "t", "h", 1)->Name(), "XOAUTH2");
  EXPECT_STREQ(TokenMechanism({"PLAIN", "xoauth2"}, "u", "t", "h", 1)->Name(),
               "XOAUTH2");
  EXPECT_STREQ(
      TokenMechanism({"XOAUTH2", "oauthbearer"}, "u", "t", "h", 1)->Name(),
      "OAUTHBEARER");
  EXPECT_EQ(TokenMechanism({"PLAIN", "LOGIN"}, "u", "t", "h", 1), nullptr);

  SaslOAuthBearer bearer("a,b=c", "t", "mail.example", 993);
  EXPECT_EQ(bearer.InitialResponse(),
            "n,a=a=2Cb=3Dc,\x01host=mail.example\x01port=993\x01"
            "auth=Bearer t\x01\x01");
  EXPECT_EQ(bearer.AfterLastWord("{\"status\":\"invalid_token\"}"), "\x01");
  EXPECT_EQ(bearer.RefusalDetail(), "status invalid_token");

  // What a challenge says reaches the user only as plain words.
  EXPECT_EQ(TokenRefusalDetail("{\"status\" : 401, \"schemes\":\"Bearer\"}"),
            "status 401, scheme Bearer");
  EXPECT_EQ(TokenRefusalDetail("{\"status\":\"4\r\n01<b>\"}"), "status 401b");
  EXPECT_EQ(TokenRefusalDetail("no json"), "");
  EXPECT_EQ(
      TokenRefusalDetail("{\"status\":\"" + std::string(500, '9') + "\"}"),
      "status " + std::string(40, '9'));
}

TEST(TokenLoginTest, Pop3) {
  const std::string long_token(300, 't');
  struct Row {
    const char* name;
    std::string token;
    Script script;
    const char* outcome;
  } rows[] = {
      {"no CAPA: XOAUTH2 with the command", "tok",
       Transcript({"S: +OK hi", "C: CAPA", "S: -ERR unknown",
                   std::string("C: AUTH XOAUTH2 ") + kXOAuth2, "S: +OK in",
                   "C: QUIT"}),
       ""},
      {"OAUTHBEARER when CAPA's SASL names it", "tok",
       Transcript({"S: +OK hi", "C: CAPA", "S: +OK list", "S: USER",
                   "S: SASL PLAIN OAUTHBEARER XOAUTH2", "S: .", "C?",
                   "S: +OK in", "C: QUIT"}),
       ""},
      {"a long token after the empty challenge", long_token,
       Transcript({"S: +OK hi", "C: CAPA", "S: +OK", "S: SASL XOAUTH2", "S: .",
                   "C: AUTH XOAUTH2", "S: + ",
                   "C: " + SaslWireText("user=alice\x01"
                                        "auth=Bearer " +
                                        long_token + "\x01\x01"),
                   "S: +OK in", "C: QUIT"}),
       ""},
      {"refused with an error challenge", "tok",
       Transcript({"S: +OK hi", "C: CAPA", "S: -ERR",
                   std::string("C: AUTH XOAUTH2 ") + kXOAuth2,
                   std::string("S: + ") + kErrorChallenge,
                   "C: ", "S: -ERR [AUTH] Invalid credentials", "C: QUIT"}),
       "reply 2:  [AUTH] Invalid credentials (status 401, scheme "
       "bearer)\\r\\n"},
      {"no token mechanism offered", "tok",
       Transcript({"S: +OK hi", "C: CAPA", "S: +OK", "S: SASL PLAIN", "S: .",
                   "C: QUIT"}),
       "error: The POP3 server 127.0.0.1 offers no log-in with a token (its "
       "SASL capability names neither OAUTHBEARER nor XOAUTH2)"},
      {"a server that keeps asking", "tok",
       Transcript({"S: +OK hi", "C: CAPA",
                   "S: -ERR",   std::string("C: AUTH XOAUTH2 ") + kXOAuth2,
                   "S: + e30=", "C: ",
                   "S: + e30=", "C: ",
                   "S: + e30=", "C: ",
                   "S: + e30=", "C: ",
                   "S: + e30=", "C: ",
                   "S: + e30=", "C: ",
                   "S: + e30=", "C: ",
                   "S: + e30=", "C: ",
                   "S: + e30="}),
       "error: The POP3 server asked more of the log-in than it holds"},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptedServer server(row.script);
    auto client = ClientOf<POP3>(server, row.token);
    const std::string outcome = Outcome([&] { client->ConnectToHost(); });
    EXPECT_EQ(outcome, row.outcome);
    if (outcome.empty()) client->CloseConnection();
    EXPECT_TRUE(server.Played()) << server.Report();
    if (std::string(row.name).starts_with("OAUTHBEARER")) {
      ASSERT_GE(server.Lines().size(), 2u);
      EXPECT_EQ(server.Lines()[1],
                "AUTH OAUTHBEARER " + OAuthBearer(server.Port()));
    }
  }
}

TEST(TokenLoginTest, Imap) {
  struct Row {
    const char* name;
    Script script;
    const char* outcome;
  } rows[] = {
      {"SASL-IR: the response with the command",
       Transcript({"S: * OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=XOAUTH2] hi",
                   std::string("C: A001 AUTHENTICATE XOAUTH2 ") + kXOAuth2,
                   "S: A001 OK [CAPABILITY IMAP4rev1] in", "C: A002 LOGOUT"}),
       ""},
      {"no SASL-IR: after the empty challenge, even with LOGIN allowed",
       Transcript({"S: * OK [CAPABILITY IMAP4rev1 AUTH=XOAUTH2] hi",
                   "C: A001 AUTHENTICATE XOAUTH2", "S: +",
                   std::string("C: ") + kXOAuth2, "S: A001 OK in",
                   "C: A002 CAPABILITY", "S: * CAPABILITY IMAP4rev1",
                   "S: A002 OK", "C: A003 LOGOUT"}),
       ""},
      {"refused with an error challenge",
       Transcript({"S: * OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=XOAUTH2] hi",
                   std::string("C: A001 AUTHENTICATE XOAUTH2 ") + kXOAuth2,
                   std::string("S: + ") + kErrorChallenge, "C: ",
                   "S: A001 NO [AUTHENTICATIONFAILED] Invalid credentials",
                   "C: A002 LOGOUT"}),
       "reply 2: NO [AUTHENTICATIONFAILED] Invalid credentials (status 401, "
       "scheme bearer)"},
      {"no token mechanism",
       Transcript(
           {"S: * OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] hi", "C: A001 LOGOUT"}),
       "error: The IMAP server 127.0.0.1 offers no log-in with a token "
       "(neither AUTH=OAUTHBEARER nor AUTH=XOAUTH2)"},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptedServer server(row.script);
    auto client = ClientOf<IMAP>(server);
    const std::string outcome = Outcome([&] { client->ConnectToHost(); });
    EXPECT_EQ(outcome, row.outcome);
    if (outcome.empty()) client->CloseConnection();
    EXPECT_TRUE(server.Played()) << server.Report();
  }
}

TEST(TokenLoginTest, Smtp) {
  const std::vector<std::string> greeted = {"S: 220 hi", "C: EHLO client.test",
                                            "S: 250-test.invalid"};
  struct Row {
    const char* name;
    std::vector<std::string> lines;
    const char* outcome;
  } rows[] = {
      {"XOAUTH2 with the command",
       {"S: 250 AUTH LOGIN PLAIN XOAUTH2", "C: RSET", "S: 250 ok",
        std::string("C: AUTH XOAUTH2 ") + kXOAuth2, "S: 235 ok",
        "C: MAIL FROM:<me@example.org>", "S: 250 ok",
        "C: RCPT TO:<to@example.org>", "S: 250 ok", "C: DATA", "S: 354 go",
        "B:", "S: 250 queued", "C: QUIT"},
       ""},
      {"refused with an error challenge",
       {"S: 250 AUTH XOAUTH2", "C: RSET", "S: 250 ok",
        std::string("C: AUTH XOAUTH2 ") + kXOAuth2,
        std::string("S: 334 ") + kErrorChallenge,
        "C: ", "S: 535 5.7.8 Username and Password not accepted", "C: QUIT"},
       "reply 535: 5.7.8 Username and Password not accepted (status 401, "
       "scheme bearer)\\r\\n"},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    Script script;
    std::vector<std::string> all = greeted;
    all.insert(all.end(), row.lines.begin(), row.lines.end());
    for (const std::string& line : all) script.Transcript({line});
    ScriptedServer server(script);
    auto client = ClientOf<SMTP>(server);
    client->SetHeloName("client.test");
    client->SetAuthenticationType(AuthenticationType::atLogin);
    client->ConnectToHost();
    message::Message msg;
    msg.From().SetAddress("me@example.org");
    msg.Recipients().SetAddressesText("to@example.org");
    EXPECT_EQ(Outcome([&] { client->SendMessage(msg); }), row.outcome);
    client->CloseConnection();
    EXPECT_TRUE(server.Played()) << server.Report();
  }
}

}  // namespace
}  // namespace replyvane::mail
