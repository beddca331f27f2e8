// A growable in-memory stream. Writing past the end extends it; the bytes are
// reachable as a string for callers that need the whole content.
#ifndef REPLYVANE_CORE_MEMORY_STREAM_H_
#define REPLYVANE_CORE_MEMORY_STREAM_H_

#include <string>

#include "core/stream.h"

namespace replyvane::core {

class MemoryStream : public Stream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::string data) : data_(std::move(data)) {}

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  const char* ClassName() const override { return "MemoryStream"; }
  int64_t Size() override { return int64_t(data_.size()); }

  // Truncates or extends (with zero bytes); the position is kept but never
  // left beyond the new end.
  void SetSize(int64_t size);
  void Clear() {
    data_.clear();
    position_ = 0;
  }

  const std::string& Data() const { return data_; }
  std::string& MutableData() { return data_; }

 private:
  std::string data_;
  size_t position_ = 0;
};

}  // namespace replyvane::core

#endif  // REPLYVANE_CORE_MEMORY_STREAM_H_
