// A TLS server inside the test program, on 127.0.0.1 at an ephemeral port,
// for what real servers cannot be made to do on cue: it serves one
// connection at a time on its own thread with a given certificate and
// records every byte the client sends after the handshake, so a test can
// say "nothing was sent". It can also stall or drop in the middle of the
// handshake. Every wait is bounded; the destructor stops the thread.
//
//   TlsTestServer server(certificates.Server(CertificateKind::kGood));
//   client.SetPort(server.Port()); ... client.ConnectToHost();
//   EXPECT_EQ(server.Received(), "");   // after the client went
#ifndef REPLYVANE_TESTS_SUPPORT_TLS_TEST_SERVER_H_
#define REPLYVANE_TESTS_SUPPORT_TLS_TEST_SERVER_H_

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "tests/support/socket_util.h"
#include "tests/support/test_certificates.h"

namespace replyvane::testing {

class TlsTestServer {
 public:
  enum class Behaviour {
    kGreet,          // handshake, send the greeting, record until closed
    kStall,          // accept and never answer
    kDropHandshake,  // read the ClientHello, then close
  };

  TlsTestServer(CertificateFiles files, Behaviour behaviour = Behaviour::kGreet,
                std::string greeting = "+OK ready\r\n");
  ~TlsTestServer();
  TlsTestServer(const TlsTestServer&) = delete;
  TlsTestServer& operator=(const TlsTestServer&) = delete;

  int Port() const { return port_; }
  // Waits (up to 10 s) until the current connection has ended, then
  // returns every decrypted byte received on all connections so far.
  std::string Received();
  // Connections accepted so far; handshakes completed so far.
  int Accepted() const { return accepted_.load(); }
  int Handshakes() const { return handshakes_.load(); }

 private:
  void Serve();
  void ServeOne(int fd);

  CertificateFiles files_;
  Behaviour behaviour_;
  std::string greeting_;
  Fd listener_;
  Fd wake_read_;
  Fd wake_write_;
  int port_ = 0;
  std::atomic<int> accepted_{0};
  std::atomic<int> handshakes_{0};
  std::atomic<bool> busy_{false};
  std::mutex mutex_;
  std::string received_;
  std::thread thread_;
};

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_TLS_TEST_SERVER_H_
