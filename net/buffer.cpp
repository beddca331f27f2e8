#include "net/buffer.h"

#include <cstring>

#include "net/exceptions.h"

namespace replyvane::net {

void SimpleBuffer::Append(const void* bytes, int32_t count) {
  if (count <= 0) return;
  data_.append(static_cast<const char*>(bytes), size_t(count));
}

char* SimpleBuffer::Reserve(int32_t count) {
  reserved_from_ = data_.size();
  data_.resize(reserved_from_ + size_t(count > 0 ? count : 0));
  return data_.data() + reserved_from_;
}

void SimpleBuffer::Commit(int32_t count) {
  data_.resize(reserved_from_ + size_t(count > 0 ? count : 0));
}

void SimpleBuffer::Remove(int32_t count) {
  if (count > Size() || count < 0) throw NotEnoughDataInBuffer();
  data_.erase(0, size_t(count));
  Notify(count);
}

std::string SimpleBuffer::Extract(int32_t count) {
  if (count > Size() || count < 0) throw NotEnoughDataInBuffer();
  std::string bytes(Memory(), size_t(count));
  Remove(count);
  return bytes;
}

void SimpleBuffer::Clear() { data_.clear(); }

void ManagedBuffer::Remove(int32_t count) {
  if (count > Size() || count < 0) throw NotEnoughDataInBuffer();
  if (count == Size()) {
    data_.clear();
    consumed_ = 0;
  } else {
    consumed_ += count;
    if (consumed_ >= kCompactThreshold) {
      data_.erase(0, size_t(consumed_));
      consumed_ = 0;
    }
  }
  Notify(count);
}

void ManagedBuffer::Clear() {
  data_.clear();
  consumed_ = 0;
}

}  // namespace replyvane::net
