#include "message/decoder.h"

#include "core/memory_stream.h"

namespace replyvane::message {

std::string Decoder::DecodeText(std::string_view text) {
  core::MemoryStream out;
  DecodeToStream(text, out);
  return std::move(out.MutableData());
}

}  // namespace replyvane::message
