#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "core/file_stream.h"
#include "core/memory_stream.h"
#include "net/exceptions.h"
#include "net/tcp_client.h"
#include "net/tcp_stream.h"
#include "tests/net/net_test_util.h"
#include "tests/support/scripted_server.h"

namespace replyvane::net {
namespace {

using testing::Script;
using testing::ScriptedServer;
using testing::Visible;

// What the server received by the time the client closed.
std::string ReceivedAfterClose(ScriptedServer& server, TCPClient& client) {
  client.CloseConnection();
  server.WaitDone();
  return server.Received();
}

// A stream that claims more bytes than it gives.
class DryStream : public core::MemoryStream {
 public:
  DryStream() : core::MemoryStream("abc") {}
  int64_t Size() override { return 10; }
};

TEST(WriteTest, SendsTextLinesCountsAndIntegersAsGiven) {
  struct Row {
    std::string name;
    std::function<void(TCPClient&)> write;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"empty line", [](TCPClient& c) { c.WriteTextLine(); }, "\r\n"},
      {"empty text sends nothing", [](TCPClient& c) { c.WriteText(""); }, ""},
      {"lines",
       [](TCPClient& c) {
         c.WriteTextLines({"a", "", "b"});
       },
       "a\r\n\r\nb\r\n"},
      {"lines with count",
       [](TCPClient& c) {
         c.WriteTextLines({"a", "b", "c"}, true);
       },
       std::string("\0\0\0\3a\r\nb\r\nc\r\n", 13)},
      {"int32 in network order", [](TCPClient& c) { c.WriteInt32(0x01020304); },
       "\x01\x02\x03\x04"},
      {"int32 unconverted",
       [](TCPClient& c) { c.WriteInt32(0x01020304, false); },
       "\x04\x03\x02\x01"},
      {"bytes with nul", [](TCPClient& c) { c.WriteBytes("a\0b", 3); },
       std::string("a\0b", 3)},
      {"stream part",
       [](TCPClient& c) {
         core::MemoryStream stream("0123456789");
         stream.SetPosition(2);
         c.WriteFromStream(stream, false, true, 5);
       },
       std::string("\0\0\0\x05"
                   "23456",
                   9)},
  };
  for (const Row& row : rows) {
    ScriptedServer server{Script()};
    auto client = ConnectedClient(server.Port());
    row.write(*client);
    EXPECT_EQ(Visible(ReceivedAfterClose(server, *client)),
              Visible(row.expected))
        << "row \"" << row.name << "\"";
  }
}

TEST(WriteTest, StreamsInSendBufferChunksAndCountsTheWork) {
  std::string data;
  for (int i = 0; i < 100000; ++i) data.push_back(char(i % 251));
  ScriptedServer server{Script()};
  auto client = ConnectedClient(server.Port());
  client->SetSendBufferSize(4096);
  std::vector<std::string> events;
  int32_t last = 0;
  int sends = 0;
  client->OnWorkBegin = [&](Component*, WorkMode, int32_t max) {
    events.push_back("begin " + std::to_string(max));
  };
  client->OnWork = [&](Component*, WorkMode, int32_t position) {
    last = position;
    ++sends;
  };
  client->OnWorkEnd = [&](Component*, WorkMode) { events.push_back("end"); };
  core::MemoryStream stream(data);
  stream.SetPosition(500);
  client->WriteFromStream(stream);  // from the start, whole stream
  EXPECT_EQ(events, (std::vector<std::string>{"begin 100000", "end"}));
  EXPECT_EQ(last, 100000);
  EXPECT_GE(sends, 100000 / 4096);
  EXPECT_TRUE(ReceivedAfterClose(server, *client) == data);
}

TEST(WriteTest, AStreamThatRunsDryOrAMissingFileRaises) {
  ScriptedServer server{Script()};
  auto client = ConnectedClient(server.Port());
  DryStream dry;
  EXPECT_THROW(client->WriteFromStream(dry), NoDataToRead);
  try {
    client->WriteFileContents("/nonexistent/replyvane-missing");
    FAIL() << "no exception";
  } catch (const FileNotFound& error) {
    EXPECT_EQ(error.Message(),
              "File \"/nonexistent/replyvane-missing\" not found");
  }
  char path[] = "/tmp/replyvane-write-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "file body", 9), 9);
  close(fd);
  EXPECT_EQ(client->WriteFileContents(path), 9);
  std::remove(path);
  EXPECT_EQ(ReceivedAfterClose(server, *client), "abcfile body")
      << "the dry stream's bytes went out before it ran dry";
}

TEST(WriteTest, WritingWithoutAConnectionRaisesNotConnected) {
  TCPClient never;
  EXPECT_THROW(never.WriteTextLine("x"), NotConnected);

  ScriptedServer server{Script()};
  auto client = ConnectedClient(server.Port());
  client->CloseConnection();
  EXPECT_THROW(client->WriteTextLine("x"), NotConnected);
}

TEST(WriteTest, APeerThatResetsGivesASocketErrorNotASignal) {
  // The reset waits for a line, so that it cannot land during the connect.
  ScriptedServer server(Script().ExpectLine().Reset());
  auto client = ConnectedClient(server.Port());
  client->WriteTextLine("ready");
  ASSERT_TRUE(server.WaitDone());
  const std::string chunk(65536, 'x');
  bool raised = false;
  for (int i = 0; i < 200 && !raised; ++i) {
    try {
      client->WriteText(chunk);
    } catch (const SocketError& error) {
      raised = true;
      EXPECT_TRUE(error.SocketErrorCode() == 10054 ||
                  error.SocketErrorCode() == 10058 ||
                  error.SocketErrorCode() == 10053)
          << error.Message();
    } catch (const ConnClosedGracefully&) {
      raised = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(raised);
  EXPECT_FALSE(client->IsConnected());
}

TEST(TCPStreamTest, ReadsWritesAndReadsLinesThroughTheConnection) {
  ScriptedServer server(
      Script().Send("0123line one\r\nline two\n").Expect("written"));
  auto client = ConnectedClient(server.Port());
  TCPStream stream(*client);
  char bytes[4];
  EXPECT_EQ(stream.Read(bytes, 4), 4u);
  EXPECT_EQ(std::string(bytes, 4), "0123");
  std::string line;
  EXPECT_TRUE(stream.ReadLine(line));
  EXPECT_EQ(line, "line one");
  // The connection's own limit rules apply.
  EXPECT_THROW(stream.ReadLine(line, 4), ReadLnMaxLineLengthExceeded);
  EXPECT_TRUE(stream.ReadLine(line));
  EXPECT_EQ(line, "line two");
  EXPECT_EQ(stream.Seek(0, core::SeekOrigin::kCurrent), -1);
  stream.WriteString("written\r\n");
  client->CloseConnection();
  EXPECT_TRUE(server.Played());
}

}  // namespace
}  // namespace replyvane::net
