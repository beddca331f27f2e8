#include "message/encoder.h"

#include "message/read_memory_stream.h"

namespace replyvane::message {

std::string Encoder::EncodeText(std::string_view text) {
  ReadMemoryStream source(text);
  return Encode(source, kWholeStream);
}

void Encoder::EncodeAppend(core::Stream& source, int64_t count,
                           std::string& out) {
  out += Encode(source, count);
}

int64_t Encoder::BytesLeft(core::Stream& source) {
  int64_t position = source.Position();
  if (position < 0) return -1;
  int64_t size = source.Size();
  if (size < 0) return -1;
  return size > position ? size - position : 0;
}

size_t Encoder::ReadUpTo(core::Stream& source, void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    size_t n = source.Read(static_cast<char*>(buffer) + done, count - done);
    if (n == 0) break;
    done += n;
  }
  return done;
}

}  // namespace replyvane::message
