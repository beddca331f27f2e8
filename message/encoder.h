// The common face of the transfer encoders: each turns bytes read from a
// stream into mail-safe text. Line framing is the caller's business; an
// encoder keeps no state between calls.
#ifndef REPLYVANE_MESSAGE_ENCODER_H_
#define REPLYVANE_MESSAGE_ENCODER_H_

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "core/stream.h"

namespace replyvane::message {

class Encoder {
 public:
  // The count that means "everything left in the stream".
  static constexpr int64_t kWholeStream = std::numeric_limits<int64_t>::max();

  virtual ~Encoder() = default;

  // Encodes min(count, bytes left) bytes starting at the stream's position,
  // which advances past them. Returns "" when no bytes are left. Each coder
  // documents the counts it refuses (core::Exception).
  virtual std::string Encode(core::Stream& source,
                             int64_t count = kWholeStream) = 0;

  // Appends what Encode would return to `out`. A caller that encodes line
  // after line can reuse one text and save an allocation per line.
  virtual void EncodeAppend(core::Stream& source, int64_t count,
                            std::string& out);

  // Encode of the whole text, read in place without copying it.
  std::string EncodeText(std::string_view text);

 protected:
  // Bytes between the stream's position and its end; -1 when the stream
  // cannot tell.
  static int64_t BytesLeft(core::Stream& source);
  // Reads until `count` bytes are in or the stream has no more; returns how
  // many were read.
  static size_t ReadUpTo(core::Stream& source, void* buffer, size_t count);
};

// Creates an encoder of the given class, encodes the whole text with it and
// drops it again.
template <class EncoderClass>
std::string EncodeTextOnce(std::string_view text) {
  EncoderClass encoder;
  return encoder.EncodeText(text);
}

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_ENCODER_H_
