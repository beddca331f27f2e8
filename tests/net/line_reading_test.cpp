#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/memory_stream.h"
#include "net/exceptions.h"
#include "net/tcp_client.h"
#include "tests/net/net_test_util.h"
#include "tests/support/scripted_server.h"

namespace replyvane::net {
namespace {

using testing::Script;
using testing::ScriptedServer;
using testing::Visible;

constexpr const char kMaxLine[] = "!max";    // ReadLnMaxLineLengthExceeded
constexpr const char kClosed[] = "!closed";  // ConnClosedGracefully

// A client on `server` whose reads fail instead of hanging when a test goes
// wrong.
std::unique_ptr<TCPClient> Reader(ScriptedServer& server) {
  auto client = ConnectedClient(server.Port());
  client->SetReadTimeout(5000);
  return client;
}

// One ReadTextLine result: the line, or the marker of its exception.
std::string ReadOutcome(TCPClient& client, const std::string& terminator,
                        int32_t max_length) {
  try {
    return client.ReadTextLine(terminator, -1, max_length);
  } catch (const ReadLnMaxLineLengthExceeded&) {
    return kMaxLine;
  } catch (const ConnClosedGracefully&) {
    return kClosed;
  }
}

TEST(ReadTextLineTest, ReadsLinesAsTheTableSays) {
  const std::string long_line(16384, 'x');
  struct Row {
    std::string name;
    std::string sent;
    std::vector<std::string> expected;
    bool byte_at_a_time = false;
    int32_t max_length = -1;
    std::string terminator = "\n";
  };
  const std::vector<Row> rows = {
      {"crlf", "abc\r\n", {"abc"}},
      {"bare lf", "abc\n", {"abc"}},
      {"inner cr kept", "ab\rc\n", {"ab\rc"}},
      {"only the last cr dropped", "x\r\r\n", {"x\r"}},
      {"nul bytes", std::string("a\0b\0\r\n", 6), {std::string("a\0b\0", 4)}},
      {"empty lines", "\r\n\n", {"", ""}},
      {"top-bit bytes", "\xe4\xf6\xff\r\n", {"\xe4\xf6\xff"}},
      {"limit minus one with crlf",
       long_line.substr(1) + "\r\n",
       {long_line.substr(1)}},
      {"limit with crlf (cr counts)", long_line + "\r\n", {kMaxLine, kMaxLine}},
      {"limit with bare lf", long_line + "\n", {long_line}},
      {"one over without lf", long_line + "y", {kMaxLine}},
      {"explicit small limit",
       "0123456789\n01234567890\n",
       {"0123456789", kMaxLine},
       false,
       10},
      {"no limit",
       long_line + long_line + "\n",
       {long_line + long_line},
       false,
       0},
      {"terminator split across receives",
       "abc\r\ndef\r\n",
       {"abc", "def"},
       true},
      {"two-byte terminator split across receives",
       "ab\r\ncd\r\n",
       {"ab", "cd"},
       true,
       -1,
       "\r\n"},
      {"two-byte terminator keeps bare lf",
       "a\nb\r\n",
       {"a\nb"},
       false,
       -1,
       "\r\n"},
      {"empty terminator means lf", "abc\r\n", {"abc"}, false, -1, ""},
  };
  for (const Row& row : rows) {
    Script script = Script().Send(row.sent);
    if (row.byte_at_a_time) script.ByteAtATime();
    ScriptedServer server(script);
    auto client = Reader(server);
    for (size_t i = 0; i < row.expected.size(); ++i) {
      EXPECT_EQ(Visible(ReadOutcome(*client, row.terminator, row.max_length)),
                Visible(row.expected[i]))
          << "row \"" << row.name << "\", read " << i;
    }
    client->CloseConnection();
  }
}

TEST(ReadTextLineTest, AnOverlongLineStaysInTheBufferOrIsSplit) {
  ScriptedServer server(Script().Send("abcdefghijkl\r\nz\r\n"));
  auto client = Reader(server);
  client->SetMaxLineLength(10);
  EXPECT_THROW(client->ReadTextLine(), ReadLnMaxLineLengthExceeded);
  EXPECT_TRUE(client->IsConnected());

  client->SetMaxLineAction(maSplit);
  EXPECT_EQ(client->ReadTextLine(), "abcdefghij");
  EXPECT_TRUE(client->LastLineSplit());
  EXPECT_EQ(client->ReadTextLine(), "kl");
  EXPECT_FALSE(client->LastLineSplit());
  EXPECT_EQ(client->ReadTextLine(), "z");
  client->CloseConnection();
}

TEST(ReadTextLineTest, APeerClosingAtAnyPointEndsWithClosedGracefully) {
  const std::string reply = "+OK hi\r\n";
  for (size_t cut = 0; cut <= reply.size(); ++cut) {
    ScriptedServer server(Script().Send(reply.substr(0, cut)).Close());
    auto client = Reader(server);
    ASSERT_TRUE(server.WaitDone());
    const std::string where = "cut after " + std::to_string(cut) + " bytes";
    if (cut == reply.size()) {
      EXPECT_EQ(client->ReadTextLine(), "+OK hi") << where;
    } else if (cut > 0) {
      EXPECT_EQ(client->ReadTextLine(), "") << where;
      EXPECT_TRUE(client->LastLineTimedOut()) << where;
    }
    EXPECT_THROW(client->ReadTextLine(), ConnClosedGracefully) << where;
    EXPECT_FALSE(client->IsConnected()) << where;
    EXPECT_THROW(client->ReadTextLine(), ConnClosedGracefully) << where;
  }
}

TEST(ReadTextLineTest, ReadTimeoutBoundsTheWait) {
  ScriptedServer server(
      Script().Send("partial").Stall(std::chrono::milliseconds(3000)));
  auto client = Reader(server);
  client->SetReadTimeout(150);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(client->ReadTextLine(), ReadTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start,
            std::chrono::milliseconds(140));
  // An explicit timeout returns empty instead of raising.
  EXPECT_EQ(client->ReadTextLine("\n", 100), "");
  EXPECT_TRUE(client->LastLineTimedOut());
  EXPECT_EQ(client->InputQueue().View(), "partial") << "nothing is lost";
  client->CloseConnection();
}

TEST(ReadTextLineTest, SmallReceivesAndTheAsciiFilter) {
  ScriptedServer server(Script().Send("\xc1\xe2\xe3\r\nsecond line\r\n"));
  auto client = Reader(server);
  client->SetRecvBufferSize(1);
  client->SetASCIIFilter(true);
  EXPECT_EQ(client->ReadTextLine(), "Abc");
  EXPECT_EQ(client->ReadTextLine(), "second line");
  client->CloseConnection();
}

TEST(CollectLinesTest, StopsAtTheDotLineAndUnstuffs) {
  const std::string body = "a\r\n..b\r\n..\r\n.\r\nafter\r\n";
  struct Row {
    std::string name;
    bool unstuff;
    bool to_stream;
    std::string collected;  // each line followed by CR LF
  };
  const Row rows[] = {
      {"unstuffed list", true, false, "a\r\n.b\r\n.\r\n"},
      {"stuffed list", false, false, "a\r\n..b\r\n..\r\n"},
      {"unstuffed stream", true, true, "a\r\n.b\r\n.\r\n"},
  };
  for (const Row& row : rows) {
    ScriptedServer server(Script().Send(body));
    auto client = Reader(server);
    std::vector<std::string> lines;
    core::MemoryStream stream;
    const int32_t count = row.to_stream
                              ? client->CollectLines(&stream, ".", row.unstuff)
                              : client->CollectLines(&lines, ".", row.unstuff);
    std::string collected = stream.Data();
    for (const std::string& line : lines) collected += line + "\r\n";
    EXPECT_EQ(count, 3) << row.name;
    EXPECT_EQ(Visible(collected), Visible(row.collected)) << row.name;
    EXPECT_EQ(client->CollectLines(nullptr, "after"), 0) << row.name;
    client->CloseConnection();
  }
}

TEST(CollectLinesTest, CountsReadWorkAndEndsItOnFailure) {
  ScriptedServer server(Script().Send("one\r\ntwo\r\n").Close());
  auto client = Reader(server);
  std::vector<std::string> events;
  int32_t last_position = 0;
  client->OnWorkBegin = [&](Component*, WorkMode mode, int32_t) {
    events.push_back(mode == wmRead ? "begin read" : "begin write");
  };
  client->OnWork = [&](Component*, WorkMode, int32_t position) {
    last_position = position;
  };
  client->OnWorkEnd = [&](Component*, WorkMode) { events.push_back("end"); };
  std::vector<std::string> lines;
  EXPECT_THROW(client->CollectLines(&lines), ConnClosedGracefully);
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(events, (std::vector<std::string>{"begin read", "end"}));
  EXPECT_EQ(last_position, 10) << "every consumed byte counts";
}

TEST(ReadBytesTest, WaitsForExactlyTheCountAndFailsOnAnEarlyClose) {
  {
    ScriptedServer server(Script().Send("0123456789rest\r\n").ByteAtATime());
    auto client = Reader(server);
    char buffer[10];
    client->ReadBytes(buffer, 10);
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    client->ReadBytes(buffer, 0);
    EXPECT_EQ(client->ReadTextLine(), "rest");
    client->CloseConnection();
  }
  {
    ScriptedServer server(Script().Send("0123").Close());
    auto client = Reader(server);
    char buffer[10];
    EXPECT_THROW(client->ReadBytes(buffer, 10), ConnClosedGracefully);
  }
}

TEST(ReadUntilClosedTest, CollectsEverythingUntilThePeerCloses) {
  ScriptedServer server(Script()
                            .Send("abc")
                            .Stall(std::chrono::milliseconds(50))
                            .Send(std::string("d\0f", 3))
                            .Close());
  auto client = Reader(server);
  EXPECT_EQ(client->ReadUntilClosed(), std::string("abcd\0f", 6));
  EXPECT_FALSE(client->IsConnected());
}

TEST(BufferTest, ManagedBufferKeepsAConsumedPrefixUntil32768) {
  ManagedBuffer buffer;
  int32_t removed = 0;
  buffer.OnBytesRemoved = [&](int32_t count) { removed += count; };
  std::string data;
  for (int i = 0; i < 40000; ++i) data.push_back(char('a' + i % 26));
  buffer.Append(data);
  buffer.Remove(30000);
  EXPECT_EQ(buffer.ConsumedBytes(), 30000);
  EXPECT_EQ(buffer.View(), data.substr(30000));
  buffer.Remove(2768);
  EXPECT_EQ(buffer.ConsumedBytes(), 0) << "compacted at 32768";
  EXPECT_EQ(buffer.View(), data.substr(32768));
  EXPECT_EQ(buffer.Extract(2), data.substr(32768, 2));
  buffer.Append("tail");
  EXPECT_EQ(buffer.View(), data.substr(32770) + "tail");
  EXPECT_THROW(buffer.Remove(buffer.Size() + 1), NotEnoughDataInBuffer);
  EXPECT_THROW(buffer.Extract(buffer.Size() + 1), NotEnoughDataInBuffer);
  buffer.Remove(buffer.Size());
  EXPECT_TRUE(buffer.Empty());
  EXPECT_EQ(buffer.ConsumedBytes(), 0);
  EXPECT_EQ(removed, 40004);
}

}  // namespace
}  // namespace replyvane::net
