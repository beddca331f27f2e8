// A stream on a connection, so stream-based coders can read from and write to
// the network: Read takes exactly the bytes asked for (waiting as needed,
// raising the connection's failures), Write sends at once, and there is no
// position (Seek returns -1). Lines are read with the connection's own
// ReadTextLine.
#ifndef REPLYVANE_NET_TCP_STREAM_H_
#define REPLYVANE_NET_TCP_STREAM_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/stream.h"
#include "net/tcp_connection.h"

namespace replyvane::net {

class TCPStream : public core::Stream {
 public:
  // The connection must outlive the stream.
  explicit TCPStream(TCPConnection& connection) : connection_(connection) {}

  TCPConnection& Connection() { return connection_; }

  // Returns `count` (ReadBytes); raises when the connection closes first.
  size_t Read(void* buffer, size_t count) override;
  // Returns `count` (WriteBytes).
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t, core::SeekOrigin) override { return -1; }
  const char* ClassName() const override { return "TCPStream"; }
  // ReadTextLine with LF, the default timeout and `max_length` (-1 uses
  // MaxLineLength). False (and "") only when the peer closed before a line
  // end arrived; a close with nothing buffered raises ConnClosedGracefully.
  bool ReadLine(std::string& line, int64_t max_length = -1) override;

 private:
  TCPConnection& connection_;
};

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_TCP_STREAM_H_
