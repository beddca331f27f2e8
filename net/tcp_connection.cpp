// The connection's life: its handler, closing, and noticing a close by the
// peer. Reading, writing and the reply exchange are in their own files.
#include "net/tcp_connection.h"

#include "net/stack.h"

namespace replyvane::net {

TCPConnection::TCPConnection() {
  input_queue_.OnBytesRemoved = [this](int32_t count) {
    AddWork(wmRead, count);
  };
}

TCPConnection::~TCPConnection() {
  if (io_handler_) io_handler_->CloseHandler();
  ReleaseIOHandler();
}

void TCPConnection::SetIOHandler(net::IOHandler* handler) {
  if (handler == io_handler_) return;
  ReleaseIOHandler();
  io_handler_ = handler;
}

void TCPConnection::InstallOwnedIOHandler(
    std::unique_ptr<net::IOHandler> handler) {
  ReleaseIOHandler();
  owned_handler_ = std::move(handler);
  io_handler_ = owned_handler_.get();
  owns_io_handler_ = true;
}

void TCPConnection::ReleaseIOHandler() {
  io_handler_ = nullptr;
  if (busy_ > 0 && owned_handler_) {
    retired_handlers_.push_back(std::move(owned_handler_));
  }
  owned_handler_.reset();
  owns_io_handler_ = false;
}

std::string TCPConnection::LocalHostName() {
  return SharedStack()->LocalHostName();
}

bool TCPConnection::IsConnected() {
  CheckForClose(false);
  return io_handler_ && io_handler_->HasOpenSocket();
}

void TCPConnection::CloseSocketOnly() {
  // Gathered bytes are dropped, not sent: a close comes after a failure,
  // from a window handler, or after a scope that sent them already.
  output_.clear();
  if (!io_handler_) return;
  peer_closed_ = true;
  io_handler_->CloseHandler();
}

void TCPConnection::DropOutOfStep() {
  CloseSocketOnly();
  input_queue_.Clear();
}

void TCPConnection::CloseConnection() {
  DoStatus(hsDisconnecting);
  CloseSocketOnly();
  if (owns_io_handler_) ReleaseIOHandler();
  NotifyDisconnected();
  DoStatus(hsDisconnected);
}

void TCPConnection::NotifyDisconnected() {
  if (OnDisconnected) OnDisconnected(this);
}

void TCPConnection::ClearInputState() {
  input_queue_.Clear();
  peer_closed_ = false;
}

void TCPConnection::CheckForClose(bool raise_if_closed, bool ignore_buffer) {
  bool closed;
  if (peer_closed_ || !io_handler_) {
    closed = io_handler_ != nullptr;
    if (closed && io_handler_->HasOpenSocket()) {
      CloseSocketOnly();
      DoStatus(hsDisconnected);
      NotifyDisconnected();
    }
  } else {
    closed = !io_handler_->HasOpenSocket();
  }
  if (closed && raise_if_closed && (input_queue_.Empty() || ignore_buffer)) {
    throw ConnClosedGracefully();
  }
}

}  // namespace replyvane::net
