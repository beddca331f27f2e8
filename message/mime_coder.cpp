#include "message/mime_coder.h"

namespace replyvane::message {
namespace {

const DecodeTable& Base64Table() {
  static const DecodeTable table(kBase64Alphabet);
  return table;
}

}  // namespace

DecoderMIME::DecoderMIME() : Decoder4to3(Base64Table(), '=') {}

}  // namespace replyvane::message
