// The POP3 client against scripted servers: exact dialogues for the log-in
// variants and every maildrop operation, including malformed replies.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/reception_limits.h"
#include "mail/pop3.h"
#include "message/message.h"
#include "tests/mail/outcome.h"
#include "tests/support/scripted_server.h"

namespace replyvane::mail {
namespace {

using testing::Script;
using testing::ScriptedServer;
using testing::Transcript;
using Lines = std::vector<std::string>;

std::unique_ptr<POP3> ClientOf(const ScriptedServer& server) {
  auto client = std::make_unique<POP3>();
  client->SetHost("127.0.0.1");
  client->SetPort(server.Port());
  client->SetUsername("alice");
  client->SetPassword("secret");
  client->SetReadTimeout(10000);
  return client;
}

// Greeting and USER/PASS, then `rest`, then the client's QUIT.
Script LoggedIn(std::initializer_list<std::string_view> rest) {
  Script script = Transcript(
      {"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS secret", "S: +OK"});
  script.Transcript(rest);
  return script.Transcript({"C: QUIT"});
}

TEST(Pop3DialogueTest, LogInSucceedsOrClosesWithQuit) {
  struct Row {
    const char* name;
    bool apop;
    Script script;
    const char* outcome;
  } rows[] = {
      {"user/pass", false,
       Transcript({"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS secret",
                   "S: +OK logged in", "C: QUIT"}),
       ""},
      {"status words in any case", false,
       Transcript({"S: +ok ready", "C: USER alice", "S: +Ok", "C: PASS secret",
                   "S: +oK", "C: QUIT"}),
       ""},
      {"apop", true,
       Transcript({"S: +OK ready <12.34.host>",
                   "C: APOP alice 354560fd36ff0bdbe4064860859afdd2", "S: +OK",
                   "C: QUIT"}),
       ""},
      {"apop without timestamp", true, Transcript({"S: +OK ready", "C: QUIT"}),
       "error: Server do not support APOP (no timestamp)"},
      {"wrong password", false,
       Transcript({"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS secret",
                   "S: -ERR [AUTH] Authentication failed.", "C: QUIT"}),
       "reply 2:  [AUTH] Authentication failed.\\r\\n"},
      // One line is one reply: no "+OK-" waits for more lines.
      {"a dash after the status word", false,
       Transcript({"S: +OK-ready", "C: USER alice", "S: +OK- go on",
                   "C: PASS secret", "S: +OK", "C: QUIT"}),
       ""},
      {"lower-case -err greeting", false,
       Transcript({"S: -err busy", "C: QUIT"}), "reply 2:  busy\\r\\n"},
      // Out of step with the server: closed without another word.
      {"unknown status word", false, Transcript({"S: HELLO there"}),
       "error: Unrecognized POP3 Response Header:\\n\"O there\\r\\n\""},
      {"greeting cut short", false, Transcript({"S| +OK rea", "CLOSE"}),
       "error: Connection Closed Gracefully."},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptedServer server(row.script);
    auto client = ClientOf(server);
    client->SetAPOP(row.apop);
    std::string outcome = Outcome([&] { client->ConnectToHost(); });
    EXPECT_EQ(outcome, row.outcome);
    if (outcome.empty()) {
      EXPECT_TRUE(client->IsConnected());
      client->CloseConnection();
    }
    EXPECT_FALSE(client->IsConnected());
    EXPECT_TRUE(server.Played());
  }
}

TEST(Pop3DialogueTest, CountsAndSizesReadTheReplyText) {
  ScriptedServer server(LoggedIn({
      "C: STAT",   "S: +OK",         // bare: no messages
      "C: STAT",   "S: +OK 0 0",     //
      "C: STAT",   "S: +ok 3 1200",  //
      "C: STAT",   "S: +OK x 5",     // not a number
      "C: STAT",   "S: +OK 3",       // no blank: empty count text
      "C: LIST 2", "S: +OK 2 320",   //
      "C: LIST 2", "S: +OK",         // no size
      "C: LIST 2", "S: +OK 2 many",  //
      "C: LIST 2", "S: +OK 320",     // no blank: the whole text
      "C: LIST 9", "S: -ERR no such message",
  }));
  auto client = ClientOf(server);
  client->ConnectToHost();
  // One row per exchange above, in order.
  auto count = [&](int) { return client->GetMessageCount(); };
  auto size = [&](int n) { return client->GetMessageSize(n); };
  struct Row {
    const char* name;
    std::function<int(int)> call;
    int number;
    int expected;
    const char* outcome;
  } rows[] = {
      {"STAT bare +OK", count, 0, 0, ""},
      {"STAT +OK 0 0", count, 0, 0, ""},
      {"STAT +ok 3 1200", count, 0, 3, ""},
      {"STAT +OK x 5", count, 0, -7, "error: 'x' is not a valid integer value"},
      {"STAT +OK 3", count, 0, -7, "error: '' is not a valid integer value"},
      {"LIST +OK 2 320", size, 2, 320, ""},
      {"LIST bare +OK", size, 2, -1, ""},
      {"LIST +OK 2 many", size, 2, -1, ""},
      {"LIST +OK 320", size, 2, 320, ""},
      {"LIST -ERR", size, 9, -7, "reply 2:  no such message\\r\\n"},
  };
  for (const Row& row : rows) {
    int result = -7;
    EXPECT_EQ(Outcome([&] { result = row.call(row.number); }), row.outcome)
        << row.name;
    EXPECT_EQ(result, row.expected) << row.name;
  }
  client->CloseConnection();
  EXPECT_TRUE(server.Played());
}

TEST(Pop3DialogueTest, MailboxSizeSumsTheListingAndAbsorbsEveryFailure) {
  // Where the script goes on with "C: STAT", the connection must still be
  // in step after the listing.
  struct Row {
    const char* name;
    Script script;
    int expected;
  } rows[] = {
      {"listing",
       LoggedIn({"C: LIST", "S: +OK 2 messages", "S: 1 100", "S: 2 250", "S: .",
                 "C: STAT", "S: +OK 2 350"}),
       350},
      // A size that is no number counts 0; a line without a blank is
      // taken whole.
      {"non-number counts 0",
       LoggedIn({"C: LIST", "S: +OK", "S: 1 abc", "S: 2 250", "S: 3", "S: ."}),
       253},
      {"empty line ends it",
       LoggedIn(
           {"C: LIST", "S: +OK", "S: 1 100", "S: ", "C: STAT", "S: +OK 1 100"}),
       100},
      {"refused",
       LoggedIn({"C: LIST", "S: -ERR not now", "C: STAT", "S: +OK 1 100"}), -1},
      {"over 2 GiB is unknown",
       LoggedIn({"C: LIST", "S: +OK", "S: 1 2147483647", "S: 2 1", "S: .",
                 "C: STAT", "S: +OK 2 0"}),
       -1},
      {"connection lost in the listing",
       Transcript({"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS secret",
                   "S: +OK", "C: LIST", "S: +OK", "S: 1 100", "CLOSE"}),
       -1},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    bool goes_on = false;
    for (const testing::Step& step : row.script.Steps()) {
      goes_on = goes_on || step.text == "STAT";
    }
    ScriptedServer server(row.script);
    auto client = ClientOf(server);
    client->ConnectToHost();
    EXPECT_EQ(client->GetMailboxSize(), row.expected);
    if (goes_on) {
      EXPECT_GT(client->GetMessageCount(), 0);
    }
    client->CloseConnection();
    EXPECT_TRUE(server.Played());
  }
}

// A listing stopped by its line limit leaves lines unread: the connection is
// closed then, and the next command fails instead of taking a stale listing
// line for its reply (10,001 messages once stopped a check with
// "Unrecognized POP3 Response Header").
TEST(Pop3DialogueTest, AListingCutShortIsNeverReadAsTheNextReply) {
  const auto listing = [](const char* command, int lines) {
    Script script = Transcript({"S: +OK ready", "C: USER alice", "S: +OK",
                                "C: PASS secret", "S: +OK"});
    script.Expect(command).SendLine("+OK");
    for (int i = 1; i <= lines; ++i) {
      script.SendLine(std::to_string(i) + " uid" + std::to_string(i));
    }
    return script.SendLine(".");
  };
  {
    ScriptedServer server(listing("LIST", int(core::kMaxReplyLines) + 1));
    auto client = ClientOf(server);
    client->ConnectToHost();
    EXPECT_EQ(client->GetMailboxSize(), -1);
    EXPECT_FALSE(client->IsConnected());
    EXPECT_EQ(Outcome([&] { client->GetMessageCount(); }),
              "error: Connection Closed Gracefully.");
  }
  {
    ScriptedServer server(listing("UIDL", 5));
    auto client = ClientOf(server);
    client->ConnectToHost();
    EXPECT_EQ(Outcome([&] { client->GetUniqueIds(4); }),
              "error: The server's reply has more than 4 lines.");
    EXPECT_FALSE(client->IsConnected());
    EXPECT_EQ(Outcome([&] { client->GetMessageCount(); }),
              "error: Connection Closed Gracefully.");
  }
  {
    // Within its limit, a listing as long as the mailbox is read whole.
    Script script = listing("UIDL", 12000);
    ScriptedServer server(script.Transcript({"C: QUIT"}));
    auto client = ClientOf(server);
    client->ConnectToHost();
    const auto ids = client->GetUniqueIds(12001);
    ASSERT_TRUE(ids.has_value());
    EXPECT_EQ(ids->size(), 12000u);
    EXPECT_EQ(ids->at(12000), "uid12000");
    client->CloseConnection();
    EXPECT_TRUE(server.Played());
  }
}

// A server that goes silent, or stops taking data, ends the wait after the
// read timeout with a text naming it and what was awaited.
TEST(Pop3DialogueTest, ASilentServerEndsReadsAndWritesAfterTheTimeout) {
  const auto silent = [] {
    return Transcript({"S: +OK ready", "C: USER alice", "S: +OK",
                       "C: PASS secret", "S: +OK"})
        .Stall(std::chrono::milliseconds(8000));
  };
  {
    ScriptedServer server(silent());
    auto client = ClientOf(server);
    client->SetReadTimeout(1000);
    client->ConnectToHost();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Outcome([&] { client->GetMessageCount(); }),
              "error: Read Timeout: the POP3 server 127.0.0.1 port " +
                  std::to_string(server.Port()) +
                  " sent nothing for 1 s while the reply to STAT was awaited");
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(5000));
  }
  {
    ScriptedServer server(silent());
    auto client = ClientOf(server);
    client->SetReadTimeout(1000);
    client->ConnectToHost();
    // Far more than the socket buffers hold, so the sends must wait.
    const std::string block(1 << 20, 'x');
    EXPECT_EQ(Outcome([&] {
                for (int i = 0; i < 256; ++i) client->WriteText(block);
              }),
              "error: Write Timeout: the POP3 server 127.0.0.1 port " +
                  std::to_string(server.Port()) + " took nothing for 1 s");
    EXPECT_FALSE(client->IsConnected());
  }
}

TEST(Pop3DialogueTest, FetchReadsHeaderBlocksAndMessages) {
  ScriptedServer server(LoggedIn({
      // TOP reads past the empty line up to ".".
      "C: TOP 1 0",
      "S: +OK",
      "S: Subject: first",
      "S: From: a@example.org",
      "S: ",
      "S: .",
      // A refused RETR reads nothing and does not raise.
      "C: RETR 2",
      "S: -ERR no such message",
      // Header block followed directly by ".": no body is read.
      "C: RETR 3",
      "S: +OK",
      "S: Subject: bodiless",
      "S: .",
      // A plain body, dot-stuffed on the wire.
      "C: RETR 4",
      "S: +OK",
      "S: Subject: plain",
      "S: ",
      "S: line one",
      "S: ..dot",
      "S: .",
      "C: DELE 4",
      "S: +OK marked",
      "C: DELE 9",
      "S: -ERR no such message",
      "C: RSET",
      "S: +OK",
  }));
  auto client = ClientOf(server);
  client->ConnectToHost();

  message::Message header;
  EXPECT_TRUE(client->FetchHeader(1, header));
  EXPECT_EQ(header.Subject(), "first");
  EXPECT_EQ(header.From().Address(), "a@example.org");
  EXPECT_EQ(header.Headers().Count(), 2);

  message::Message kept;
  kept.SetSubject("kept");
  kept.SetBody({"old body"});
  EXPECT_FALSE(client->FetchMessage(2, kept));
  EXPECT_EQ(kept.Subject(), "kept");
  EXPECT_EQ(kept.Body(), Lines{"old body"});
  EXPECT_EQ(kept.Headers().Count(), 0);

  message::Message bodiless;
  EXPECT_TRUE(client->FetchMessage(3, bodiless));
  EXPECT_EQ(bodiless.Subject(), "bodiless");
  EXPECT_TRUE(bodiless.Body().empty());

  message::Message plain;
  EXPECT_TRUE(client->FetchMessage(4, plain));
  EXPECT_EQ(plain.Subject(), "plain");
  EXPECT_EQ(plain.Body(), (Lines{"line one", ".dot"}));

  EXPECT_TRUE(client->DeleteMessage(4));
  EXPECT_EQ(Outcome([&] { client->DeleteMessage(9); }),
            "reply 2:  no such message\\r\\n");
  EXPECT_EQ(client->LastReply().NumericCode(), POP3::kERR);
  EXPECT_TRUE(client->ResetMailbox());
  client->CloseConnection();
  EXPECT_TRUE(server.Played());
}

TEST(Pop3DialogueTest, CloseWithoutConnectionSendsNothing) {
  POP3 client;
  EXPECT_EQ(client.Port(), 110);
  EXPECT_FALSE(client.APOP());
  EXPECT_NO_THROW(client.CloseConnection());
  EXPECT_FALSE(client.IsConnected());
}

TEST(Pop3DialogueTest, LineBreaksInCredentialsNeverReachTheServer) {
  struct Row {
    std::string user;
    std::string password;
    Script script;
    const char* word;
  } rows[] = {
      {"alice\r\nDELE 1", "secret", Transcript({"S: +OK ready", "C: QUIT"}),
       "USER"},
      {"alice", std::string("sec\0ret", 7),
       Transcript({"S: +OK ready", "C: USER alice", "S: +OK", "C: QUIT"}),
       "PASS"},
      {"alice", "sec\rret",
       Transcript({"S: +OK ready", "C: USER alice", "S: +OK", "C: QUIT"}),
       "PASS"},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.word);
    ScriptedServer server(row.script);
    auto client = ClientOf(server);
    client->SetUsername(row.user);
    client->SetPassword(row.password);
    EXPECT_EQ(Outcome([&] { client->ConnectToHost(); }),
              std::string("unsafe: Refused to send the ") + row.word +
                  " command: its text holds a line break or NUL byte");
    EXPECT_FALSE(client->IsConnected());
    EXPECT_TRUE(server.Played());
  }
}

}  // namespace
}  // namespace replyvane::mail
