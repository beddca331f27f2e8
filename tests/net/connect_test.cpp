#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "net/exceptions.h"
#include "net/tcp_client.h"
#include "tests/net/net_test_util.h"
#include "tests/support/scripted_server.h"
#include "tests/support/socket_util.h"

namespace replyvane::net {
namespace {

using testing::ClosedPort;
using testing::ScriptedServer;
using testing::Transcript;

// A name other than localhost that /etc/hosts maps to 127.0.0.1, so the
// lookup never leaves the machine; "" when there is none.
std::string LoopbackNameFromHostsFile() {
  std::ifstream hosts("/etc/hosts");
  std::string line;
  while (std::getline(hosts, line)) {
    std::istringstream fields(line);
    std::string address, name;
    if (!(fields >> address) || address != "127.0.0.1") continue;
    while (fields >> name) {
      if (name[0] == '#') break;
      if (name.find("localhost") == std::string::npos) return name;
    }
  }
  return "";
}

TEST(ConnectTest, ReportsTheStatusSequenceForEachKindOfHost) {
  const std::string named = LoopbackNameFromHostsFile();
  struct Row {
    std::string host;
    std::vector<std::string> statuses;
  };
  std::vector<Row> rows = {
      {"localhost", {"Connecting to 127.0.0.1.", "Connected."}},
      {"LocalHost", {"Connecting to 127.0.0.1.", "Connected."}},
      {"127.0.0.1", {"Connecting to 127.0.0.1.", "Connected."}},
  };
  if (!named.empty()) {
    rows.push_back({named,
                    {"Resolving hostname " + named + ".",
                     "Connecting to 127.0.0.1.", "Connected."}});
  }
  for (const Row& row : rows) {
    ScriptedServer server(Transcript({"CLOSE"}));
    TCPClient client;
    StatusLog log;
    log.Attach(client);
    client.SetHost(row.host);
    client.SetPort(server.Port());
    client.ConnectToHost();
    client.CloseConnection();
    std::vector<std::string> expected = row.statuses;
    expected.insert(expected.end(), {"Disconnecting.", "Disconnected."});
    EXPECT_EQ(log.texts, expected) << "host " << row.host;
  }
  if (named.empty()) GTEST_SKIP() << "no loopback name in /etc/hosts";
}

TEST(ConnectTest, ASecondConnectRaisesAlreadyConnected) {
  ScriptedServer server(Transcript({"S: hello"}));
  auto client = ConnectedClient(server.Port());
  EXPECT_THROW(client->ConnectToHost(), AlreadyConnected);
  EXPECT_TRUE(client->IsConnected()) << "the open connection is untouched";
  EXPECT_EQ(client->ReadTextLine(), "hello");
  client->CloseConnection();
}

TEST(ConnectTest, ClosingANeverConnectedClientReportsWithoutError) {
  TCPClient client;
  StatusLog log;
  log.Attach(client);
  int disconnected = 0;
  client.OnDisconnected = [&](Component*) { ++disconnected; };
  client.CloseConnection();
  EXPECT_EQ(log.texts,
            (std::vector<std::string>{"Disconnecting.", "Disconnected."}));
  EXPECT_EQ(disconnected, 1);
  EXPECT_FALSE(client.IsConnected());
}

// Which way a refused connect goes: directly in the calling thread (the
// socket error itself) or on the connect thread (ConnectException).
TEST(ConnectTest, ARefusedConnectFailsDirectlyOrOnTheConnectThread) {
  struct Row {
    int32_t timeout;
    bool anti_freeze;
    bool on_thread;
  };
  const Row rows[] = {
      {-1, false, false},  {0, false, false}, {-2, false, true},
      {5000, false, true}, {-1, true, true},  {0, true, true},
  };
  for (const Row& row : rows) {
    std::unique_ptr<CountingAntiFreeze> anti_freeze;
    if (row.anti_freeze) anti_freeze = std::make_unique<CountingAntiFreeze>();
    TCPClient client;
    StatusLog log;
    log.Attach(client);
    client.SetHost("127.0.0.1");
    client.SetPort(ClosedPort());
    const std::string name = "timeout " + std::to_string(row.timeout) +
                             (row.anti_freeze ? " with" : " without") +
                             " anti-freeze";
    std::string raised;
    try {
      client.ConnectToHost(row.timeout);
    } catch (const SocketError& error) {
      raised = "SocketError " + std::to_string(error.SocketErrorCode()) + ": " +
               error.Message();
    } catch (const ConnectException& error) {
      raised = "ConnectException: " + error.Message();
    }
    EXPECT_EQ(raised, std::string(row.on_thread ? "ConnectException"
                                                : "SocketError 10061") +
                          ": Socket Error # 10061\r\nConnection refused.")
        << name;
    EXPECT_FALSE(client.IsConnected()) << name;
    EXPECT_EQ(log.texts, std::vector<std::string>{"Connecting to 127.0.0.1."})
        << name << ": no Disconnected status after a failed connect";
    if (anti_freeze) {
      EXPECT_GE(anti_freeze->calls, 1) << name;
    }
  }
}

TEST(ConnectTest, AConnectNobodyAnswersTimesOutAfterTheExplicitLimit) {
  UnansweringListener listener;
  TCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(listener.Port());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(client.ConnectToHost(600), ConnectTimeout);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(550));
  EXPECT_LT(waited, std::chrono::milliseconds(3000));
  EXPECT_FALSE(client.IsConnected());
}

TEST(ConnectTest, APeerThatResetsAtOnceGivesAResetNeverANotConnected) {
  // The reset may land while the connect returns, or just before the
  // peer's address is read back: the connect then either reports the reset
  // or succeeds with the address connected to, and the first read reports
  // the reset.
  constexpr int kAttempts = 200;
  testing::Fd listener = testing::ListenLoopback(0);
  const int port = testing::LocalPort(listener.Get());
  std::thread resetter([&] {
    for (int i = 0; i < kAttempts; ++i) {
      if (testing::WaitFor(listener.Get(), false, -1,
                           std::chrono::milliseconds(10000)) !=
          testing::WaitResult::kReady) {
        return;
      }
      testing::Fd peer(::accept(listener.Get(), nullptr, nullptr));
      linger abortive{1, 0};
      ::setsockopt(peer.Get(), SOL_SOCKET, SO_LINGER, &abortive,
                   sizeof abortive);
    }
  });
  for (int i = 0; i < kAttempts; ++i) {
    const std::string attempt = "attempt " + std::to_string(i);
    TCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(port);
    client.SetReadTimeout(10000);
    try {
      client.ConnectToHost();
    } catch (const SocketError& error) {
      EXPECT_EQ(error.SocketErrorCode(), 10054) << attempt;
      continue;
    }
    const auto* handle =
        static_cast<IOHandlerSocket*>(client.IOHandler())->SocketHandle();
    EXPECT_EQ(handle->RemoteIP(), "127.0.0.1") << attempt;
    EXPECT_EQ(handle->RemotePort(), port) << attempt;
    EXPECT_THROW(client.ReadTextLine(), core::Exception) << attempt;
    client.CloseConnection();
  }
  resetter.join();
}

TEST(ConnectTest, AnExplicitLimitStillConnectsAtOnce) {
  ScriptedServer server(Transcript({"S: hi"}));
  TCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.ConnectToHost(5000);
  EXPECT_EQ(client.ReadTextLine(), "hi");
  client.CloseConnection();
}

TEST(ConnectTest, APeerCloseShowsOnlyWhenAReadNeedsMoreData) {
  ScriptedServer server(Transcript({"S: last", "CLOSE"}));
  auto client = ConnectedClient(server.Port());
  StatusLog log;
  log.Attach(*client);
  int disconnected = 0;
  client->OnDisconnected = [&](Component*) { ++disconnected; };
  ASSERT_TRUE(server.WaitDone());
  EXPECT_TRUE(client->IsConnected()) << "nothing was read yet";
  EXPECT_EQ(client->ReadTextLine(), "last");
  EXPECT_THROW(client->ReadTextLine(), ConnClosedGracefully);
  EXPECT_FALSE(client->IsConnected());
  EXPECT_THROW(client->ReadTextLine(), ConnClosedGracefully);
  EXPECT_EQ(log.texts, (std::vector<std::string>{"Disconnected."}));
  EXPECT_EQ(disconnected, 1);
}

TEST(ConnectTest, ReconnectsAfterAClose) {
  ScriptedServer server(std::vector<testing::Script>{Transcript({"S: one"}),
                                                     Transcript({"S: two"})});
  auto client = ConnectedClient(server.Port());
  EXPECT_EQ(client->ReadTextLine(), "one");
  client->CloseConnection();
  client->ConnectToHost();
  EXPECT_EQ(client->ReadTextLine(), "two");
  client->CloseConnection();
}

TEST(ConnectTest, BindsToTheGivenLocalPortOrRange) {
  ScriptedServer server(std::vector<testing::Script>(3, Transcript({"CLOSE"})));
  TCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());

  client.SetBoundPortLowest(20);
  client.SetBoundPortHighest(10);
  try {
    client.ConnectToHost();
    FAIL() << "inverted range accepted";
  } catch (const InvalidPortRange& error) {
    EXPECT_EQ(error.Message(), "Invalid Port Range (20 - 10)");
  }

  const int free_port = testing::FreeHighPort();
  client.SetBoundPortLowest(free_port);
  client.SetBoundPortHighest(free_port);
  client.ConnectToHost();
  auto* handler = static_cast<IOHandlerSocket*>(client.IOHandler());
  EXPECT_EQ(handler->SocketHandle()->Port(), free_port);

  // The same port again while it is in use.
  TCPClient second;
  second.SetHost("127.0.0.1");
  second.SetPort(server.Port());
  second.SetBoundPortLowest(free_port);
  second.SetBoundPortHighest(free_port);
  try {
    second.ConnectToHost();
    FAIL() << "bound a port in use";
  } catch (const CanNotBindPortInRange& error) {
    EXPECT_EQ(error.Message(), "Can not bind in port range (" +
                                   std::to_string(free_port) + " - " +
                                   std::to_string(free_port) + ")");
  }
  second.SetBoundPortLowest(0);
  second.SetBoundPortHighest(0);
  second.SetBoundPort(free_port);
  EXPECT_THROW(second.ConnectToHost(), CouldNotBindSocket);
  client.CloseConnection();
}

}  // namespace
}  // namespace replyvane::net
