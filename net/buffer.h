// Byte buffers of the connection. SimpleBuffer is contiguous bytes with an
// optional bytes-removed notification. ManagedBuffer is the input buffer: it
// keeps a consumed prefix instead of moving data on every removal and
// compacts only once 32768 bytes were consumed. Taking more than a buffer
// holds raises NotEnoughDataInBuffer.
#ifndef REPLYVANE_NET_BUFFER_H_
#define REPLYVANE_NET_BUFFER_H_

#include <cstdint>
#include <functional>
#include <memory>
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
  virtual int32_t Size() const { return int32_t(size_); }
  bool Empty() const { return Size() == 0; }
  // First held byte; valid until the next change.
  virtual const char* Memory() const { return data_.get(); }
  std::string_view View() const { return {Memory(), size_t(Size())}; }

  void Append(const void* bytes, int32_t count);
  void Append(std::string_view bytes) {
    Append(bytes.data(), int32_t(bytes.size()));
  }
  // Room for `count` more bytes at the end (not yet part of the buffer);
  // Commit(n) appends the first n of them. Lets a receive land in place.
  char* Reserve(int32_t count);
  void Commit(int32_t count) {
    if (count > 0) size_ += size_t(count);
  }
  // Drops the first `count` bytes and notifies.
  virtual void Remove(int32_t count);
  // The first `count` bytes as text, removed from the buffer.
  std::string Extract(int32_t count);
  virtual void Clear();

 protected:
  void Notify(int32_t count) {
    if (OnBytesRemoved) OnBytesRemoved(count);
  }
  // Drops the first `count` stored bytes by moving the rest down.
  void DropFront(size_t count);
  void Reset() { size_ = 0; }

  // Stored bytes, including a consumed prefix; grown without zero-filling.
  std::unique_ptr<char[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

class ManagedBuffer : public SimpleBuffer {
 public:
  static constexpr int32_t kCompactThreshold = 32768;

  int32_t ConsumedBytes() const { return consumed_; }
  int32_t Size() const override { return int32_t(size_) - consumed_; }
  const char* Memory() const override { return data_.get() + consumed_; }
  void Remove(int32_t count) override;
  void Clear() override;

 private:
  int32_t consumed_ = 0;
};

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_BUFFER_H_
