// The failures of the connection layer. Each class carries its fixed message
// text; socket failures also carry the Windows Sockets code that the text
// names, so callers can tell a refused connect from a reset.
#ifndef REPLYVANE_NET_EXCEPTIONS_H_
#define REPLYVANE_NET_EXCEPTIONS_H_

#include <cstdint>
#include <string>

#include "core/exception.h"
#include "core/reception_limits.h"
#include "core/text.h"

namespace replyvane::net {

// A socket call failed; the message is "Socket Error # <code>\r\n<text>".
class SocketError : public core::Exception {
 public:
  SocketError(int32_t code, const std::string& message)
      : core::Exception(message), code_(code) {}
  int32_t SocketErrorCode() const { return code_; }

 private:
  int32_t code_;
};

class InvalidSocket : public core::Exception {
 public:
  InvalidSocket() : core::Exception("Cannot allocate socket.") {}
};

class StackError : public core::Exception {
 public:
  using core::Exception::Exception;
};

class StackInitializationFailed : public StackError {
 public:
  StackInitializationFailed() : StackError("Winsock Initialization Error.") {}
};

class StackSetSizeExceeded : public StackError {
 public:
  StackSetSizeExceeded() : StackError("Set Size Exceeded.") {}
};

class AlreadyConnected : public core::Exception {
 public:
  AlreadyConnected() : core::Exception("Already connected.") {}
};

class ConnectTimeout : public core::Exception {
 public:
  ConnectTimeout() : core::Exception("Connect timed out.") {}
};

// Carries the message of the error that ended the connect thread, and
// its socket error code (0 when it was no socket error).
class ConnectException : public core::Exception {
 public:
  explicit ConnectException(const std::string& message, int32_t code = 0)
      : core::Exception(message), code_(code) {}
  int32_t SocketErrorCode() const { return code_; }

 private:
  int32_t code_;
};

class ClosedSocket : public core::Exception {
 public:
  ClosedSocket() : core::Exception("Disconnected.") {}
};

// Failures that end an operation without being worth a dialog of their own.
class SilentException : public core::Exception {
 public:
  using core::Exception::Exception;
};

class ConnClosedGracefully : public SilentException {
 public:
  ConnClosedGracefully() : SilentException("Connection Closed Gracefully.") {}
};

class SocketHandleError : public core::Exception {
 public:
  using core::Exception::Exception;
};

class CouldNotBindSocket : public SocketHandleError {
 public:
  CouldNotBindSocket()
      : SocketHandleError(
            "Could not bind socket. Address and port are already in use.") {}
};

class InvalidPortRange : public SocketHandleError {
 public:
  InvalidPortRange(int32_t min, int32_t max)
      : SocketHandleError(
            core::Format("Invalid Port Range (%d - %d)", min, max)) {}
};

class CanNotBindPortInRange : public SocketHandleError {
 public:
  CanNotBindPortInRange(int32_t min, int32_t max)
      : SocketHandleError(
            core::Format("Can not bind in port range (%d - %d)", min, max)) {}
};

class ReadTimeout : public core::Exception {
 public:
  ReadTimeout() : core::Exception("Read Timeout") {}
  // With what was awaited from whom, for the user.
  explicit ReadTimeout(const std::string& message) : core::Exception(message) {}
};

// A peer took no data for the connection's send timeout.
class WriteTimeout : public core::Exception {
 public:
  using core::Exception::Exception;
};

class ReadLnMaxLineLengthExceeded : public core::Exception {
 public:
  ReadLnMaxLineLengthExceeded()
      : core::Exception("Max line length exceeded.") {}
};

// A server sent more than one header block, reply or message may hold
// (core/reception_limits.h). Ends the operation; the connection is no longer
// in step with the server.
class ReceptionLimitExceeded : public core::Exception {
 public:
  using core::Exception::Exception;
};

class TooManyHeaderLines : public ReceptionLimitExceeded {
 public:
  TooManyHeaderLines()
      : ReceptionLimitExceeded(
            core::Format("The message header has more than %zu lines.",
                         core::kMaxHeaderLines)) {}
};

class HeaderBlockTooLarge : public ReceptionLimitExceeded {
 public:
  HeaderBlockTooLarge()
      : ReceptionLimitExceeded(
            core::Format("The message header is larger than %zu bytes.",
                         core::kMaxHeaderBlockBytes)) {}
};

class TooManyReplyLines : public ReceptionLimitExceeded {
 public:
  explicit TooManyReplyLines(size_t limit = core::kMaxReplyLines)
      : ReceptionLimitExceeded(core::Format(
            "The server's reply has more than %zu lines.", limit)) {}
};

class MessageTooLarge : public ReceptionLimitExceeded {
 public:
  MessageTooLarge()
      : ReceptionLimitExceeded(
            core::Format("The message text is larger than %zu bytes.",
                         core::kMaxMessageTextBytes)) {}
};

class TCPConnectionError : public core::Exception {
 public:
  using core::Exception::Exception;
};

class NotConnected : public TCPConnectionError {
 public:
  NotConnected() : TCPConnectionError("Not Connected") {}
};

class ObjectTypeNotSupported : public TCPConnectionError {
 public:
  ObjectTypeNotSupported() : TCPConnectionError("Object type not supported.") {}
};

class NotEnoughDataInBuffer : public TCPConnectionError {
 public:
  NotEnoughDataInBuffer() : TCPConnectionError("Not enough data in buffer.") {}
};

class NoDataToRead : public TCPConnectionError {
 public:
  NoDataToRead() : TCPConnectionError("No data to read.") {}
};

class FileNotFound : public TCPConnectionError {
 public:
  explicit FileNotFound(const std::string& name)
      : TCPConnectionError(
            core::Format("File \"%s\" not found", name.c_str())) {}
};

// "End of stream: <class name> at <position>".
class EndOfStream : public core::Exception {
 public:
  EndOfStream(const std::string& class_name, int64_t position)
      : core::Exception(core::Format("End of stream: %s at %lld",
                                     class_name.c_str(),
                                     static_cast<long long>(position))) {}
};

// A reply whose code the caller does not accept; the message is the reply's
// text lines, each followed by CR LF.
class ProtocolReplyError : public core::Exception {
 public:
  ProtocolReplyError(int32_t reply_code, const std::string& message)
      : core::Exception(message), reply_code_(reply_code) {}
  int32_t ReplyCode() const { return reply_code_; }

 private:
  int32_t reply_code_;
};

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_EXCEPTIONS_H_
