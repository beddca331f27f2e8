// A message client whose connection is faked below the line reader: the
// input buffer is filled from memory, so the real line limit, dot handling
// and part decoders run on the fuzzer's bytes.
#ifndef REPLYVANE_FUZZ_MEMORY_MESSAGE_CLIENT_H_
#define REPLYVANE_FUZZ_MEMORY_MESSAGE_CLIENT_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mail/message_client.h"
#include "net/exceptions.h"

namespace replyvane::fuzz {

// Serves the input in chunks of `chunk` bytes, then reports the peer gone.
class MemoryMessageClient : public mail::MessageClient {
 public:
  MemoryMessageClient(std::string_view data, size_t chunk)
      : data_(data), chunk_(chunk) {}

  int32_t FillInputBuffer(bool, int32_t, bool) override {
    if (data_.empty()) throw net::ConnClosedGracefully();
    size_t n = std::min(data_.size(), chunk_);
    InputQueue().Append(data_.substr(0, n));
    data_.remove_prefix(n);
    return int32_t(n);
  }

 private:
  std::string_view data_;
  size_t chunk_;
};

}  // namespace replyvane::fuzz

#endif  // REPLYVANE_FUZZ_MEMORY_MESSAGE_CLIENT_H_
