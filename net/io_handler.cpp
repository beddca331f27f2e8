// The socket I/O handler: the connect sequence and raw receive and send.
// Receiving or sending without an open socket raises ClosedSocket.
#include "net/io_handler.h"

#include <netinet/in.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "core/text.h"
#include "net/anti_freeze.h"
#include "net/connect_thread.h"
#include "net/exceptions.h"
#include "net/stack.h"

namespace replyvane::net {

namespace {

// The limit of a connect that is given none, while the anti-freeze keeps the
// windows alive.
constexpr int32_t kAntiFreezeConnectLimit = 120000;

}  // namespace

// The socket's plain calls, beneath a TLS session.
class IOHandlerSocket::SocketTransport : public TLSTransport {
 public:
  explicit SocketTransport(IOHandlerSocket& handler) : handler_(handler) {}
  int32_t SendRaw(const void* buffer, int32_t length) override {
    return handler_.SendPlain(buffer, length);
  }
  int32_t ReceiveRaw(void* buffer, int32_t length) override {
    return handler_.ReceivePlain(buffer, length);
  }
  bool WaitRaw(int32_t timeout) override { return handler_.WaitPlain(timeout); }

 private:
  IOHandlerSocket& handler_;
};

void IOHandler::ConnectSocket(const std::string&, int32_t, int32_t, int32_t,
                              int32_t, int32_t, const std::string&) {}

void IOHandler::StartTLS(const std::string& host, const std::string&, int32_t) {
  throw TLSError("This connection to " + host + " cannot be encrypted.");
}

IOHandlerSocket::IOHandlerSocket() = default;

IOHandlerSocket::~IOHandlerSocket() {
  tls_.reset();
  socket_handle_.reset();
}

void IOHandlerSocket::OpenHandler() {
  tls_.reset();
  tls_active_ = false;
  if (socket_handle_) {
    socket_handle_->Reset();
  } else {
    socket_handle_ = std::make_unique<net::SocketHandle>();
  }
}

void IOHandlerSocket::CloseHandler() {
  if (tls_ && HasOpenSocket()) tls_->Close();
  if (socket_handle_) socket_handle_->CloseSocket();
}

void IOHandlerSocket::StartTLS(const std::string& host,
                               const std::string& pinned_fingerprint,
                               int32_t timeout) {
  if (!HasOpenSocket()) throw ClosedSocket();
  if (tls_active_)
    throw TLSError("The connection to " + host + " is encrypted already.");
  if (!transport_) transport_ = std::make_unique<SocketTransport>(*this);
  tls_ = std::make_unique<TLSSession>(
      *transport_, host, pinned_fingerprint,
      socket_handle_->RemoteIP() + ':' +
          std::to_string(socket_handle_->RemotePort()));
  tls_->Handshake(timeout);
  tls_active_ = true;
}

bool IOHandlerSocket::HasOpenSocket() {
  return socket_handle_ && socket_handle_->IsAllocated();
}

void IOHandlerSocket::ConnectSocket(const std::string& host, int32_t port,
                                    int32_t timeout, int32_t bound_port_highest,
                                    int32_t bound_port_lowest,
                                    int32_t bound_port,
                                    const std::string& bound_ip) {
  if (!socket_handle_) OpenHandler();
  net::SocketHandle& handle = *socket_handle_;
  Stack& stack = *SharedStack();
  // Only a real name lookup is reported; localhost needs none.
  if (!Stack::LooksLikeIPAddress(host) && !Stack::IsIPv6Address(host) &&
      !core::SameText(host, "LOCALHOST")) {
    DoStatus(hsResolving, host);
  }
  const std::vector<std::string> addresses = stack.ResolveHostAddresses(host);
  // Each address in turn, IPv6 and IPv4 as the resolver orders them, within
  // the one time limit: a failed one moves on to the next, and the last
  // failure is the one raised.
  // An explicit timeout (-2: none) or the anti-freeze's limit connects on
  // the connect thread; else the connect blocks.
  int32_t limit = timeout;
  if (limit == -1 || limit == 0) {
    limit = AntiFreezeBase::ShouldUse() ? kAntiFreezeConnectLimit : 0;
  }
  const bool on_thread = limit != 0;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(std::max(limit, 0));
  for (size_t i = 0; i < addresses.size(); ++i) {
    const std::string& address = addresses[i];
    try {
      handle.AllocateSocket(address.find(':') != std::string::npos ? kAfInet6
                                                                   : kAfInet);
      handle.SetIP(bound_ip);
      handle.SetPort(bound_port);
      handle.SetClientPortMin(bound_port_lowest);
      handle.SetClientPortMax(bound_port_highest);
      handle.Bind();
      handle.SetRemoteIP(address);
      handle.SetRemotePort(port);
      DoStatus(hsConnecting, handle.RemoteIP());
      if (on_thread && limit < 0) {
        ConnectWithThread(handle, limit);
      } else if (on_thread) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        ConnectWithThread(handle, int32_t(std::max<int64_t>(left, 1)));
      } else {
        stack.CheckSocketResult(handle.Connect());
      }
      return;
    } catch (const core::Exception&) {
      const bool time_left =
          limit <= 0 || std::chrono::steady_clock::now() < deadline;
      if (i + 1 == addresses.size() || !time_left) throw;
      handle.CloseSocket();
    }
  }
}

bool IOHandlerSocket::WaitUntilReadable(int32_t timeout) {
  if (tls_active_) {
    if (!HasOpenSocket()) throw ConnClosedGracefully();
    return tls_->WaitUntilReadable(timeout);
  }
  return WaitPlain(timeout);
}

int32_t IOHandlerSocket::ReceiveBytes(void* buffer, int32_t length) {
  if (!tls_active_) return ReceivePlain(buffer, length);
  if (!HasOpenSocket()) throw ClosedSocket();
  return tls_->Receive(buffer, length);
}

void IOHandlerSocket::SetSendTimeout(int32_t timeout) {
  if (!HasOpenSocket()) return;
  timeval limit{};
  limit.tv_sec = std::max(timeout, 0) / 1000;
  limit.tv_usec = (std::max(timeout, 0) % 1000) * 1000;
  Stack& stack = *SharedStack();
  stack.CheckSocketResult(stack.SetSockOpt(socket_handle_->OSHandle(),
                                           SOL_SOCKET, SO_SNDTIMEO, &limit,
                                           sizeof(limit)));
}

int32_t IOHandlerSocket::SendBytes(const void* buffer, int32_t length) {
  if (!tls_active_) return SendPlain(buffer, length);
  if (!HasOpenSocket()) throw ClosedSocket();
  return tls_->Send(buffer, length);
}

bool IOHandlerSocket::WaitPlain(int32_t timeout) {
  if (!socket_handle_) throw ConnClosedGracefully();
  return socket_handle_->Readable(timeout);
}

int32_t IOHandlerSocket::ReceivePlain(void* buffer, int32_t length) {
  if (!HasOpenSocket()) throw ClosedSocket();
  return SharedStack()->Recv(socket_handle_->OSHandle(), buffer, length, 0);
}

int32_t IOHandlerSocket::SendPlain(const void* buffer, int32_t length) {
  if (!HasOpenSocket()) throw ClosedSocket();
  return SharedStack()->Send(socket_handle_->OSHandle(), buffer, length, 0);
}

}  // namespace replyvane::net
