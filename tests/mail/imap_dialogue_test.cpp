// The IMAP client against scripted servers: exact dialogues for the log-in
// variants (atoms, quoted strings, literals, AUTHENTICATE PLAIN), SELECT,
// UID SEARCH, fetches whose literals hold dots and arrive among other
// data, the after-answering commands, and refusals, BYE and drops.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "mail/imap.h"
#include "message/message.h"
#include "tests/mail/outcome.h"
#include "tests/support/scripted_server.h"

namespace replyvane::mail {
namespace {

using testing::Script;
using testing::ScriptedServer;
using testing::Transcript;

constexpr char kGreeting[] =
    "S: * OK [CAPABILITY IMAP4rev1 LITERAL+ UIDPLUS] ready";

std::unique_ptr<IMAP> ClientOf(const ScriptedServer& server,
                               const std::string& password = "secret") {
  auto client = std::make_unique<IMAP>();
  client->SetHost("127.0.0.1");
  client->SetPort(server.Port());
  client->SetUsername("alice");
  client->SetPassword(password);
  client->SetReadTimeout(10000);
  return client;
}

// Greeting and LOGIN, then `rest`.
Script LoggedIn(std::initializer_list<std::string_view> rest) {
  Script script = Transcript({kGreeting, "C: A001 LOGIN alice secret",
                              "S: A001 OK [CAPABILITY IMAP4rev1 UIDPLUS] in"});
  return script.Transcript(rest);
}

TEST(ImapDialogueTest, LogInSendsEachTextAsItMustGo) {
  struct Row {
    const char* name;
    std::string password;
    Script script;
    const char* outcome;
  } rows[] = {
      {"atoms", "secret",
       Transcript({kGreeting, "C: A001 LOGIN alice secret", "S: A001 OK in",
                   "C: A002 CAPABILITY", "S: * CAPABILITY IMAP4rev1",
                   "S: A002 OK", "C: A003 LOGOUT"}),
       ""},
      {"quoted", "two words",
       Transcript({kGreeting, "C: A001 LOGIN alice \"two words\"",
                   "S: A001 OK [CAPABILITY IMAP4rev1] in", "C: A002 LOGOUT"}),
       ""},
      {"a quote goes as a literal", "se\"cr\xC3\xA9t",
       Transcript({"S: * OK [CAPABILITY IMAP4rev1] ready",
                   "C: A001 LOGIN alice {8}", "S: + go on",
                   "C: se\"cr\xC3\xA9t", "S: A001 OK [CAPABILITY IMAP4rev1] in",
                   "C: A002 LOGOUT"}),
       ""},
      {"LITERAL+: no wait for the go-ahead", "se\"cr\xC3\xA9t",
       Transcript({kGreeting, "C: A001 LOGIN alice {8+}", "C: se\"cr\xC3\xA9t",
                   "S: A001 OK [CAPABILITY IMAP4rev1] in", "C: A002 LOGOUT"}),
       ""},
      {"LITERAL-: only up to 4096 bytes without the wait",
       std::string(4097, '"'),
       Transcript({"S: * OK [CAPABILITY IMAP4rev1 LITERAL-] ready",
                   "C: A001 LOGIN alice {4097}", "S: + go on",
                   "C: " + std::string(4097, '"'),
                   "S: A001 OK [CAPABILITY IMAP4rev1] in", "C: A002 LOGOUT"}),
       ""},
      {"LOGINDISABLED: AUTHENTICATE PLAIN", "secret",
       Transcript({"S: * OK [CAPABILITY IMAP4rev1 LOGINDISABLED AUTH=PLAIN] hi",
                   "C: A001 AUTHENTICATE PLAIN", "S: +",
                   "C: AGFsaWNlAHNlY3JldA==",
                   "S: A001 OK [CAPABILITY IMAP4rev1] in", "C: A002 LOGOUT"}),
       ""},
      {"SASL-IR", "secret",
       Transcript({"S: * OK [CAPABILITY IMAP4rev1 LOGINDISABLED AUTH=PLAIN "
                   "SASL-IR] hi",
                   "C: A001 AUTHENTICATE PLAIN AGFsaWNlAHNlY3JldA==",
                   "S: A001 OK [CAPABILITY IMAP4rev1] in", "C: A002 LOGOUT"}),
       ""},
      {"no log-in known", "secret",
       Transcript({"S: * OK [CAPABILITY IMAP4rev1 LOGINDISABLED] hi",
                   "C: A001 LOGOUT"}),
       "error: The IMAP server 127.0.0.1 allows no log-in that Replyvane "
       "knows: LOGIN is disabled and AUTH=PLAIN is not offered"},
      {"refused", "secret",
       Transcript({kGreeting, "C: A001 LOGIN alice secret",
                   "S: A001 NO [AUTHENTICATIONFAILED] Authentication failed.",
                   "C: A002 LOGOUT"}),
       "reply 2: NO [AUTHENTICATIONFAILED] Authentication failed."},
      {"BYE for a greeting", "secret", Transcript({"S: * BYE too busy"}),
       "error: The IMAP server 127.0.0.1 refused the session: BYE too busy"},
      {"a drop in the log-in", "secret",
       Transcript(
           {kGreeting, "C: A001 LOGIN alice secret", "S| A001 O", "CLOSE"}),
       "error: Connection Closed Gracefully."},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptedServer server(row.script);
    auto client = ClientOf(server, row.password);
    const std::string outcome = Outcome([&] { client->ConnectToHost(); });
    EXPECT_EQ(outcome, row.outcome);
    if (outcome.empty()) client->CloseConnection();
    EXPECT_FALSE(client->IsConnected());
    EXPECT_TRUE(server.Played()) << server.Report();
  }
}

TEST(ImapDialogueTest, SelectSearchAndFetchReadWhatTheServerSends) {
  const std::string header = "From: ann@example.com\r\nSubject: hi\r\n\r\n";
  const std::string whole = header + "First.\r\n.\r\n..two\r\n";
  ScriptedServer server(LoggedIn(
      {"C: A002 SELECT INBOX",
       "S: * 3 EXISTS",
       "S: * OK [UIDVALIDITY 77] valid",
       "S: * OK [UIDNEXT 9] next",
       "S: * FLAGS (\\Seen \\Deleted)",
       "S: A002 OK [READ-WRITE] selected",
       "C: A003 UID SEARCH UID 7:*",
       "S: * SEARCH 8 7",
       "S: A003 OK done",
       "C: A004 UID FETCH 7 (UID RFC822.SIZE BODY.PEEK[HEADER])",
       "S: * 4 EXISTS",
       "S| * 2 FETCH (UID 7 BODY[HEADER] {" + std::to_string(header.size()) +
           "}\r\n" + header + " RFC822.SIZE 1234)\r\n",
       "S: A004 OK fetched",
       "C: A005 UID FETCH 7 (UID RFC822.SIZE BODY.PEEK[])",
       "S| * 2 FETCH (RFC822.SIZE 1234 BODY[] {" +
           std::to_string(whole.size()) + "}\r\n" + whole + " UID 7)\r\n",
       "S: A005 OK fetched",
       "C: A006 UID FETCH 99 (UID RFC822.SIZE BODY.PEEK[])",
       "S: A006 OK nothing",
       "C: A007 UID STORE 7 +FLAGS.SILENT (\\Seen)",
       "S: A007 OK",
       "C: A008 UID COPY 7 Answered",
       "S: A008 OK copied",
       "C: A009 UID STORE 7 +FLAGS.SILENT (\\Deleted)",
       "S: A009 OK",
       "C: A010 UID EXPUNGE 7",
       "S: * 2 EXPUNGE",
       "S: A010 OK",
       "C: A011 LOGOUT",
       "S: * BYE see you",
       "S: A011 OK"}));
  auto connected = ClientOf(server);
  IMAP& client = *connected;
  client.ConnectToHost();
  EXPECT_TRUE(client.HasCapability("uidplus"));
  const IMAP::FolderState folder = client.Select("INBOX");
  EXPECT_EQ(folder.exists, 3u);
  EXPECT_EQ(folder.uid_validity, 77u);
  EXPECT_EQ(folder.uid_next, 9u);
  EXPECT_EQ(client.UidSearch("UID 7:*"), (std::vector<uint32_t>{7, 8}));
  message::Message msg;
  int64_t size = 0;
  EXPECT_TRUE(client.FetchHeader(7, msg, size));
  EXPECT_EQ(size, 1234);
  EXPECT_EQ(msg.Subject(), "hi");
  EXPECT_TRUE(msg.Body().empty());
  message::Message full;
  EXPECT_TRUE(client.FetchMessage(7, full));
  EXPECT_EQ(full.Body(), (std::vector<std::string>{"First.", ".", "..two"}));
  message::Message none;
  EXPECT_FALSE(client.FetchMessage(99, none));
  client.AddFlags(7, "\\Seen");
  client.Move(7, "Answered");
  client.Logout();
  EXPECT_FALSE(client.IsConnected());
  EXPECT_TRUE(server.Played()) << server.Report();
}

// Many UIDs go as ranges, in command lines of bounded length; without
// UIDPLUS one EXPUNGE does.
TEST(ImapDialogueTest, SetsOfUidsGoAsRangesInBoundedLines) {
  std::vector<uint32_t> many;
  std::string first, second;
  for (uint32_t uid = 1001; uid <= 1600; uid += 2) {
    many.push_back(uid);
    std::string& set = first.size() + 5 <= 1000 ? first : second;
    if (!set.empty()) set += ',';
    set += std::to_string(uid);
  }
  ScriptedServer server(LoggedIn(
      {"C: A002 UID STORE 1:3,5,9:10 +FLAGS.SILENT (\\Deleted)", "S: A002 OK",
       "C: A003 UID EXPUNGE 7", "S: A003 OK", "C: A004 UID EXPUNGE " + first,
       "S: A004 OK", "C: A005 UID EXPUNGE " + second, "S: A005 OK",
       "C: A006 LOGOUT"}));
  auto client = ClientOf(server);
  client->ConnectToHost();
  client->AddFlags({10, 3, 1, 2, 5, 9, 2}, "\\Deleted");
  client->Expunge({});
  client->Expunge({7});
  client->Expunge(many);
  client->CloseConnection();
  EXPECT_TRUE(server.Played()) << server.Report();

  ScriptedServer plain(Transcript(
      {"S: * OK [CAPABILITY IMAP4rev1] hi", "C: A001 LOGIN alice secret",
       "S: A001 OK [CAPABILITY IMAP4rev1] in", "C: A002 EXPUNGE", "S: A002 OK",
       "C: A003 LOGOUT"}));
  auto other = ClientOf(plain);
  other->ConnectToHost();
  other->Expunge({4, 8});
  other->CloseConnection();
  EXPECT_TRUE(plain.Played()) << plain.Report();
}

// Folder names go in modified UTF-7 to an IMAP4rev1 server, as UTF-8 to
// one of IMAP4rev2 alone; a name that is not text is refused unsent.
TEST(ImapDialogueTest, FolderNamesGoAsTheServerTakesThem) {
  ScriptedServer rev1(
      LoggedIn({"C: A002 CREATE ~peter/mail/&U,BTFw-/&ZeVnLIqe-", "S: A002 OK",
                "C: A003 SELECT \"Entw&APw-rfe &- Co &2D3eAA-\"",
                "S: * OK [UIDVALIDITY 1] v", "S: A003 OK",
                "C: A004 UID COPY 4 &AMk-t&AOk-", "S: A004 OK",
                "C: A005 UID STORE 4 +FLAGS.SILENT (\\Deleted)", "S: A005 OK",
                "C: A006 UID EXPUNGE 4", "S: A006 OK", "C: A007 LOGOUT"}));
  auto client = ClientOf(rev1);
  client->ConnectToHost();
  client->Create(
      "~peter/mail/\xE5\x8F\xB0\xE5\x8C\x97/"
      "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");
  client->Select("Entw\xC3\xBCrfe & Co \xF0\x9F\x98\x80");
  for (const char* bad : {"a\xFF", "\xC0\xAF", "\xED\xA0\x80", "a\tb"}) {
    EXPECT_EQ(Outcome([&] {
                client->Create(bad);
              }).rfind("error: The IMAP folder name", 0),
              0u)
        << bad;
  }
  client->Move(4, "\xC3\x89t\xC3\xA9");
  client->CloseConnection();
  EXPECT_TRUE(rev1.Played()) << rev1.Report();

  ScriptedServer rev2(Transcript(
      {"S: * OK [CAPABILITY IMAP4rev2] ready", "C: A001 LOGIN alice secret",
       "S: A001 OK [CAPABILITY IMAP4rev2 MOVE] in", "C: A002 UID MOVE 4 {5}",
       "S: + go", "C: \xC3\x89t\xC3\xA9", "S: A002 OK", "C: A003 LOGOUT"}));
  auto second = ClientOf(rev2);
  second->ConnectToHost();
  second->Move(4, "\xC3\x89t\xC3\xA9");
  second->CloseConnection();
  EXPECT_TRUE(rev2.Played()) << rev2.Report();
}

// IDLE ends with DONE when the folder grows (an EXISTS above the count
// known, after expunges and flag changes that do not count), when the time
// is up, and when the caller stops it; a BYE while idling ends the session.
TEST(ImapDialogueTest, IdleEndsOnNewMailTimeOrStopAndABYEEndsTheSession) {
  ScriptedServer server(LoggedIn({"C: A002 EXAMINE INBOX",
                                  "S: * 3 EXISTS",
                                  "S: * OK [UIDVALIDITY 4] v",
                                  "S: A002 OK",
                                  "C: A003 IDLE",
                                  "S: + idling",
                                  "S: * 2 EXPUNGE",
                                  "S: * 1 FETCH (FLAGS (\\Seen))",
                                  "S: * 2 EXISTS",
                                  "S: * 3 EXISTS",
                                  "C: DONE",
                                  "S: A003 OK done",
                                  "C: A004 IDLE",
                                  "S: + idling",
                                  "C: DONE",
                                  "S: A004 OK done",
                                  "C: A005 IDLE",
                                  "S: + idling",
                                  "C: DONE",
                                  "S: A005 OK done",
                                  "C: A006 IDLE",
                                  "S: + idling",
                                  "S: * BYE shutting down",
                                  "CLOSE"}));
  auto client = ClientOf(server);
  client->ConnectToHost();
  client->Select("INBOX", true);
  EXPECT_TRUE(client->Idle(std::chrono::seconds(10), nullptr));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client->Idle(std::chrono::milliseconds(300), nullptr));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  int asked = 0;
  EXPECT_FALSE(
      client->Idle(std::chrono::seconds(20), [&] { return ++asked > 2; }));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_EQ(Outcome([&] { client->Idle(std::chrono::seconds(10), nullptr); }),
            "error: Connection Closed Gracefully.");
  EXPECT_FALSE(client->IsConnected());
  EXPECT_TRUE(server.Played()) << server.Report();
}

TEST(ImapDialogueTest, ADropInsideALiteralClosesTheConnection) {
  ScriptedServer server(Transcript(
      {kGreeting, "C: A001 LOGIN alice secret",
       "S: A001 OK [CAPABILITY IMAP4rev1] in",
       "C: A002 UID FETCH 5 (UID RFC822.SIZE BODY.PEEK[])",
       "S| * 1 FETCH (UID 5 BODY[] {500}\r\nFrom: a@b\r\n\r\nhal", "CLOSE"}));
  auto client = ClientOf(server);
  client->ConnectToHost();
  message::Message msg;
  EXPECT_EQ(Outcome([&] { client->FetchMessage(5, msg); }),
            "error: Connection Closed Gracefully.");
  EXPECT_FALSE(client->IsConnected());
  EXPECT_TRUE(server.Played()) << server.Report();
}

// A server that answers a command with endless untagged data is stopped by
// the bound, and the connection, out of step, is closed.
TEST(ImapDialogueTest, EndlessUntaggedDataEndsTheCommand) {
  std::string flood;
  for (size_t i = 0; i <= IMAP::kMaxResponsesPerCommand; ++i) {
    flood += "* OK still here\r\n";
  }
  ScriptedServer server(
      Transcript({kGreeting, "C: A001 LOGIN alice secret",
                  "S: A001 OK [CAPABILITY IMAP4rev1] in", "C: A002 NOOP"})
          .Send(flood)
          .Close());
  auto client = ClientOf(server);
  client->ConnectToHost();
  EXPECT_EQ(Outcome([&] { client->Noop(); })
                .rfind("error: The server's reply "
                       "has more than 100000",
                       0),
            0u);
  EXPECT_FALSE(client->IsConnected());
}

}  // namespace
}  // namespace replyvane::mail
