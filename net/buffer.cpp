// The connection's byte buffers. Over-long takes raise NotEnoughDataInBuffer
// and leave the buffer unchanged.
#include "net/buffer.h"

#include <algorithm>
#include <cstring>

#include "net/exceptions.h"

namespace replyvane::net {

void SimpleBuffer::Append(const void* bytes, int32_t count) {
  if (count <= 0) return;
  std::memcpy(Reserve(count), bytes, size_t(count));
  Commit(count);
}

char* SimpleBuffer::Reserve(int32_t count) {
  const size_t needed = size_ + size_t(count > 0 ? count : 0);
  if (needed > capacity_) {
    const size_t capacity = std::max({needed, capacity_ * 2, size_t(4096)});
    std::unique_ptr<char[]> grown(new char[capacity]);
    if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
    data_ = std::move(grown);
    capacity_ = capacity;
  }
  return data_.get() + size_;
}

void SimpleBuffer::DropFront(size_t count) {
  if (count < size_) {
    std::memmove(data_.get(), data_.get() + count, size_ - count);
  }
  size_ -= std::min(count, size_);
}

void SimpleBuffer::Remove(int32_t count) {
  if (count > Size() || count < 0) throw NotEnoughDataInBuffer();
  DropFront(size_t(count));
  Notify(count);
}

std::string SimpleBuffer::Extract(int32_t count) {
  if (count > Size() || count < 0) throw NotEnoughDataInBuffer();
  std::string bytes(Memory(), size_t(count));
  Remove(count);
  return bytes;
}

void SimpleBuffer::Clear() { Reset(); }

void ManagedBuffer::Remove(int32_t count) {
  if (count > Size() || count < 0) throw NotEnoughDataInBuffer();
  if (count == Size()) {
    Reset();
    consumed_ = 0;
  } else {
    consumed_ += count;
    if (consumed_ >= kCompactThreshold) {
      DropFront(size_t(consumed_));
      consumed_ = 0;
    }
  }
  Notify(count);
}

void ManagedBuffer::Clear() {
  Reset();
  consumed_ = 0;
}

}  // namespace replyvane::net
