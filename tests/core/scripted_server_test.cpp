// The scripted test server, driven by a raw socket client: scripts are played
// byte for byte, what the client sends is recorded, divergences are reported
// and faults reach the client as the socket sees them.
#include "tests/support/scripted_server.h"

#include <sys/socket.h>

#include <cerrno>
#include <functional>
#include <stdexcept>

#include "tests/support/line_client.h"

namespace replyvane::testing {
namespace {

using std::chrono::milliseconds;
using Lines = std::vector<std::string>;

constexpr milliseconds kShort{300};

ScriptedServer::Options Quick() {
  ScriptedServer::Options options;
  options.read_timeout = kShort;
  options.accept_timeout = kShort;
  return options;
}

TEST(ScriptedServerTest, PlaysATranscriptAndRecordsTheClient) {
  ScriptedServer server(Transcript({"S: +OK ready", "C: USER a", "S: +OK", "C?",
                                    "S| -ERR no", "S: pe", "C: QUIT"}));
  {
    LineClient client(server.Port());
    ASSERT_TRUE(client.Connected());
    EXPECT_EQ(client.ReadLine(), "+OK ready");
    client.SendLine("USER a");
    EXPECT_EQ(client.ReadLine(), "+OK");
    client.Send("PASS \x01secret\r\nQU");
    EXPECT_EQ(client.ReadLine(), "-ERR nope");
    client.Send("IT\r\n");
  }
  EXPECT_TRUE(server.Played());
  EXPECT_EQ(server.Lines(), (Lines{"USER a", "PASS \x01secret", "QUIT"}));
  EXPECT_EQ(server.Received(), "USER a\r\nPASS \x01secret\r\nQUIT\r\n");
  EXPECT_TRUE(server.ConnectionAt(0).finished);
}

TEST(ScriptedServerTest, ReceivesDataBodiesUpToTheDotLineOnly) {
  ScriptedServer server(Transcript(
      {"S: 354 go", "B:", "S: 250 one", "B:", "S: 250 two", "C: QUIT"}));
  {
    LineClient client(server.Port());
    EXPECT_EQ(client.ReadLine(), "354 go");
    client.Send("a.\r\n..b\r\n\r\n.x\r\n.\r\n");
    EXPECT_EQ(client.ReadLine(), "250 one");
    client.Send(".\r\nQUIT\r\n");  // an empty body
    EXPECT_EQ(client.ReadLine(), "250 two");
  }
  EXPECT_TRUE(server.Played());
  EXPECT_EQ(server.Bodies(), (Lines{"a.\r\n..b\r\n\r\n.x\r\n", ""}));
  EXPECT_EQ(DotUnstuffed(server.Bodies()[0]), "a.\r\n.b\r\n\r\nx\r\n");
  EXPECT_EQ(DotUnstuffed("...\n.\r\nx."), "..\n\r\nx.");
  EXPECT_EQ(server.Lines(), (Lines{"QUIT"}));
}

TEST(ScriptedServerTest, RecordsBodiesLongerThanItsCompactionPoint) {
  ScriptedServer server(
      Transcript({"S: 354 go", "B:", "S: 250 done", "C: QUIT"}));
  std::string body;
  for (int i = 0; body.size() < (3u << 20); ++i) {
    body += std::string(77, char('a' + i % 26)) + "\r\n";
  }
  {
    LineClient client(server.Port());
    EXPECT_EQ(client.ReadLine(), "354 go");
    client.Send(body + ".\r\nQUIT\r\n");
    EXPECT_EQ(client.ReadLine(), "250 done");
  }
  EXPECT_TRUE(server.Played());
  ASSERT_EQ(server.Bodies().size(), 1u);
  EXPECT_TRUE(server.Bodies()[0] == body);
}

TEST(ScriptedServerTest, ServesOneScriptPerConnectionThenRefuses) {
  ScriptedServer server({Transcript({"S: 220 first", "C: QUIT"}),
                         Transcript({"S: 220 second", "C: QUIT"})});
  for (const char* greeting : {"220 first", "220 second"}) {
    LineClient client(server.Port());
    EXPECT_EQ(client.ReadLine(), greeting);
    client.SendLine("QUIT");
    client.Close();
  }
  EXPECT_TRUE(server.Played());
  EXPECT_EQ(server.Accepted(), 2u);
  EXPECT_EQ(server.ConnectionAt(1).lines, (Lines{"QUIT"}));
  EXPECT_FALSE(LineClient(server.Port(), kShort).Connected());
  EXPECT_FALSE(LineClient(ClosedPort(), kShort).Connected());
}

// Each row: what the client does against the script, and the failure text
// the report must hold.
TEST(ScriptedServerTest, ReportsEveryWayTheClientDiverges) {
  struct Row {
    const char* name;
    Script script;
    std::function<void(LineClient&)> client;
    const char* failure;
  } rows[] = {
      {"other line", Transcript({"C: USER a", "C: QUIT"}),
       [](LineClient& c) { c.Send("USER b\r\nQUIT\r\n"); },
       "connection 1, step 1 (C: USER a): received \"USER b\""},
      {"bare LF", Transcript({"C: USER a"}),
       [](LineClient& c) { c.Send("USER a\n"); },
       "step 1 (C: USER a): the line \"USER a\" ends with a bare LF"},
      {"extra line", Transcript({"C: QUIT"}),
       [](LineClient& c) { c.Send("QUIT\r\nNOOP\r\n"); },
       "after the script: unexpected bytes after the end of the script: "
       "\"NOOP\\r\\n\""},
      {"early close", Transcript({"C: USER a", "C: QUIT"}),
       [](LineClient& c) { c.Send("USER a\r\nQU"); },
       "step 2 (C: QUIT): the client closed the connection mid-line: \"QU\""},
      {"silence", Transcript({"S: +OK", "C: USER a"}),
       [](LineClient& c) {
         c.ReadLine();
         std::this_thread::sleep_for(kShort * 4);  // well past the limit
       },
       "step 2 (C: USER a): no line from the client within 300 ms"},
      {"stays connected", Transcript({"C: QUIT"}),
       [](LineClient& c) {
         c.SendLine("QUIT");
         std::this_thread::sleep_for(kShort * 4);  // well past the limit
       },
       "the client did not close the connection within 300 ms"},
      {"unterminated body", Transcript({"B:"}),
       [](LineClient& c) { c.Send("text\r\n.\n"); },
       "step 1 (B: up to .\\r\\n): the client closed the connection"},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptedServer server(std::move(row.script), Quick());
    {
      LineClient client(server.Port());
      ASSERT_TRUE(client.Connected());
      row.client(client);
    }
    ASSERT_TRUE(server.WaitDone());
    EXPECT_FALSE(server.Ok());
    ::testing::AssertionResult played = server.Played();
    EXPECT_FALSE(played);
    EXPECT_NE(std::string(played.message()).find(row.failure),
              std::string::npos)
        << played.message();
  }
}

TEST(ScriptedServerTest, ReportsAConnectionThatNeverCame) {
  ScriptedServer server({Script().SendLine("one"), Script().SendLine("two")},
                        Quick());
  {
    LineClient client(server.Port());
    EXPECT_EQ(client.ReadLine(), "one");
  }
  ASSERT_TRUE(server.WaitDone());
  EXPECT_EQ(server.Failures(), (Lines{"connection 2 of 2 never arrived"}));
}

TEST(ScriptedServerTest, FaultsReachTheClient) {
  {
    ScriptedServer server(
        Transcript({"S: +OK 2 messages"}).CloseMidLine("1 12"));
    LineClient client(server.Port());
    EXPECT_EQ(client.ReadLine(), "+OK 2 messages");
    EXPECT_EQ(client.ReadToClose(), "1 12");
    EXPECT_TRUE(client.PeerClosed());
    EXPECT_TRUE(server.Played());
  }
  {
    ScriptedServer server(Transcript({"S: +OK", "C: STAT"}).Reset());
    Fd socket = ConnectLoopback(server.Port(), milliseconds(1000));
    char buffer[64];
    ASSERT_EQ(recv(socket.Get(), buffer, sizeof buffer, 0), 5);
    send(socket.Get(), "STAT\r\n", 6, MSG_NOSIGNAL);
    ASSERT_TRUE(server.WaitDone());
    EXPECT_EQ(recv(socket.Get(), buffer, sizeof buffer, 0), -1);
    EXPECT_EQ(errno, ECONNRESET);
  }
}

TEST(ScriptedServerTest, StallDelaysTheReply) {
  ScriptedServer server(
      Transcript({"S: +OK"}).Stall(milliseconds(200)).SendLine("+OK late"));
  LineClient client(server.Port());
  EXPECT_EQ(client.ReadLine(), "+OK");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(client.ReadLine(), "+OK late");
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(150));
}

TEST(ScriptedServerTest, SendsOneByteAtATime) {
  const std::string reply = "+OK 1 byte at a time\r\n";
  constexpr auto kPause = std::chrono::microseconds(5000);
  ScriptedServer server(Script().Send(reply).ByteAtATime(kPause));
  // Bytes may pile up while this thread is held up, but they can never
  // arrive faster than one per pause.
  const auto start = std::chrono::steady_clock::now();
  Fd socket = ConnectLoopback(server.Port(), milliseconds(1000));
  std::string received;
  while (received.size() < reply.size()) {
    char buffer[64];
    ssize_t got = recv(socket.Get(), buffer, sizeof buffer, 0);
    ASSERT_GT(got, 0);
    received.append(buffer, static_cast<size_t>(got));
    const auto pauses = (std::chrono::steady_clock::now() - start) / kPause;
    EXPECT_LE(received.size(), size_t(pauses) + 1) << received;
  }
  EXPECT_EQ(received, reply);
}

TEST(ScriptedServerTest, StopsAtOnceWhenDestroyed) {
  auto start = std::chrono::steady_clock::now();
  {
    ScriptedServer waiting_for_client(Script().SendLine("x"));
    ScriptedServer stalled(Script().Stall(milliseconds(20000)));
    LineClient client(stalled.Port());
    ScriptedServer reading(Transcript({"C: never"}));
    LineClient silent(reading.Port());
    std::this_thread::sleep_for(milliseconds(50));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(2000));
}

TEST(ScriptTest, TranscriptLinesBecomeSteps) {
  Script script = Transcript(
      {"S: +OK", "S| raw", "C: USER a", "C: ", "C? any", "B: body", "CLOSE"});
  Lines described;
  for (const Step& step : script.Steps()) described.push_back(step.Describe());
  EXPECT_EQ(described, (Lines{"S: +OK", "S| raw", "C: USER a", "C: ", "C?",
                              "B: up to .\\r\\n", "CLOSE"}));
  EXPECT_EQ(script.Steps()[0].text, "+OK\r\n");
  EXPECT_EQ(script.Steps()[1].text, "raw");
  EXPECT_EQ(script.Steps()[3].text, "");
  EXPECT_THROW(Transcript({"X: what"}), std::invalid_argument);
  EXPECT_THROW(Transcript({"S:missing blank"}), std::invalid_argument);
  EXPECT_THROW(Script().ReceiveUntil("."), std::invalid_argument);
  EXPECT_EQ(Script().Stall(milliseconds(99999)).Steps()[0].pause,
            milliseconds(30000));
}

}  // namespace
}  // namespace replyvane::testing
