#include "mail/buffered_write_stream.h"

namespace replyvane::mail {

BufferedWriteStream::BufferedWriteStream(core::Stream& target, size_t capacity)
    : target_(target), capacity_(capacity == 0 ? 1 : capacity) {
  buffer_.reserve(capacity_);
}

size_t BufferedWriteStream::Read(void*, size_t) {
  throw core::StreamError("BufferedWriteStream cannot read");
}

size_t BufferedWriteStream::Write(const void* buffer, size_t count) {
  const char* bytes = static_cast<const char*>(buffer);
  written_ += int64_t(count);
  if (buffer_.size() + count > capacity_) {
    Flush();
    if (count >= capacity_) {
      // Large blocks go straight through instead of being copied twice.
      target_.WriteBuffer(bytes, count);
      return count;
    }
  }
  buffer_.append(bytes, count);
  return count;
}

int64_t BufferedWriteStream::Seek(int64_t offset, core::SeekOrigin origin) {
  if (offset == 0 && origin == core::SeekOrigin::kCurrent) return written_;
  return -1;
}

void BufferedWriteStream::Flush() {
  if (buffer_.empty()) return;
  try {
    target_.WriteBuffer(buffer_.data(), buffer_.size());
  } catch (...) {
    // A failing target must not see the same bytes again on a later flush.
    buffer_.clear();
    throw;
  }
  buffer_.clear();
}

}  // namespace replyvane::mail
