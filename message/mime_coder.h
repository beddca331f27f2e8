// Base64, the MIME coder. Encoding gives text without line breaks; decoding
// takes one line without line breaks or blanks.
#ifndef REPLYVANE_MESSAGE_MIME_CODER_H_
#define REPLYVANE_MESSAGE_MIME_CODER_H_

#include "message/coder_3to4.h"

namespace replyvane::message {

inline constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

class EncoderMIME : public Encoder3to4 {
 public:
  EncoderMIME() : Encoder3to4(kBase64Alphabet, '=') {}
};

class DecoderMIME : public Decoder4to3 {
 public:
  DecoderMIME();
};

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_MIME_CODER_H_
