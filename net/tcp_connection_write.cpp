// Writing to a connection. Outside a GatheredWrites scope every operation
// hands its bytes to the socket before it returns; inside one they collect
// in the output buffer (see tcp_connection.h). The anti-freeze runs after
// every send.
#include <arpa/inet.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/file_stream.h"
#include "net/anti_freeze.h"
#include "net/stack.h"
#include "net/tcp_connection.h"
#include "net/work_scope.h"

namespace replyvane::net {

void TCPConnection::WriteBytes(const void* buffer, int32_t count) {
  if (count <= 0 || buffer == nullptr) return;
  CheckForClose(true, true);
  if (!IsConnected()) throw NotConnected();
  const char* bytes = static_cast<const char*>(buffer);
  if (gathering_ == 0) {
    SendNow(bytes, count, true);
    return;
  }
  if (output_.size() + size_t(count) > size_t(kOutputBufferSize)) {
    FlushOutput();
  }
  if (count >= kOutputBufferSize) {
    SendNow(bytes, count, true);
    return;
  }
  if (output_.capacity() < size_t(kOutputBufferSize)) {
    output_.reserve(size_t(kOutputBufferSize));
  }
  output_.append(bytes, size_t(count));
  // Counted when written, so the work of a scope is whole when it ends.
  AddWork(wmWrite, count);
}

void TCPConnection::FlushOutput() {
  if (output_.empty()) return;
  // Taken out first: a window handler run after a send may close the
  // connection, which empties the buffer. On a failure the bytes are gone
  // with the connection.
  std::string pending;
  pending.swap(output_);
  CheckForClose(true, true);
  if (!IsConnected()) throw NotConnected();
  SendNow(pending.data(), int32_t(pending.size()), false);
  // The allocation is used again for the next bytes.
  pending.clear();
  if (output_.empty()) output_.swap(pending);
}

TCPConnection::GatheredWrites::GatheredWrites(TCPConnection& connection)
    : connection_(connection) {
  ++connection_.gathering_;
}

TCPConnection::GatheredWrites::~GatheredWrites() {
  if (--connection_.gathering_ == 0) connection_.output_.clear();
}

void TCPConnection::GatheredWrites::End() {
  if (ended_) return;
  ended_ = true;
  if (connection_.gathering_ == 1) connection_.FlushOutput();
}

void TCPConnection::SendNow(const char* bytes, int32_t count, bool count_work) {
  BusyScope busy(*this);
  int32_t sent = 0;
  do {
    // A window handler may have closed the connection after the last send.
    if (!io_handler_) throw ClosedSocket();
    int32_t n = io_handler_->SendBytes(bytes + sent, count - sent);
    // A window handler may make socket calls of its own; keep this send's
    // failure code.
    const int32_t send_error = n == kSocketError ? Stack::WSAGetLastError() : 0;
    AntiFreezeBase::DoProcess(false);
    peer_closed_ = n == 0;
    CheckForClose(true, false);
    Stack& stack = *SharedStack();
    if (n == kSocketError) Stack::WSASetLastError(send_error);
    if (n == kSocketError && send_error == kWsaEWouldBlock) {
      // The send timeout ran out: the peer took nothing for that long.
      CloseSocketOnly();
      RaiseWriteTimeout();
    }
    if (stack.CheckSocketResult(
            n, {kWsaEShutdown, kWsaEConnAborted, kWsaEConnReset})) {
      CloseSocketOnly();
      stack.ThrowSocketError(stack.LastSocketError());
    }
    if (count_work) AddWork(wmWrite, n);
    sent += n;
  } while (sent < count);
}

void TCPConnection::RaiseWriteTimeout() {
  SharedStack()->ThrowSocketError(kWsaEWouldBlock);
}

void TCPConnection::WriteText(const std::string& text) {
  if (!text.empty()) WriteBytes(text.data(), int32_t(text.size()));
}

void TCPConnection::WriteTextLine(const std::string& text) {
  WriteText(text + "\r\n");
}

void TCPConnection::WriteTextLines(const std::vector<std::string>& lines,
                                   bool write_count) {
  if (write_count) WriteInt32(int32_t(lines.size()), true);
  for (const std::string& line : lines) WriteTextLine(line);
}

void TCPConnection::WriteInt32(int32_t value, bool convert) {
  uint32_t bytes = convert ? htonl(uint32_t(value)) : uint32_t(value);
  WriteBytes(&bytes, sizeof(bytes));
}

void TCPConnection::WriteFromStream(core::Stream& stream, bool from_start,
                                    bool write_count, int64_t size) {
  if (from_start) stream.SetPosition(0);
  int64_t position = stream.Position();
  const int64_t end = size == 0 ? stream.Size() : position + size;
  const int64_t count = end - position;
  if (write_count) WriteInt32(int32_t(count), true);
  WorkScope work(*this, wmWrite, int32_t(count));
  std::vector<char> chunk(size_t(std::max(send_buffer_size_, 1)));
  while (true) {
    const int64_t wanted = std::min<int64_t>(end - position, chunk.size());
    if (wanted <= 0) break;
    size_t got = stream.Read(chunk.data(), size_t(wanted));
    if (got == 0) throw NoDataToRead();
    WriteBytes(chunk.data(), int32_t(got));
    position += int64_t(got);
  }
}

int64_t TCPConnection::WriteFileContents(const std::string& file_name,
                                         bool /*transmit*/) {
  struct stat info;
  if (::stat(file_name.c_str(), &info) != 0) throw FileNotFound(file_name);
  core::FileStream file(file_name, core::FileMode::kOpenRead);
  const int64_t size = file.Size();
  WriteFromStream(file, true, false, 0);
  return size;
}

}  // namespace replyvane::net
