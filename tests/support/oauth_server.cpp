#include "tests/support/oauth_server.h"

#include <chrono>
#include <thread>

#include "core/text.h"
#include "tests/support/socket_util.h"

namespace replyvane::testing {

::testing::AssertionResult OAuthServer::Start() {
  process_.Stop();
  port_ = FreeHighPort();
  const CertificateFiles files = certificates_.Server(CertificateKind::kGood);
  const std::string log = dir_.File("output.log");
  process_.Start({"/usr/bin/python3",
                  REPLYVANE_SOURCE_DIR "/tests/support/oauth_server.py",
                  std::to_string(port_), files.certificate, files.key,
                  dir_.File("requests.log"), user_},
                 log);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    if (ReadFile(log).find("ready") != std::string::npos) {
      return ::testing::AssertionSuccess();
    }
    if (!process_.Running()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  process_.Stop();
  return ::testing::AssertionFailure()
         << "the OAuth test server did not start: " << ReadFile(log);
}

std::string OAuthServer::Url(const std::string& path) const {
  return "https://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> OAuthServer::Requests() const {
  return core::SplitLines(ReadFile(dir_.File("requests.log")));
}

}  // namespace replyvane::testing
