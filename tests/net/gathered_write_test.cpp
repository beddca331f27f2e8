// Gathered writes, the connect wait's early wake and TCP_NODELAY: what goes
// out in how many sends, and how soon a loopback connect returns.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <numeric>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "net/exceptions.h"
#include "net/io_handler.h"
#include "net/tcp_client.h"
#include "tests/net/net_test_util.h"
#include "tests/support/scripted_server.h"
#include "tests/support/socket_util.h"

namespace replyvane::net {
namespace {

using testing::Script;
using testing::ScriptedServer;
using testing::Transcript;
using testing::Visible;
using Gathered = TCPConnection::GatheredWrites;

// A socket handler that records the size of every send.
class CountingHandler : public IOHandlerSocket {
 public:
  int32_t SendBytes(const void* buffer, int32_t length) override {
    const int32_t n = IOHandlerSocket::SendBytes(buffer, length);
    if (n > 0) sends.push_back(n);
    return n;
  }
  std::vector<int32_t> sends;
};

// A client on `handler` (which must outlive it) connected to `port`.
std::unique_ptr<TCPClient> ClientOn(CountingHandler& handler, int port) {
  auto client = std::make_unique<TCPClient>();
  client->SetIOHandler(&handler);
  client->SetHost("127.0.0.1");
  client->SetPort(port);
  client->ConnectToHost();
  return client;
}

std::string ReceivedAfterClose(ScriptedServer& server, TCPClient& client) {
  client.CloseConnection();
  server.WaitDone();
  return server.Received();
}

TEST(GatheredWriteTest, WritesLeaveInFewSendsAndAWriteThatFitsIsNeverSplit) {
  const std::string line(48, 'l');
  const std::string almost_full(TCPConnection::kOutputBufferSize - 6, 'f');
  const std::string big(100000, 'b');
  std::string hundred_lines;
  for (int i = 0; i < 100; ++i) hundred_lines += line + "\r\n";
  struct Row {
    std::string name;
    std::function<void(TCPClient&)> write;
    std::vector<int32_t> sends;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"without a scope every write is its own send",
       [](TCPClient& c) {
         c.WriteTextLine("a");
         c.WriteTextLine("b");
       },
       {3, 3},
       "a\r\nb\r\n"},
      {"lines gathered leave in one send at End",
       [&](TCPClient& c) {
         Gathered gathered(c);
         for (int i = 0; i < 100; ++i) c.WriteTextLine(line);
         EXPECT_EQ(c.PendingOutput(), 5000);
         gathered.End();
         EXPECT_EQ(c.PendingOutput(), 0);
       },
       {5000},
       hundred_lines},
      {"a command that does not fit goes out whole in the next send",
       [&](TCPClient& c) {
         Gathered gathered(c);
         c.WriteText(almost_full);
         c.WriteTextLine("RCPT TO:<a@b>");
         gathered.End();
       },
       {TCPConnection::kOutputBufferSize - 6, 15},
       almost_full + "RCPT TO:<a@b>\r\n"},
      {"a block of the buffer's size goes straight out after the buffer",
       [&](TCPClient& c) {
         Gathered gathered(c);
         c.WriteText("a");
         c.WriteText(big);
         c.WriteText("z");
         gathered.End();
       },
       {1, 100000, 1},
       "a" + big + "z"},
      {"nested scopes send only at the outermost End",
       [](TCPClient& c) {
         Gathered outer(c);
         {
           Gathered inner(c);
           c.WriteTextLine("one");
           inner.End();
         }
         c.WriteTextLine("two");
         outer.End();
       },
       {10},
       "one\r\ntwo\r\n"},
      {"a scope left by an exception drops what it gathered",
       [](TCPClient& c) {
         try {
           Gathered gathered(c);
           c.WriteTextLine("half a message");
           throw std::runtime_error("attachment unreadable");
         } catch (const std::runtime_error&) {
         }
         EXPECT_EQ(c.PendingOutput(), 0);
         c.WriteTextLine("RSET");
       },
       {6},
       "RSET\r\n"},
  };
  for (const Row& row : rows) {
    ScriptedServer server{Script()};
    CountingHandler handler;
    auto client = ClientOn(handler, server.Port());
    row.write(*client);
    EXPECT_EQ(handler.sends, row.sends) << row.name;
    EXPECT_EQ(Visible(ReceivedAfterClose(server, *client)),
              Visible(row.expected))
        << row.name;
  }
}

TEST(GatheredWriteTest, AReadSendsWhatIsGatheredFirst) {
  ScriptedServer server(
      Transcript({"C: DATA", "S: 354 go", "C: NOOP", "S: 250 ok"}));
  CountingHandler handler;
  auto client = ClientOn(handler, server.Port());
  Gathered gathered(*client);
  client->WriteTextLine("DATA");
  EXPECT_EQ(client->ReadTextLine(), "354 go");
  EXPECT_EQ(client->SendCommand("NOOP", 250), 250);
  gathered.End();
  EXPECT_EQ(handler.sends, (std::vector<int32_t>{6, 6}));
  client->CloseConnection();
  EXPECT_TRUE(server.WaitDone());
  EXPECT_TRUE(server.Ok()) << server.Report();
}

TEST(GatheredWriteTest, AFailedDeferredSendRaisesAtTheFlushAsAWriteWould) {
  // The reset waits for a line, so that it cannot land during the connect.
  ScriptedServer server(Script().ExpectLine().Reset());
  CountingHandler handler;
  auto client = ClientOn(handler, server.Port());
  client->WriteTextLine("ready");
  ASSERT_TRUE(server.WaitDone());
  const std::string line(998, 'x');
  bool raised = false;
  try {
    Gathered gathered(*client);
    for (int i = 0; i < 20000 && !raised; ++i) client->WriteTextLine(line);
    gathered.End();
  } catch (const SocketError& error) {
    raised = true;
    EXPECT_TRUE(error.SocketErrorCode() == 10054 ||
                error.SocketErrorCode() == 10058 ||
                error.SocketErrorCode() == 10053)
        << error.Message();
  } catch (const ConnClosedGracefully&) {
    raised = true;
  }
  EXPECT_TRUE(raised);
  EXPECT_FALSE(client->IsConnected());
  EXPECT_EQ(client->PendingOutput(), 0);
}

TEST(GatheredWriteTest, TheAntiFreezeRunsAfterEveryGatheredSend) {
  ScriptedServer server{Script()};
  CountingHandler handler;
  auto client = ClientOn(handler, server.Port());
  CountingAntiFreeze anti_freeze;
  anti_freeze.SetOnlyWhenIdle(false);
  {
    Gathered gathered(*client);
    const std::string line(998, 'x');
    for (int i = 0; i < 200; ++i) client->WriteTextLine(line);
    gathered.End();
  }
  EXPECT_EQ(handler.sends.size(), 4u) << "200,000 bytes in 64 KiB sends";
  EXPECT_EQ(anti_freeze.calls, int(handler.sends.size()));
  EXPECT_EQ(ReceivedAfterClose(server, *client).size(), 200000u);
}

int NoDelayOf(TCPClient& client) {
  auto* handler = dynamic_cast<IOHandlerSocket*>(client.IOHandler());
  if (handler == nullptr || handler->SocketHandle() == nullptr) return -1;
  int value = 0;
  socklen_t length = sizeof(value);
  if (getsockopt(handler->SocketHandle()->OSHandle(), IPPROTO_TCP, TCP_NODELAY,
                 &value, &length) != 0) {
    return -1;
  }
  return value != 0 ? 1 : 0;
}

TEST(ConnectWakeTest, ALoopbackConnectReturnsLongBeforeAStepWithNagleOff) {
  testing::Fd listener = testing::ListenLoopback(0, 64);
  const int port = testing::LocalPort(listener.Get());
  struct Row {
    std::string name;
    bool anti_freeze;
    int32_t timeout;
  };
  const std::vector<Row> rows = {
      {"connect thread under the anti-freeze", true, -1},
      {"connect thread for an explicit limit", false, 5000},
      {"direct connect", false, -1},
  };
  for (const Row& row : rows) {
    std::unique_ptr<CountingAntiFreeze> anti_freeze;
    if (row.anti_freeze) anti_freeze = std::make_unique<CountingAntiFreeze>();
    std::vector<double> ms;
    for (int i = 0; i < 7; ++i) {
      TCPClient client;
      client.SetHost("127.0.0.1");
      client.SetPort(port);
      const auto start = std::chrono::steady_clock::now();
      client.ConnectToHost(row.timeout);
      ms.push_back(std::chrono::duration<double, std::milli>(
                       std::chrono::steady_clock::now() - start)
                       .count());
      EXPECT_EQ(NoDelayOf(client), 1) << row.name;
      client.CloseConnection();
    }
    std::sort(ms.begin(), ms.end());
    // A step is 125 ms; a busy machine may delay one connect, not the
    // median.
    EXPECT_LT(ms[ms.size() / 2], 60.0) << row.name;
    if (anti_freeze) {
      EXPECT_GE(anti_freeze->calls, 7) << "processing after each step";
    }
  }
}

}  // namespace
}  // namespace replyvane::net
