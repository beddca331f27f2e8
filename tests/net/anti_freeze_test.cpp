#include "net/anti_freeze.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
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

using testing::Script;
using testing::ScriptedServer;

TEST(AntiFreezeTest, TheLatestInstanceIsActiveUntilItGoes) {
  EXPECT_EQ(AntiFreezeBase::ActiveAntiFreeze(), nullptr);
  EXPECT_FALSE(AntiFreezeBase::ShouldUse());
  auto first = std::make_unique<CountingAntiFreeze>();
  EXPECT_TRUE(AntiFreezeBase::ShouldUse());
  {
    CountingAntiFreeze second;
    EXPECT_EQ(AntiFreezeBase::ActiveAntiFreeze(), &second);
    first.reset();
    EXPECT_EQ(AntiFreezeBase::ActiveAntiFreeze(), &second)
        << "an earlier instance going does not unset a later one";
    second.SetActive(false);
    EXPECT_FALSE(AntiFreezeBase::ShouldUse());
    AntiFreezeBase::DoProcess(true, true);
    EXPECT_EQ(second.calls, 0);
  }
  EXPECT_EQ(AntiFreezeBase::ActiveAntiFreeze(), nullptr);
}

TEST(AntiFreezeTest, IsUsedOnlyOnTheMainThread) {
  CountingAntiFreeze anti_freeze;
  bool used_elsewhere = true;
  std::thread([&] { used_elsewhere = AntiFreezeBase::ShouldUse(); }).join();
  EXPECT_FALSE(used_elsewhere);
  EXPECT_TRUE(AntiFreezeBase::ShouldUse());

  const std::thread::id here = std::this_thread::get_id();
  AntiFreezeBase::SetMainThread(std::thread::id());
  EXPECT_FALSE(AntiFreezeBase::ShouldUse());
  AntiFreezeBase::SetMainThread(here);
  EXPECT_TRUE(AntiFreezeBase::ShouldUse());
}

TEST(AntiFreezeTest, ProcessesAfterEverySendUnlessOnlyWhenIdle) {
  ScriptedServer server(Script().ExpectLine().ExpectLine().ExpectLine());
  auto client = ConnectedClient(server.Port());
  CountingAntiFreeze anti_freeze;
  client->WriteTextLine("one");
  EXPECT_EQ(anti_freeze.calls, 0) << "a send is not idle";
  anti_freeze.SetOnlyWhenIdle(false);
  client->WriteTextLine("two");
  client->WriteTextLine("three");
  EXPECT_EQ(anti_freeze.calls, 2);
  client->CloseConnection();
}

TEST(AntiFreezeTest, CutsAReadWaitIntoIdleSlicesTheFirstTakingTheRest) {
  ScriptedServer server(Script().Stall(std::chrono::milliseconds(3000)));
  auto client = ConnectedClient(server.Port());
  CountingAntiFreeze anti_freeze;  // IdleTimeOut 250
  client->SetReadTimeout(600);     // slices of 100, 250 and 250 ms
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(client->ReadTextLine(), ReadTimeout);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(anti_freeze.calls, 3);
  EXPECT_GE(waited, std::chrono::milliseconds(590));
  EXPECT_LT(waited, std::chrono::milliseconds(2000));
  client->CloseConnection();
}

TEST(AntiFreezeTest, AWaitWithoutLimitProcessesEverySlice) {
  // The stall runs from the accept, so it is long enough that a client
  // held up on a busy machine still waits through several slices.
  ScriptedServer server(
      Script().Stall(std::chrono::milliseconds(1000)).SendLine("late"));
  auto client = ConnectedClient(server.Port());
  CountingAntiFreeze anti_freeze;
  anti_freeze.SetIdleTimeOut(50);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(client->ReadTextLine(), "late");
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  // About twenty slices; none is shorter than 50 ms, so more calls than
  // that would mean a busy wait.
  EXPECT_GE(anti_freeze.calls, 3);
  EXPECT_LE(anti_freeze.calls, waited.count() / 50 + 2)
      << "waited " << waited.count() << " ms";
  client->CloseConnection();
}

TEST(AntiFreezeTest, TheConnectWaitProcessesAfterEveryStep) {
  UnansweringListener listener;
  CountingAntiFreeze anti_freeze;
  anti_freeze.SetIdleTimeOut(100);  // steps of 100 ms
  TCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(listener.Port());
  EXPECT_THROW(client.ConnectToHost(600), ConnectTimeout);
  EXPECT_EQ(anti_freeze.calls, 5) << "five steps, then the last 100 ms";
}

// Closes the connection from inside the wait, as a window handler can.
class ClosingAntiFreeze : public AntiFreezeBase {
 public:
  explicit ClosingAntiFreeze(TCPClient& client) : client_(client) {
    SetOnlyWhenIdle(false);
    SetIdleTimeOut(50);
  }
  void ProcessPendingMessages() override {
    if (calls++ == 0) client_.CloseConnection();
  }
  int calls = 0;

 private:
  TCPClient& client_;
};

TEST(AntiFreezeTest, AHandlerMayCloseTheConnectionInTheMiddleOfACall) {
  struct Row {
    std::string name;
    std::function<void(TCPClient&)> call;
    bool raises;
  };
  const std::vector<Row> rows = {
      {"read wait", [](TCPClient& c) { c.ReadTextLine(); }, true},
      // The bytes went out before the handler ran.
      {"send", [](TCPClient& c) { c.WriteTextLine("x"); }, false},
      {"command", [](TCPClient& c) { c.SendCommand("NOOP", 250); }, true},
  };
  for (const Row& row : rows) {
    ScriptedServer server(Script().Stall(std::chrono::milliseconds(2000)));
    auto client = ConnectedClient(server.Port());
    ClosingAntiFreeze anti_freeze(*client);
    if (row.raises) {
      EXPECT_THROW(row.call(*client), core::Exception) << row.name;
    } else {
      EXPECT_NO_THROW(row.call(*client)) << row.name;
    }
    EXPECT_FALSE(client->IsConnected()) << row.name;
  }
  // During the connect wait: the attempt ends at the next step.
  UnansweringListener listener;
  TCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(listener.Port());
  ClosingAntiFreeze anti_freeze(client);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(client.ConnectToHost(5000), ClosedSocket);
  EXPECT_LT(std::chrono::steady_clock::now() - start,
            std::chrono::milliseconds(2000));
  EXPECT_FALSE(client.IsConnected());
  EXPECT_THROW(client.ConnectToHost(300), ConnectTimeout) << "usable again";
}

}  // namespace
}  // namespace replyvane::net
