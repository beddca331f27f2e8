// One socket: allocation, binding, connecting and the sliced read wait.
// Failures raise the layer's exceptions; closing never raises.
#include "net/socket_handle.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

#include <vector>

#include "net/anti_freeze.h"
#include "net/exceptions.h"
#include "net/stack.h"

namespace replyvane::net {

namespace {

// A handle is always owned by a component, which holds the shared stack.
Stack& TheStack() { return *SharedStack(); }

}  // namespace

SocketHandle::~SocketHandle() { CloseSocket(); }

void SocketHandle::AllocateSocket(int32_t family) {
  if (thread_use_) throw AlreadyConnected();
  CloseSocket();
  os_handle_ = TheStack().OpenSocketHandle(kSockStream, 0, family);
  is_allocated_ = true;
  // Every write is a whole command or a full buffer, never a piece that
  // should wait for more: without Nagle's algorithm the last short send of
  // a message does not wait for the peer's delayed acknowledgement. A
  // socket that refuses the option still works, only slower.
  int32_t on = 1;
  TheStack().SetSockOpt(os_handle_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}

void SocketHandle::Bind() {
  Stack& stack = TheStack();
  if (port_ != 0 || client_port_min_ == 0 || client_port_max_ == 0) {
    if (stack.CheckSocketResult(stack.Bind(os_handle_, port_, ip_),
                                {kWsaEAddrInUse})) {
      throw CouldNotBindSocket();
    }
  } else {
    if (client_port_max_ < client_port_min_) {
      throw InvalidPortRange(client_port_min_, client_port_max_);
    }
    int32_t port = client_port_max_;
    while (port >= client_port_min_ &&
           stack.Bind(os_handle_, port, ip_) == kSocketError) {
      --port;
    }
    if (port < client_port_min_) {
      throw CanNotBindPortInRange(client_port_min_, client_port_max_);
    }
  }
  ReadBackAddresses(false);
}

int32_t SocketHandle::Connect() {
  int32_t result = TheStack().Connect(os_handle_, remote_port_, remote_ip_);
  if (result != kSocketError) ReadBackAddresses(true);
  return result;
}

int32_t SocketHandle::Connect(const std::atomic<bool>& stop) {
  int32_t result = TheStack().ConnectInterruptible(os_handle_, remote_port_,
                                                   remote_ip_, stop);
  if (result != kSocketError) ReadBackAddresses(true);
  return result;
}

void SocketHandle::ReadBackAddresses(bool with_peer) {
  Stack& stack = TheStack();
  stack.GetSockName(os_handle_, &ip_, &port_);
  if (!with_peer) return;
  try {
    stack.GetPeerName(os_handle_, &remote_ip_, &remote_port_);
  } catch (const SocketError& error) {
    // A peer that resets right after accepting leaves no peer to name; the
    // connect still succeeded, the address connected to stands, and the
    // reset is reported by the first read or write.
    if (error.SocketErrorCode() != 10057) throw;
  }
}

bool SocketHandle::SelectOnce(int32_t timeout) {
  std::vector<int32_t> read = {os_handle_};
  return TheStack().Select(&read, nullptr, timeout) == 1;
}

bool SocketHandle::Readable(int32_t timeout) {
  if (!is_allocated_) throw ConnClosedGracefully();
  if (!AntiFreezeBase::ShouldUse()) return SelectOnce(timeout);
  const int32_t slice = AntiFreezeBase::ActiveAntiFreeze()->IdleTimeOut();
  if (timeout == -2 || slice <= 0) {
    while (true) {
      bool readable = SelectOnce(slice > 0 ? slice : timeout);
      AntiFreezeBase::DoProcess(!readable);
      if (readable) return true;
      // A window handler may have closed the connection meanwhile.
      if (!is_allocated_) throw ConnClosedGracefully();
    }
  }
  // Slices of `slice` ms; the first one takes the remainder.
  int32_t left = timeout;
  int32_t next = timeout % slice == 0 ? slice : timeout % slice;
  if (timeout <= 0) next = timeout < 0 ? 0 : timeout;
  do {
    bool readable = SelectOnce(next);
    AntiFreezeBase::DoProcess(!readable);
    if (readable) return true;
    left -= next;
    next = slice;
    if (left > 0 && !is_allocated_) throw ConnClosedGracefully();
  } while (left > 0);
  return false;
}

void SocketHandle::CloseSocket() {
  if (!is_allocated_) return;
  is_allocated_ = false;
  if (thread_use_) {
    close_deferred_ = true;
    return;
  }
  Stack& stack = TheStack();
  stack.Shutdown(os_handle_, 1);
  stack.CloseSocket(os_handle_);
}

void SocketHandle::EndThreadUse() {
  thread_use_ = false;
  if (close_deferred_) {
    close_deferred_ = false;
    is_allocated_ = true;
    CloseSocket();
  }
}

void SocketHandle::Reset() {
  if (thread_use_) throw AlreadyConnected();
  CloseSocket();
  os_handle_ = -1;
  ip_.clear();
  port_ = 0;
  remote_ip_.clear();
  remote_port_ = 0;
}

}  // namespace replyvane::net
