// The common face of the transfer decoders: each takes one piece of coded
// text (one line, without its line break) and appends the bytes it stands
// for to a stream. Characters outside a coder's alphabet never raise.
#ifndef REPLYVANE_MESSAGE_DECODER_H_
#define REPLYVANE_MESSAGE_DECODER_H_

#include <string>
#include <string_view>

#include "core/stream.h"

namespace replyvane::message {

class Decoder {
 public:
  virtual ~Decoder() = default;

  // Appends the decoded bytes of `text` at the destination's position; an
  // empty text writes nothing. Each coder documents what it refuses
  // (core::Exception); write failures of the stream propagate.
  virtual void DecodeToStream(std::string_view text,
                              core::Stream& destination) = 0;

  // DecodeToStream into a fresh string.
  std::string DecodeText(std::string_view text);
};

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_DECODER_H_
