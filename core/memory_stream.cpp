#include "core/memory_stream.h"

#include <algorithm>
#include <cstring>

namespace replyvane::core {

size_t MemoryStream::Read(void* buffer, size_t count) {
  if (position_ >= data_.size()) return 0;
  size_t n = std::min(count, data_.size() - position_);
  std::memcpy(buffer, data_.data() + position_, n);
  position_ += n;
  return n;
}

size_t MemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  if (position_ > data_.size()) data_.resize(position_, '\0');
  size_t overlap = std::min(count, data_.size() - position_);
  data_.replace(position_, overlap, static_cast<const char*>(buffer), count);
  position_ += count;
  return count;
}

int64_t MemoryStream::Seek(int64_t offset, SeekOrigin origin) {
  int64_t base = 0;
  if (origin == SeekOrigin::kCurrent) base = int64_t(position_);
  if (origin == SeekOrigin::kEnd) base = int64_t(data_.size());
  int64_t target = base + offset;
  if (target < 0) target = 0;
  position_ = size_t(target);
  return target;
}

void MemoryStream::SetSize(int64_t size) {
  data_.resize(size_t(std::max<int64_t>(size, 0)), '\0');
  position_ = std::min(position_, data_.size());
}

}  // namespace replyvane::core
