// Connecting a client. Any failure closes the socket before it propagates,
// without status reports.
#include "net/tcp_client.h"

#include <memory>

#include "net/io_handler.h"

namespace replyvane::net {

void TCPClient::ConnectToHost(int32_t timeout) {
  if (!IOHandler()) {
    auto handler = std::make_unique<IOHandlerSocket>();
    handler->OnStatus = OnStatus;
    InstallOwnedIOHandler(std::move(handler));
  } else if (IOHandler()->HasOpenSocket()) {
    throw AlreadyConnected();
  }
  BusyScope busy(*this);
  try {
    IOHandler()->OpenHandler();
    ClearInputState();
    IOHandler()->ConnectSocket(host_, port_, timeout, bound_port_highest_,
                               bound_port_lowest_, bound_port_, bound_ip_);
    // A window handler may have closed the connection during the wait.
    if (!IOHandler() || !IOHandler()->HasOpenSocket()) throw ClosedSocket();
    DoStatus(hsConnected, host_);
    NotifyConnected();
  } catch (...) {
    CloseSocketOnly();
    throw;
  }
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
