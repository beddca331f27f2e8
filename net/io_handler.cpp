// The socket I/O handler: the connect sequence and raw receive and send.
// Receiving or sending without an open socket raises ClosedSocket.
#include "net/io_handler.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

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

void IOHandler::ConnectSocket(const std::string&, int32_t, int32_t, int32_t,
                              int32_t, int32_t, const std::string&) {}

IOHandlerSocket::IOHandlerSocket() = default;

IOHandlerSocket::~IOHandlerSocket() { socket_handle_.reset(); }

void IOHandlerSocket::OpenHandler() {
  if (socket_handle_) {
    socket_handle_->Reset();
  } else {
    socket_handle_ = std::make_unique<net::SocketHandle>();
  }
}

void IOHandlerSocket::CloseHandler() {
  if (socket_handle_) socket_handle_->CloseSocket();
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
  handle.AllocateSocket();
  handle.SetIP(bound_ip);
  handle.SetPort(bound_port);
  handle.SetClientPortMin(bound_port_lowest);
  handle.SetClientPortMax(bound_port_highest);
  handle.Bind();
  // Only a real name lookup is reported; localhost needs none.
  if (!Stack::LooksLikeIPAddress(host) && !core::SameText(host, "LOCALHOST")) {
    DoStatus(hsResolving, host);
  }
  handle.SetRemoteIP(stack.ResolveHostAddress(host));
  handle.SetRemotePort(port);
  if (!use_nagle_) {
    int32_t on = 1;
    stack.CheckSocketResult(stack.SetSockOpt(handle.OSHandle(), IPPROTO_TCP,
                                             TCP_NODELAY, &on, sizeof(on)));
  }
  DoStatus(hsConnecting, handle.RemoteIP());
  if (timeout != -1 && timeout != 0) {
    ConnectWithThread(handle, timeout);
  } else if (AntiFreezeBase::ShouldUse()) {
    ConnectWithThread(handle, kAntiFreezeConnectLimit);
  } else {
    stack.CheckSocketResult(handle.Connect());
  }
}

bool IOHandlerSocket::WaitUntilReadable(int32_t timeout) {
  if (!socket_handle_) throw ConnClosedGracefully();
  return socket_handle_->Readable(timeout);
}

int32_t IOHandlerSocket::ReceiveBytes(void* buffer, int32_t length) {
  if (!HasOpenSocket()) throw ClosedSocket();
  return SharedStack()->Recv(socket_handle_->OSHandle(), buffer, length, 0);
}

int32_t IOHandlerSocket::SendBytes(const void* buffer, int32_t length) {
  if (!HasOpenSocket()) throw ClosedSocket();
  return SharedStack()->Send(socket_handle_->OSHandle(), buffer, length, 0);
}

}  // namespace replyvane::net
