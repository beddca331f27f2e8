// Line reading over any stream, shared by the part decoders (which read a
// part's lines from memory, files or a connection) and the network layer.
#include <cstring>

#include "core/stream.h"

namespace replyvane::core {
namespace {

constexpr size_t kChunkSize = 2048;

bool ExceedsLimit(const std::string& line, int64_t max_length) {
  return max_length >= 0 && line.size() > size_t(max_length);
}

// Streams without a position cannot give back what was read too far, so
// they are read a byte at a time.
bool ReadLineBytewise(Stream& stream, std::string& line, int64_t max_length) {
  char ch;
  bool any = false;
  while (stream.Read(&ch, 1) == 1) {
    any = true;
    if (ch == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      break;
    }
    line.push_back(ch);
    if (max_length >= 0 && line.size() >= size_t(max_length)) break;
  }
  return any;
}

}  // namespace

bool Stream::ReadLine(std::string& line, int64_t max_length) {
  line.clear();
  if (Seek(0, SeekOrigin::kCurrent) < 0) {
    return ReadLineBytewise(*this, line, max_length);
  }
  char chunk[kChunkSize];
  bool any = false;
  for (;;) {
    size_t n = Read(chunk, sizeof chunk);
    if (n == 0) return any;
    any = true;
    const void* cr = std::memchr(chunk, '\r', n);
    const void* lf = std::memchr(chunk, '\n', n);
    size_t end = n;
    if (cr) end = size_t(static_cast<const char*>(cr) - chunk);
    if (lf) end = std::min(end, size_t(static_cast<const char*>(lf) - chunk));
    line.append(chunk, end);
    if (ExceedsLimit(line, max_length)) {
      size_t excess = line.size() - size_t(max_length);
      line.resize(size_t(max_length));
      Seek(-int64_t(n - end + excess), SeekOrigin::kCurrent);
      return true;
    }
    if (end == n) continue;
    size_t consumed = end + 1;
    if (chunk[end] == '\r') {
      if (consumed < n) {
        if (chunk[consumed] == '\n') ++consumed;
      } else {
        // The CR ends the chunk: its LF, if any, is the next byte.
        char next;
        if (Read(&next, 1) == 1 && next != '\n') Seek(-1, SeekOrigin::kCurrent);
        return true;
      }
    }
    Seek(-int64_t(n - consumed), SeekOrigin::kCurrent);
    return true;
  }
}

}  // namespace replyvane::core
