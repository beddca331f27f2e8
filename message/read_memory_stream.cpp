#include "message/read_memory_stream.h"

#include <algorithm>
#include <cstring>

namespace replyvane::message {

size_t ReadMemoryStream::Read(void* buffer, size_t count) {
  size_t n = std::min(count, text_.size() - position_);
  if (n > 0) std::memcpy(buffer, text_.data() + position_, n);
  position_ += n;
  return n;
}

size_t ReadMemoryStream::Write(const void*, size_t) { return 0; }

int64_t ReadMemoryStream::Seek(int64_t offset, core::SeekOrigin origin) {
  int64_t base = 0;
  if (origin == core::SeekOrigin::kCurrent) base = int64_t(position_);
  if (origin == core::SeekOrigin::kEnd) base = int64_t(text_.size());
  int64_t size = int64_t(text_.size());
  // Saturate instead of overflowing on extreme offsets.
  int64_t target = offset > size - base ? size
                   : offset < -base     ? 0
                                        : base + offset;
  position_ = size_t(target);
  return target;
}

}  // namespace replyvane::message
