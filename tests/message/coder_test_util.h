// Helpers shared by the transfer coder tests: random bytes, base64 written
// plainly from its rules, and a source that reads like a pipe.
#ifndef REPLYVANE_TESTS_MESSAGE_CODER_TEST_UTIL_H_
#define REPLYVANE_TESTS_MESSAGE_CODER_TEST_UTIL_H_

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "core/stream.h"

namespace replyvane::message {

inline std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = char(random() & 0xFF);
  return bytes;
}

// Base64 six bits at a time, as the rules read, in the given alphabet.
inline std::string PlainBase64(
    std::string_view bytes,
    std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/") {
  std::string text;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    size_t n = std::min<size_t>(3, bytes.size() - i);
    uint32_t group = 0;
    for (size_t k = 0; k < 3; ++k) {
      group = group << 8 | (k < n ? uint8_t(bytes[i + k]) : 0);
    }
    for (size_t k = 0; k < 4; ++k) {
      text += k <= n ? alphabet[group >> (18 - 6 * k) & 63] : '=';
    }
  }
  return text;
}

// Hands out at most 1000 bytes per read and knows neither its position nor
// its size, like a pipe.
class TrickleStream : public core::Stream {
 public:
  explicit TrickleStream(std::string data) : data_(std::move(data)) {}
  size_t Read(void* buffer, size_t count) override {
    size_t n = std::min({count, size_t(1000), data_.size() - position_});
    std::copy_n(data_.data() + position_, n, static_cast<char*>(buffer));
    position_ += n;
    return n;
  }
  size_t Write(const void*, size_t) override { return 0; }
  int64_t Seek(int64_t, core::SeekOrigin) override { return -1; }
  const char* ClassName() const override { return "TrickleStream"; }

 private:
  std::string data_;
  size_t position_ = 0;
};

}  // namespace replyvane::message

#endif  // REPLYVANE_TESTS_MESSAGE_CODER_TEST_UTIL_H_
