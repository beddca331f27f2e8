// How a connection reaches its bytes: an abstract I/O handler and its socket
// implementation. The socket handler owns one SocketHandle and performs the
// connect sequence (allocate, bind, resolve, connect with or without the
// connect thread), reporting its progress through its own OnStatus. Once
// StartTLS succeeded, its reads, writes and waits go through the TLS session
// (net/tls_session.h) instead of straight to the socket.
#ifndef REPLYVANE_NET_IO_HANDLER_H_
#define REPLYVANE_NET_IO_HANDLER_H_

#include <cstdint>
#include <memory>
#include <string>

#include "net/component.h"
#include "net/socket_handle.h"
#include "net/tls_session.h"

namespace replyvane::net {

class IOHandler : public Component {
 public:
  virtual void AcceptDone() {}
  virtual void CloseHandler() {}
  // Does nothing in the base class.
  virtual void ConnectSocket(const std::string& host, int32_t port,
                             int32_t timeout, int32_t bound_port_highest,
                             int32_t bound_port_lowest, int32_t bound_port,
                             const std::string& bound_ip);
  virtual bool HasOpenSocket() = 0;
  virtual void OpenHandler() {}
  // Encrypts the open connection from here on: the TLS handshake for `host`
  // within `timeout` ms (-2 without limit), verified as TLSSession does.
  // Raises TLSError (the base class cannot encrypt).
  virtual void StartTLS(const std::string& host,
                        const std::string& pinned_fingerprint, int32_t timeout);
  // True once StartTLS succeeded on this connection.
  virtual bool TLSActive() const { return false; }
  // True when data (or a close) can be read within `timeout` ms (-2 without
  // limit).
  virtual bool WaitUntilReadable(int32_t timeout) = 0;
  // Raw results: bytes moved, 0 for a close, -1 on failure (code in
  // Stack::WSAGetLastError). Raise ClosedSocket without an open socket.
  virtual int32_t ReceiveBytes(void* buffer, int32_t length) = 0;
  virtual int32_t SendBytes(const void* buffer, int32_t length) = 0;
  // A send that cannot hand over any byte for `timeout` ms fails with
  // 10035 (the peer takes nothing); 0: it waits without limit.
  virtual void SetSendTimeout(int32_t /*timeout*/) {}
};

class IOHandlerSocket : public IOHandler {
 public:
  IOHandlerSocket();
  ~IOHandlerSocket() override;

  // Created at the first OpenHandler; nullptr before.
  net::SocketHandle* SocketHandle() { return socket_handle_.get(); }

  void CloseHandler() override;
  void SetSendTimeout(int32_t timeout) override;
  // Allocates, binds, resolves (reporting hsResolving for names), reports
  // hsConnecting with the address and connects: on the connect thread for
  // an explicit timeout (not -1 or 0) or under the anti-freeze (120000 ms),
  // else directly. Raises SocketError, ConnectException or ConnectTimeout.
  void ConnectSocket(const std::string& host, int32_t port, int32_t timeout,
                     int32_t bound_port_highest, int32_t bound_port_lowest,
                     int32_t bound_port, const std::string& bound_ip) override;
  bool HasOpenSocket() override;
  void OpenHandler() override;
  void StartTLS(const std::string& host, const std::string& pinned_fingerprint,
                int32_t timeout) override;
  bool TLSActive() const override { return tls_active_; }
  bool WaitUntilReadable(int32_t timeout) override;
  int32_t ReceiveBytes(void* buffer, int32_t length) override;
  int32_t SendBytes(const void* buffer, int32_t length) override;

 private:
  class SocketTransport;

  // The socket's own calls, with or without TLS above them.
  bool WaitPlain(int32_t timeout);
  int32_t ReceivePlain(void* buffer, int32_t length);
  int32_t SendPlain(const void* buffer, int32_t length);

  std::unique_ptr<net::SocketHandle> socket_handle_;
  // The session stays until the next OpenHandler, also after a close, so a
  // window handler that closes during a TLS wait frees nothing under it.
  std::unique_ptr<SocketTransport> transport_;
  std::unique_ptr<TLSSession> tls_;
  bool tls_active_ = false;
};

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_IO_HANDLER_H_
