// Small helpers shared by the connection tests: a client connected to a
// scripted server, a log of status reports, and an anti-freeze that counts
// its calls.
#ifndef REPLYVANE_TESTS_NET_NET_TEST_UTIL_H_
#define REPLYVANE_TESTS_NET_NET_TEST_UTIL_H_

#include <memory>
#include <string>
#include <vector>

#include "net/anti_freeze.h"
#include "net/tcp_client.h"
#include "tests/support/scripted_server.h"

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

}  // namespace replyvane::net

#endif  // REPLYVANE_TESTS_NET_NET_TEST_UTIL_H_
