// Small helpers shared by the connection tests: a client connected to a
// scripted server, a log of status reports, and an anti-freeze that counts
// its calls.
#ifndef REPLYVANE_TESTS_NET_NET_TEST_UTIL_H_
#define REPLYVANE_TESTS_NET_NET_TEST_UTIL_H_

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "net/anti_freeze.h"
#include "net/tcp_client.h"
#include "tests/support/scripted_server.h"
#include "tests/support/socket_util.h"

namespace replyvane::net {

// A client connected to 127.0.0.1:`port` without an anti-freeze.
inline std::unique_ptr<TCPClient> ConnectedClient(int port) {
  auto client = std::make_unique<TCPClient>();
  client->SetHost("127.0.0.1");
  client->SetPort(port);
  client->ConnectToHost();
  return client;
}

// Records every status text a component reports, in order.
struct StatusLog {
  std::vector<std::string> texts;
  void Attach(Component& component) {
    component.OnStatus = [this](Component*, Status, const std::string& text) {
      texts.push_back(text);
    };
  }
};

// Counts the processing requests that reach it.
class CountingAntiFreeze : public AntiFreezeBase {
 public:
  void ProcessPendingMessages() override { ++calls; }
  int calls = 0;
};

// A loopback listener that never accepts, with its backlog of 0 already
// taken, so a further connect stays pending until it gives up.
class UnansweringListener {
 public:
  UnansweringListener() : listener_(testing::ListenLoopback(0, 0)) {
    port_ = testing::LocalPort(listener_.Get());
    for (int i = 0; i < 8; ++i) {
      // The first one must get in, however busy the machine; the next ones
      // are expected to stay pending.
      testing::Fd filler = testing::ConnectLoopback(
          port_, std::chrono::milliseconds(i == 0 ? 5000 : 200));
      if (!filler.Valid()) break;
      fillers_.push_back(std::move(filler));
    }
  }
  int Port() const { return port_; }

 private:
  testing::Fd listener_;
  int port_ = 0;
  std::vector<testing::Fd> fillers_;
};

}  // namespace replyvane::net

#endif  // REPLYVANE_TESTS_NET_NET_TEST_UTIL_H_
