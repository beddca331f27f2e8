// Connecting a client. Any failure closes the socket before it propagates,
// without status reports.
#include "net/tcp_client.h"

#include <memory>

#include "core/text.h"
#include "net/io_handler.h"

namespace replyvane::net {

namespace {

// A handshake is never left to wait for ever, also when reads are.
constexpr int32_t kHandshakeLimit = 120000;

}  // namespace

void TCPClient::ConnectToHost(int32_t timeout) {
  if (!IOHandler()) {
    auto handler = std::make_unique<IOHandlerSocket>();
    handler->OnStatus = OnStatus;
    InstallOwnedIOHandler(std::move(handler));
  } else if (IOHandler()->HasOpenSocket()) {
    throw AlreadyConnected();
  }
  BusyScope busy(*this);
  SetAwaited("the greeting");
  try {
    IOHandler()->OpenHandler();
    ClearInputState();
    IOHandler()->ConnectSocket(host_, port_, timeout, bound_port_highest_,
                               bound_port_lowest_, bound_port_, bound_ip_);
    // A window handler may have closed the connection during the wait.
    if (!IOHandler() || !IOHandler()->HasOpenSocket()) throw ClosedSocket();
    // A peer that stops taking data is given as long as a silent one.
    IOHandler()->SetSendTimeout(ReadTimeout());
    if (tls_mode_ == net::TLSMode::kImplicit) StartTLS();
    DoStatus(hsConnected, host_);
    NotifyConnected();
  } catch (...) {
    CloseSocketOnly();
    throw;
  }
}

void TCPClient::StartTLS() {
  if (!IOHandler() || !IOHandler()->HasOpenSocket()) throw NotConnected();
  if (!InputQueue().Empty()) {
    throw TLSError(core::Format(
        "%s sent data ahead of the TLS handshake; the connection is ended.",
        host_.c_str()));
  }
  BusyScope busy(*this);
  IOHandler()->StartTLS(host_, tls_fingerprint_,
                        ReadTimeout() > 0 ? ReadTimeout() : kHandshakeLimit);
}

bool TCPClient::TLSActive() const {
  return IOHandler() && IOHandler()->TLSActive();
}

void TCPClient::NotifyConnected() {
  if (OnConnected) OnConnected(this);
}

std::string TCPClient::ConnectAndReadAll() {
  ConnectToHost();
  std::string result;
  try {
    result = ReadUntilClosed();
  } catch (...) {
    CloseConnection();
    throw;
  }
  CloseConnection();
  return result;
}

}  // namespace replyvane::net
