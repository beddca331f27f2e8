// The local OAuth 2.0 authorization server of the tests
// (tests/support/oauth_server.py) on 127.0.0.1 over HTTPS with a
// certificate of the test CA, which the client trusts through a
// TrustScope. Started and stopped by the test; every wait is bounded.
#ifndef REPLYVANE_TESTS_SUPPORT_OAUTH_SERVER_H_
#define REPLYVANE_TESTS_SUPPORT_OAUTH_SERVER_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"

namespace replyvane::testing {

class OAuthServer {
 public:
  explicit OAuthServer(const TestCertificates& certificates)
      : certificates_(certificates) {}

  // Starts the server and waits (up to 20 s) until it serves.
  ::testing::AssertionResult Start();
  void Stop() { process_.Stop(); }

  // The user the introspection names (before Start).
  void SetUser(const std::string& user) { user_ = user; }
  int Port() const { return port_; }
  // "https://127.0.0.1:<port>" and `path`.
  std::string Url(const std::string& path) const;
  // The requests' forms as the server logged them, one JSON line each.
  std::vector<std::string> Requests() const;

 private:
  const TestCertificates& certificates_;
  TempDir dir_{"oauth-server"};
  ChildProcess process_;
  int port_ = 0;
  std::string user_ = "alice@example.com";
};

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_OAUTH_SERVER_H_
