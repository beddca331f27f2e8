// Quoted-printable: the encoder writes its own soft line breaks (at most 75
// characters between two breaks) and lets CR and LF of the data pass; the
// decoder undoes escapes and soft breaks. Neither ever raises on content.
#ifndef REPLYVANE_MESSAGE_QUOTED_PRINTABLE_CODER_H_
#define REPLYVANE_MESSAGE_QUOTED_PRINTABLE_CODER_H_

#include "message/decoder.h"
#include "message/encoder.h"

namespace replyvane::message {

class EncoderQuotedPrintable : public Encoder {
 public:
  // Reads up to `count` bytes in blocks of 8192. Returns the output lines
  // joined by CR LF, without CR LF after the last; "" for no data.
  std::string Encode(core::Stream& source,
                     int64_t count = kWholeStream) override;
  void EncodeAppend(core::Stream& source, int64_t count,
                    std::string& out) override;
};

class DecoderQuotedPrintable : public Decoder {
 public:
  // Trailing blanks and tabs are dropped, "=XX" (either case) gives a byte,
  // "=" without hex digits is a soft break eating up to two CR/LF.
  void DecodeToStream(std::string_view text,
                      core::Stream& destination) override;
};

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_QUOTED_PRINTABLE_CODER_H_
