// The SMTP client against scripted servers: greeting and mechanism
// discovery, whole transactions with and without AUTH LOGIN, and every
// refused step stopping the dialogue where it was refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "mail/pop3.h"
#include "mail/smtp.h"
#include "message/message.h"
#include "tests/mail/outcome.h"
#include "tests/support/scripted_server.h"

namespace replyvane::mail {
namespace {

using testing::Script;
using testing::ScriptedServer;
using testing::Transcript;
using Lines = std::vector<std::string>;

std::unique_ptr<SMTP> ClientOf(const ScriptedServer& server) {
  auto client = std::make_unique<SMTP>();
  client->SetHost("127.0.0.1");
  client->SetPort(server.Port());
  client->SetHeloName("client.test");
  client->SetUsername("alice");
  client->SetPassword("secret");
  client->SetMailAgent("Agent 1.0");
  client->SetReadTimeout(10000);
  return client;
}

// From me@example.org to two To addresses, one Cc and one Bcc.
void Compose(message::Message& msg) {
  msg.From().SetText("Me <me@example.org>");
  msg.Recipients().SetAddressesText("to1@example.org, Two <to2@example.org>");
  msg.CCList().SetAddressesText("cc@example.org");
  msg.BccList().SetAddressesText("bcc@example.org");
  msg.SetSubject("Hello");
  msg.SetBody({"Hi", ".dot"});
}

// Greeting and an EHLO reply announcing AUTH LOGIN.
Script Greeted(std::initializer_list<std::string_view> rest) {
  Script script =
      Transcript({"S: 220 test.invalid ready", "C: EHLO client.test",
                  "S: 250-test.invalid", "S: 250 AUTH LOGIN"});
  return script.Transcript(rest);
}

TEST(SmtpDialogueTest, GreetingLearnsAnnouncedMechanisms) {
  struct Row {
    const char* name;
    bool use_ehlo;
    Script script;
    Lines schemes;
    const char* outcome;
  } rows[] = {
      {"both announcement forms",
       true,
       Transcript({"S: 220 hi", "C: EHLO client.test", "S: 250-test.invalid",
                   "S: 250-AUTH=LOGIN", "S: 250-AUTHENTICATE X", "S: 250-AUTH",
                   "S: 250-SIZE 100", "S: 250 AUTH LOGIN PLAIN", "C: QUIT"}),
       {"LOGIN", "PLAIN"},
       ""},
      {"lower case",
       true,
       Transcript({"S: 220 hi", "C: EHLO client.test",
                   "S: 250 auth login=cram-md5 login", "C: QUIT"}),
       {"LOGIN", "CRAM-MD5"},
       ""},
      {"EHLO refused falls back to HELO",
       true,
       Transcript({"S: 220 hi", "C: EHLO client.test", "S: 500 what",
                   "C: HELO client.test", "S: 250 ok", "C: QUIT"}),
       {},
       ""},
      {"EHLO off",
       false,
       Transcript({"S: 220 hi", "C: HELO client.test", "S: 250 ok", "C: QUIT"}),
       {},
       ""},
      {"greeting refused",
       true,
       Transcript({"S: 554 no service", "C: QUIT"}),
       {},
       "reply 554: no service\\r\\n"},
      {"HELO refused",
       true,
       Transcript({"S: 220 hi", "C: EHLO client.test", "S: 502 no",
                   "C: HELO client.test", "S: 501 bad name", "C: QUIT"}),
       {},
       "reply 501: bad name\\r\\n"},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptedServer server(row.script);
    auto client = ClientOf(server);
    client->SetUseEhlo(row.use_ehlo);
    std::string outcome = Outcome([&] { client->ConnectToHost(); });
    EXPECT_EQ(outcome, row.outcome);
    EXPECT_EQ(client->SupportedAuthSchemes(), row.schemes);
    bool login = std::find(row.schemes.begin(), row.schemes.end(), "LOGIN") !=
                 row.schemes.end();
    EXPECT_EQ(client->IsAuthSchemeAvailable(AuthenticationType::atLogin),
              login);
    EXPECT_FALSE(client->IsAuthSchemeAvailable(AuthenticationType::atNone));
    if (outcome.empty()) client->CloseConnection();
    EXPECT_FALSE(client->IsConnected());
    EXPECT_TRUE(server.Played());
  }
}

TEST(SmtpDialogueTest, AuthenticatesOncePerConnectionAndSendsEveryRecipient) {
  ScriptedServer server(
      Greeted({"C: RSET", "S: 250 ok",  //
               "C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6",
               "C: YWxpY2U=", "S: 334 UGFzc3dvcmQ6", "C: c2VjcmV0",
               "S: 235 2.7.0 ok", "C: MAIL FROM:<me@example.org>", "S: 250 ok",
               "C: RCPT TO:<to1@example.org>", "S: 250 ok",
               "C: RCPT TO:<to2@example.org>", "S: 251 will forward",
               "C: RCPT TO:<cc@example.org>", "S: 250 ok",
               "C: RCPT TO:<bcc@example.org>", "S: 250 ok",  //
               "C: DATA", "S: 354 go", "B:", "S: 250 queued",
               // The second transaction on the connection: no AUTH.
               "C: RSET", "S: 250 ok",  //
               "C: MAIL FROM:<me@example.org>", "S: 250 ok",
               "C: RCPT TO:<to1@example.org>", "S: 250 ok",
               "C: RCPT TO:<to2@example.org>", "S: 250 ok",
               "C: RCPT TO:<cc@example.org>", "S: 250 ok",
               "C: RCPT TO:<bcc@example.org>", "S: 250 ok",    //
               "C: DATA", "S: 354 go", "B:", "S: 250 queued",  //
               "C: QUIT"}));
  auto client = ClientOf(server);
  client->SetAuthenticationType(AuthenticationType::atLogin);
  client->ConnectToHost();
  message::Message msg;
  Compose(msg);
  client->SendMessage(msg);
  EXPECT_TRUE(client->AuthenticationDone());
  client->SendMessage(msg);
  client->CloseConnection();
  EXPECT_FALSE(client->AuthenticationDone());
  ASSERT_TRUE(server.Played());

  Lines bodies = server.Bodies();
  ASSERT_EQ(bodies.size(), 2u);
  for (const std::string& body : bodies) {
    EXPECT_NE(body.find("\r\nSubject: Hello\r\n"), std::string::npos) << body;
    EXPECT_NE(body.find("\r\nX-Mailer: Agent 1.0\r\n"), std::string::npos)
        << body;
    EXPECT_NE(body.find("\r\n\r\nHi\r\n..dot\r\n"), std::string::npos) << body;
    EXPECT_EQ(body.find("bcc@"), std::string::npos) << body;
  }
  EXPECT_EQ(msg.ExtraHeaders().ValueOf("X-Mailer"), "Agent 1.0");
  EXPECT_EQ(msg.Body(), (Lines{"Hi", ".dot"}));
}

TEST(SmtpDialogueTest, SimpleLoginUsesWhatTheServerOffersOrSendsNothing) {
  struct Row {
    const char* name;
    Script script;
    const char* outcome;
  } rows[] = {
      {"PLAIN alone gets PLAIN",
       Transcript({"S: 220 hi", "C: EHLO client.test", "S: 250-test.invalid",
                   "S: 250 AUTH PLAIN CRAM-MD5", "C: RSET", "S: 250 ok",
                   "C: AUTH PLAIN AGFsaWNlAHNlY3JldA==", "S: 235 ok",
                   "C: MAIL FROM:<me@example.org>", "S: 250 ok",
                   "C: RCPT TO:<to@example.org>", "S: 250 ok", "C: DATA",
                   "S: 354 go", "B:", "S: 250 queued", "C: QUIT"}),
       ""},
      {"no known mechanism",
       Transcript({"S: 220 hi", "C: EHLO client.test", "S: 250-test.invalid",
                   "S: 250 AUTH CRAM-MD5 XOAUTH2", "C: RSET", "S: 250 ok",
                   "C: QUIT"}),
       "error: The SMTP server offers no log-in method that Replyvane knows: "
       "it announces CRAM-MD5 XOAUTH2"},
      {"none announced after HELO",
       Transcript({"S: 220 hi", "C: EHLO client.test", "S: 500 unknown",
                   "C: HELO client.test", "S: 250 ok", "C: RSET", "S: 250 ok",
                   "C: QUIT"}),
       "error: The SMTP server offers no log-in method that Replyvane knows: "
       "it announces none"},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptedServer server(row.script);
    auto client = ClientOf(server);
    client->SetAuthenticationType(AuthenticationType::atLogin);
    client->ConnectToHost();
    message::Message msg;
    msg.From().SetAddress("me@example.org");
    msg.Recipients().SetAddressesText("to@example.org");
    EXPECT_EQ(Outcome([&] { client->SendMessage(msg); }), row.outcome);
    EXPECT_EQ(client->AuthenticationDone(), row.outcome[0] == '\0');
    client->CloseConnection();
    EXPECT_TRUE(server.Played());
  }
}

// Greeted, then RSET and a successful AUTH LOGIN, then `rest`.
Script LoggedIn(std::initializer_list<std::string_view> rest) {
  Script script =
      Greeted({"C: RSET", "S: 250 ok", "C: AUTH LOGIN", "S: 334 x",
               "C: YWxpY2U=", "S: 334 y", "C: c2VjcmV0", "S: 235 ok"});
  return script.Transcript(rest);
}

// LoggedIn, then the sender and both recipients accepted, then `rest`.
Script Addressed(std::initializer_list<std::string_view> rest) {
  Script script = LoggedIn({"C: MAIL FROM:<me@example.org>", "S: 250 ok",
                            "C: RCPT TO:<to1@example.org>", "S: 250 ok",
                            "C: RCPT TO:<to2@example.org>", "S: 250 ok"});
  return script.Transcript(rest);
}

TEST(SmtpDialogueTest, RefusedStepRaisesAndSendsNothingMore) {
  struct Row {
    const char* name;
    Script script;
    const char* outcome;
    bool authenticated;
  } rows[] = {
      {"AUTH LOGIN",
       Greeted({"C: RSET", "S: 250 ok", "C: AUTH LOGIN",
                "S: 504 5.5.4 unrecognized", "C: QUIT"}),
       "reply 504: 5.5.4 unrecognized\\r\\n", false},
      {"user name",
       Greeted({"C: RSET", "S: 250 ok", "C: AUTH LOGIN", "S: 334 x",
                "C: YWxpY2U=", "S: 535 5.7.8 no", "C: QUIT"}),
       "reply 535: 5.7.8 no\\r\\n", false},
      {"password",
       Greeted({"C: RSET", "S: 250 ok", "C: AUTH LOGIN", "S: 334 x",
                "C: YWxpY2U=", "S: 334 y", "C: c2VjcmV0",
                "S: 535 5.7.8 Authentication credentials invalid", "C: QUIT"}),
       "reply 535: 5.7.8 Authentication credentials invalid\\r\\n", false},
      {"sender",
       LoggedIn({"C: MAIL FROM:<me@example.org>", "S: 550 not you", "C: QUIT"}),
       "reply 550: not you\\r\\n", true},
      {"second recipient",
       LoggedIn({"C: MAIL FROM:<me@example.org>", "S: 250 ok",
                 "C: RCPT TO:<to1@example.org>", "S: 250 ok",
                 "C: RCPT TO:<to2@example.org>", "S: 550-no such user",
                 "S: 550 here", "C: QUIT"}),
       "reply 550: no such user\\r\\nhere\\r\\n", true},
      {"DATA", Addressed({"C: DATA", "S: 554 no valid recipients", "C: QUIT"}),
       "reply 554: no valid recipients\\r\\n", true},
      {"end of message",
       Addressed({"C: DATA", "S: 354 go", "B:", "S: 552 too big", "C: QUIT"}),
       "reply 552: too big\\r\\n", true},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptedServer server(row.script);
    auto client = ClientOf(server);
    client->SetAuthenticationType(AuthenticationType::atLogin);
    client->ConnectToHost();
    message::Message msg;
    msg.From().SetAddress("me@example.org");
    msg.Recipients().SetAddressesText("to1@example.org, to2@example.org");
    EXPECT_EQ(Outcome([&] { client->SendMessage(msg); }), row.outcome);
    EXPECT_EQ(client->AuthenticationDone(), row.authenticated);
    client->CloseConnection();
    EXPECT_TRUE(server.Played());
  }
}

// Greeting, `count` transactions to to@example.org without AUTH, QUIT.
Script Transactions(int count) {
  Script script = Greeted({});
  for (int i = 0; i < count; ++i) {
    script.Transcript({"C: RSET", "S: 250 ok", "C: MAIL FROM:<me@example.org>",
                       "S: 250 ok", "C: RCPT TO:<to@example.org>", "S: 250 ok",
                       "C: DATA", "S: 354 go", "B:", "S: 250 queued"});
  }
  return script.Transcript({"C: QUIT"});
}

void Address(message::Message& msg) {
  msg.From().SetAddress("me@example.org");
  msg.Recipients().SetAddressesText("to@example.org");
}

TEST(SmtpDialogueTest, MailAgentReplacesOrRemovesTheXMailerLine) {
  ScriptedServer server(Transactions(2));
  auto client = ClientOf(server);
  client->ConnectToHost();
  message::Message msg;
  Address(msg);
  msg.ExtraHeaders().Add("X-Mailer: Old");
  msg.ExtraHeaders().Add("X-Other: kept");
  client->SetMailAgent("New");
  client->SendMessage(msg);
  EXPECT_EQ(msg.ExtraHeaders().Lines(),
            (Lines{"X-Mailer: New", "X-Other: kept"}));
  client->SetMailAgent("");
  client->SendMessage(msg);
  EXPECT_EQ(msg.ExtraHeaders().Lines(), Lines{"X-Other: kept"});
  client->CloseConnection();
  ASSERT_TRUE(server.Played());
  Lines bodies = server.Bodies();
  ASSERT_EQ(bodies.size(), 2u);
  EXPECT_NE(bodies[0].find("\r\nX-Mailer: New\r\nX-Other: kept\r\n"),
            std::string::npos)
      << bodies[0];
  EXPECT_EQ(bodies[1].find("X-Mailer"), std::string::npos) << bodies[1];
  EXPECT_NE(bodies[1].find("\r\nX-Other: kept\r\n"), std::string::npos)
      << bodies[1];
}

TEST(SmtpDialogueTest, SettingsAreCoupledAndCloseForgetsTheLogin) {
  SMTP client;
  EXPECT_EQ(client.Port(), 25);
  EXPECT_TRUE(client.UseEhlo());
  EXPECT_EQ(client.AuthenticationType(), AuthenticationType::atNone);
  client.SetUseEhlo(false);
  client.SetAuthenticationType(AuthenticationType::atLogin);
  EXPECT_TRUE(client.UseEhlo());
  client.SetUseEhlo(false);
  EXPECT_EQ(client.AuthenticationType(), AuthenticationType::atNone);

  // Nothing is sent without atLogin, but the connection counts as done.
  EXPECT_FALSE(client.Authenticate());
  EXPECT_TRUE(client.AuthenticationDone());
  EXPECT_NO_THROW(client.CloseConnection());
  EXPECT_FALSE(client.AuthenticationDone());

  SMTP copy;
  client.SetHost("mail.example.org");
  client.SetPort(2525);
  client.SetUsername("u");
  client.SetPassword("p");
  client.SetMailAgent("m");
  client.SetHeloName("not copied");
  client.SetAuthenticationType(AuthenticationType::atLogin);
  copy.Assign(client);
  EXPECT_EQ(copy.Host(), "mail.example.org");
  EXPECT_EQ(copy.Port(), 2525);
  EXPECT_EQ(copy.Username(), "u");
  EXPECT_EQ(copy.Password(), "p");
  EXPECT_EQ(copy.MailAgent(), "m");
  EXPECT_EQ(copy.HeloName(), "");
  EXPECT_EQ(copy.AuthenticationType(), AuthenticationType::atLogin);

  // The copy keeps the rule: logging in needs EHLO. The encryption is
  // copied with the rest.
  SMTP without_ehlo;
  without_ehlo.SetUseEhlo(false);
  client.SetTLSMode(net::TLSMode::kImplicit);
  client.SetTLSFingerprint("AB");
  without_ehlo.Assign(client);
  EXPECT_TRUE(without_ehlo.UseEhlo());
  EXPECT_EQ(without_ehlo.TLSMode(), net::TLSMode::kImplicit);
  EXPECT_EQ(without_ehlo.TLSFingerprint(), "AB");
}

TEST(SmtpDialogueTest, VerifyAndExpandReadTheReplyText) {
  ScriptedServer server(
      Greeted({"C: VRFY bob", "S: 250 Bob <bob@x.org>", "C: EXPN staff",
               "S: 250-a@x.org", "S: 250 b@x.org", "C: VRFY eve",
               "S: 550 unknown", "C: QUIT"}));
  auto client = ClientOf(server);
  client->ConnectToHost();
  EXPECT_EQ(client->VerifyAddress("bob"), "Bob <bob@x.org>");
  client->ExpandAddress("staff");
  EXPECT_EQ(client->LastReply().Text(), (Lines{"a@x.org", "b@x.org"}));
  EXPECT_EQ(Outcome([&] { client->VerifyAddress("eve"); }),
            "reply 550: unknown\\r\\n");
  client->CloseConnection();
  EXPECT_TRUE(server.Played());
}

// A sender address taken from a received header must not be able to add
// commands to the reply's SMTP dialogue: reading blanks a received line's
// bare CR, and the client refuses an address that holds one all the same.
TEST(SmtpDialogueTest, ReceivedAddressWithBareCrIsRefusedBeforeAnythingIsSent) {
  ScriptedServer pop(
      Transcript({"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS secret",
                  "S: +OK", "C: TOP 1 0", "S: +OK",
                  "S: From: <victim@example.org\rRCPT TO:<x@example.net>>",
                  "S: Subject: hi", "S: .", "C: QUIT"}));
  POP3 pop3;
  pop3.SetHost("127.0.0.1");
  pop3.SetPort(pop.Port());
  pop3.SetUsername("alice");
  pop3.SetPassword("secret");
  pop3.SetReadTimeout(10000);
  pop3.ConnectToHost();
  message::Message fetched;
  pop3.FetchHeader(1, fetched);
  pop3.CloseConnection();
  EXPECT_TRUE(pop.Played());
  EXPECT_EQ(fetched.Headers().ValueOf("From"),
            "<victim@example.org RCPT TO:<x@example.net>>");

  message::Message received;
  received.From().SetAddress("victim@example.org\rRCPT TO:<x@example.net>");
  struct Row {
    const char* name;
    bool as_sender;
    const char* word;
  } rows[] = {{"as recipient", false, "RCPT"}, {"as sender", true, "MAIL"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptedServer server(Greeted({"C: QUIT"}));
    auto client = ClientOf(server);
    client->ConnectToHost();
    message::Message reply;
    Address(reply);
    message::EMailAddressItem& target =
        row.as_sender ? reply.From() : reply.Recipients().AddItem();
    target = received.From();
    EXPECT_EQ(Outcome([&] { client->SendMessage(reply); }),
              std::string("unsafe: Refused to send the ") + row.word +
                  " command: its text holds a line break or NUL byte");
    client->CloseConnection();
    EXPECT_TRUE(server.Played());
  }
}

}  // namespace
}  // namespace replyvane::mail
