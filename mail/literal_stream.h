// The bytes of one literal as a stream: exactly `size` bytes read from the
// connection as they are asked for, so that a message in an IMAP literal
// goes through the message reader (StreamLines) without being held whole.
#ifndef REPLYVANE_MAIL_LITERAL_STREAM_H_
#define REPLYVANE_MAIL_LITERAL_STREAM_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/stream.h"
#include "net/tcp_connection.h"

namespace replyvane::mail {

class LiteralStream final : public core::Stream {
 public:
  LiteralStream(net::TCPConnection& connection, size_t size)
      : connection_(connection), left_(size) {}

  size_t Read(void* buffer, size_t count) override {
    const size_t n = std::min({count, left_, size_t(1) << 20});
    connection_.ReadBytes(buffer, int32_t(n));
    left_ -= n;
    return n;
  }
  size_t Write(const void*, size_t) override { return 0; }
  int64_t Seek(int64_t, core::SeekOrigin) override { return -1; }
  const char* ClassName() const override { return "LiteralStream"; }

  // Reads and drops what the reader left of the literal.
  void Skip() {
    char block[16384];
    while (left_ > 0) Read(block, sizeof(block));
  }

 private:
  net::TCPConnection& connection_;
  size_t left_;
};

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_LITERAL_STREAM_H_
