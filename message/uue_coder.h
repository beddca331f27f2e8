// UUE and XXE line coders: base64-like lines with a length character in
// front. The encoder refuses counts like its parent and, since the length
// character cannot express more, lines of over 63 bytes with "Line too long
// in Encode."; the decoder yields exactly the bytes the length character
// announces.
#ifndef REPLYVANE_MESSAGE_UUE_CODER_H_
#define REPLYVANE_MESSAGE_UUE_CODER_H_

#include "message/coder_3to4.h"

namespace replyvane::message {

// The backquote (value 0) followed by "!" through "_" (values 1 to 63).
inline constexpr std::string_view kUUEAlphabet =
    "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
inline constexpr std::string_view kXXEAlphabet =
    "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

class EncoderUUEBase : public Encoder3to4 {
 public:
  using Encoder3to4::Encoder3to4;

  // Encode gives CodingTable[bytes consumed] followed by the 3-to-4
  // encoding; 45 bytes give a 61-character line. Raises "Line too long in
  // Encode." before reading when more than 63 bytes would be consumed.
  void EncodeAppend(core::Stream& source, int64_t count,
                    std::string& out) override;
};

class EncoderUUE : public EncoderUUEBase {
 public:
  EncoderUUE() : EncoderUUEBase(kUUEAlphabet, '`') {}
};

class EncoderXXE : public EncoderUUEBase {
 public:
  EncoderXXE() : EncoderUUEBase(kXXEAlphabet, '+') {}
};

class DecoderUUEBase : public Decoder4to3 {
 public:
  using Decoder4to3::Decoder4to3;

  // An empty line gives nothing; otherwise exactly as many bytes as the
  // first character's value (up to 255 for a character outside the
  // alphabet), the rest of the line cut or padded to fit.
  void DecodeToStream(std::string_view text,
                      core::Stream& destination) override;

 protected:
  void DecodeLine(std::string_view text, core::Stream& destination);
};

class DecoderUUE : public DecoderUUEBase {
 public:
  DecoderUUE();
  // Blanks count as backquotes (older encoders write blank for value 0).
  void DecodeToStream(std::string_view text,
                      core::Stream& destination) override;
};

class DecoderXXE : public DecoderUUEBase {
 public:
  DecoderXXE();
};

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_UUE_CODER_H_
