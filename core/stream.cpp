#include "core/stream.h"

namespace replyvane::core {

int64_t Stream::Size() {
  int64_t position = Seek(0, SeekOrigin::kCurrent);
  int64_t size = Seek(0, SeekOrigin::kEnd);
  Seek(position, SeekOrigin::kBeginning);
  return size;
}

void Stream::ReadBuffer(void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    size_t n = Read(static_cast<char*>(buffer) + done, count - done);
    if (n == 0) throw StreamError("Stream read error");
    done += n;
  }
}

void Stream::WriteBuffer(const void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    size_t n = Write(static_cast<const char*>(buffer) + done, count - done);
    if (n == 0) throw StreamError("Stream write error");
    done += n;
  }
}

}  // namespace replyvane::core
