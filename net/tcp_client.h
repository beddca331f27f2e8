// A connection that connects itself: the target host and port, the local
// binding, the encryption, and ConnectToHost. A failed connect leaves the
// socket closed and reports no "Disconnected." status.
#ifndef REPLYVANE_NET_TCP_CLIENT_H_
#define REPLYVANE_NET_TCP_CLIENT_H_

#include <cstdint>
#include <functional>
#include <string>

#include "net/tcp_connection.h"
#include "net/tls_session.h"

namespace replyvane::net {

class TCPClient : public TCPConnection {
 public:
  TCPClient() = default;

  const std::string& Host() const { return host_; }
  virtual void SetHost(const std::string& value) { host_ = value; }
  int32_t Port() const { return port_; }
  virtual void SetPort(int32_t value) { port_ = value; }
  // Local address to bind to; "" = any.
  const std::string& BoundIP() const { return bound_ip_; }
  void SetBoundIP(const std::string& value) { bound_ip_ = value; }
  // Local port; 0 = any (or the range below).
  int32_t BoundPort() const { return bound_port_; }
  void SetBoundPort(int32_t value) { bound_port_ = value; }
  int32_t BoundPortLowest() const { return bound_port_lowest_; }
  void SetBoundPortLowest(int32_t value) { bound_port_lowest_ = value; }
  int32_t BoundPortHighest() const { return bound_port_highest_; }
  void SetBoundPortHighest(int32_t value) { bound_port_highest_ = value; }

  // kImplicit: ConnectToHost starts TLS at once; kStartTLS: the protocol
  // calls StartTLS after its command; kNone (default): no TLS.
  net::TLSMode TLSMode() const { return tls_mode_; }
  void SetTLSMode(net::TLSMode value) { tls_mode_ = value; }
  // SHA-256 fingerprint of the one certificate to accept instead of the
  // usual verification; empty (default) verifies as usual.
  const std::string& TLSFingerprint() const { return tls_fingerprint_; }
  void SetTLSFingerprint(const std::string& value) { tls_fingerprint_ = value; }
  // True once the connection is encrypted.
  bool TLSActive() const;
  // True when the connection may carry protocol words: no TLS was asked
  // for, or it is up. A failed STARTTLS leaves a connection on which
  // nothing more is said, not even QUIT.
  bool ClearOrEncrypted() const {
    return tls_mode_ == net::TLSMode::kNone || TLSActive();
  }

  std::function<void(Component* sender)> OnConnected;

  // Connects to Host:Port. `timeout` -1 or 0: no explicit limit (120000 ms
  // under the anti-freeze), -2: without limit, else the limit in ms. Raises
  // AlreadyConnected when connected, and SocketError, ConnectException or
  // ConnectTimeout when the connect fails (the socket is then closed).
  virtual void ConnectToHost(int32_t timeout = -1);
  // The TLS handshake with Host on the open connection, limited by
  // ReadTimeout (120000 ms when that has no limit). Received bytes not yet
  // read mean the peer spoke ahead of the handshake: TLSError, as for a
  // failed handshake or verification. The caller closes on failure.
  void StartTLS();
  // ConnectToHost, ReadUntilClosed, then CloseConnection (also on failure).
  std::string ConnectAndReadAll();

 protected:
  virtual void NotifyConnected();

 private:
  std::string host_;
  int32_t port_ = 0;
  std::string bound_ip_;
  int32_t bound_port_ = 0;
  int32_t bound_port_lowest_ = 0;
  int32_t bound_port_highest_ = 0;
  net::TLSMode tls_mode_ = net::TLSMode::kNone;
  std::string tls_fingerprint_;
};

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_TCP_CLIENT_H_
