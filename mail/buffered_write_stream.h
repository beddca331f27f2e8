// A write-only stream that gathers small writes into one larger block before
// handing it to the stream below. Part coders write one short line at a time;
// without this every line would be a system call on a socket or a file.
// Failures of the stream below propagate from Write or Flush.
#ifndef REPLYVANE_MAIL_BUFFERED_WRITE_STREAM_H_
#define REPLYVANE_MAIL_BUFFERED_WRITE_STREAM_H_

#include <string>

#include "core/stream.h"

namespace replyvane::mail {

class BufferedWriteStream : public core::Stream {
 public:
  static constexpr size_t kDefaultCapacity = 65536;

  // `target` must outlive this stream. Nothing is flushed on destruction:
  // callers flush on success, and on failure decide themselves.
  explicit BufferedWriteStream(core::Stream& target,
                               size_t capacity = kDefaultCapacity);

  // Always raises core::StreamError: the stream only writes.
  size_t Read(void* buffer, size_t count) override;
  // Buffers the bytes, passing full blocks on; returns `count`.
  size_t Write(const void* buffer, size_t count) override;
  // The number of bytes written so far for kCurrent with offset 0, else -1.
  int64_t Seek(int64_t offset, core::SeekOrigin origin) override;
  const char* ClassName() const override { return "BufferedWriteStream"; }
  int64_t Size() override { return written_; }

  // Hands every buffered byte to the target.
  void Flush();

 private:
  core::Stream& target_;
  size_t capacity_;
  std::string buffer_;
  int64_t written_ = 0;
};

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_BUFFERED_WRITE_STREAM_H_
