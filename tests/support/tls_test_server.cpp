// The in-process TLS server: blocking OpenSSL on its own thread, every
// wait bounded by poll with a wake pipe, so the destructor never hangs.
#include "tests/support/tls_test_server.h"

#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <system_error>

namespace replyvane::testing {

namespace {

constexpr std::chrono::milliseconds kStep(50);
constexpr std::chrono::milliseconds kLongest(10000);

}  // namespace

TlsTestServer::TlsTestServer(CertificateFiles files, Behaviour behaviour,
                             std::string greeting)
    : files_(std::move(files)),
      behaviour_(behaviour),
      greeting_(std::move(greeting)),
      listener_(ListenLoopback(0)) {
  port_ = LocalPort(listener_.Get());
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) {
    throw std::system_error(errno, std::generic_category(), "pipe");
  }
  wake_read_ = Fd(pipe_fds[0]);
  wake_write_ = Fd(pipe_fds[1]);
  thread_ = std::thread([this] { Serve(); });
}

TlsTestServer::~TlsTestServer() {
  char byte = 0;
  (void)!write(wake_write_.Get(), &byte, 1);
  thread_.join();
}

std::string TlsTestServer::Received() {
  auto deadline = std::chrono::steady_clock::now() + kLongest;
  while (busy_.load() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

void TlsTestServer::Serve() {
  while (true) {
    WaitResult ready =
        WaitFor(listener_.Get(), false, wake_read_.Get(), kLongest);
    if (ready == WaitResult::kWoken) return;
    if (ready != WaitResult::kReady) continue;
    Fd connection(accept(listener_.Get(), nullptr, nullptr));
    if (!connection.Valid()) continue;
    busy_ = true;
    ++accepted_;
    ServeOne(connection.Get());
    busy_ = false;
  }
}

void TlsTestServer::ServeOne(int fd) {
  // Waits for the client or the stop; false when either does not come.
  auto readable = [&] {
    return WaitFor(fd, false, wake_read_.Get(), kLongest) == WaitResult::kReady;
  };
  if (behaviour_ == Behaviour::kStall) {
    // Holds the connection until the client gives up or the test ends.
    char block[4096];
    while (readable() && recv(fd, block, sizeof(block), 0) > 0) {
    }
    return;
  }
  if (behaviour_ == Behaviour::kDropHandshake) {
    char block[4096];
    if (readable()) (void)!recv(fd, block, sizeof(block), 0);
    return;
  }
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  SSL_CTX_use_certificate_chain_file(context, files_.certificate.c_str());
  SSL_CTX_use_PrivateKey_file(context, files_.key.c_str(), SSL_FILETYPE_PEM);
  SSL* ssl = SSL_new(context);
  SSL_set_fd(ssl, fd);
  // Blocking OpenSSL, bounded by the socket's own timeouts.
  timeval limit{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
  auto deadline = std::chrono::steady_clock::now() + kLongest;
  if (SSL_accept(ssl) == 1) {
    ++handshakes_;
    SSL_write(ssl, greeting_.data(), int(greeting_.size()));
    char block[4096];
    while (std::chrono::steady_clock::now() < deadline) {
      int n = SSL_read(ssl, block, sizeof(block));
      if (n > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        received_.append(block, size_t(n));
        continue;
      }
      if (SSL_get_error(ssl, n) == SSL_ERROR_WANT_READ) {
        if (WaitFor(fd, false, wake_read_.Get(), kStep) == WaitResult::kWoken) {
          break;
        }
        continue;
      }
      break;
    }
  }
  SSL_free(ssl);
  SSL_CTX_free(context);
}

}  // namespace replyvane::testing
