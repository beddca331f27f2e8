// Byte buffers of the connection. SimpleBuffer is contiguous bytes with an
// optional bytes-removed notification. ManagedBuffer is the input buffer: it
// keeps a consumed prefix instead of moving data on every removal and
// compacts only once 32768 bytes were consumed. Taking more than a buffer
// holds raises NotEnoughDataInBuffer.
#ifndef REPLYVANE_NET_BUFFER_H_
#define REPLYVANE_NET_BUFFER_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace replyvane::net {

class SimpleBuffer {
 public:
  SimpleBuffer() = default;
  virtual ~SimpleBuffer() = default;

  // Called with the count after every Remove (and Extract).
  std::function<void(int32_t count)> OnBytesRemoved;

  // Number of bytes held (after any consumed prefix).
  virtual int32_t Size() const { return int32_t(data_.size()); }
  bool Empty() const { return Size() == 0; }
  // First held byte; valid until the next change.
  virtual const char* Memory() const { return data_.data(); }
  std::string_view View() const { return {Memory(), size_t(Size())}; }

  void Append(const void* bytes, int32_t count);
  void Append(std::string_view bytes) {
    Append(bytes.data(), int32_t(bytes.size()));
  }
  // Room for `count` more bytes at the end; Commit(n) keeps the first n of
  // them and drops the rest. Lets a receive land in place.
  char* Reserve(int32_t count);
  void Commit(int32_t count);
  // Drops the first `count` bytes and notifies.
  virtual void Remove(int32_t count);
  // The first `count` bytes as text, removed from the buffer.
  std::string Extract(int32_t count);
  virtual void Clear();

 protected:
  void Notify(int32_t count) {
    if (OnBytesRemoved) OnBytesRemoved(count);
  }
  std::string data_;
  size_t reserved_from_ = 0;
};

class ManagedBuffer : public SimpleBuffer {
 public:
  static constexpr int32_t kCompactThreshold = 32768;

  int32_t ConsumedBytes() const { return consumed_; }
  int32_t Size() const override { return int32_t(data_.size()) - consumed_; }
  const char* Memory() const override { return data_.data() + consumed_; }
  void Remove(int32_t count) override;
  void Clear() override;

 private:
  int32_t consumed_ = 0;
};

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_BUFFER_H_
