// The small stream interface the layers move bytes through: part coders read
// attachment files and write to connections through it, and received parts
// are decoded into it. Memory and file streams live in their own files.
#ifndef REPLYVANE_CORE_STREAM_H_
#define REPLYVANE_CORE_STREAM_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/exception.h"

namespace replyvane::core {

class StreamError : public Exception {
 public:
  using Exception::Exception;
};

enum class SeekOrigin { kBeginning, kCurrent, kEnd };

class Stream {
 public:
  virtual ~Stream() = default;

  // Reads up to `count` bytes at the position; returns how many were read
  // (0 at the end).
  virtual size_t Read(void* buffer, size_t count) = 0;
  // Writes `count` bytes at the position; returns how many were written.
  virtual size_t Write(const void* buffer, size_t count) = 0;
  // Moves the position; returns the new position, or -1 for a stream that
  // has none.
  virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
  // The name that failure texts show for this kind of stream.
  virtual const char* ClassName() const = 0;

  int64_t Position() { return Seek(0, SeekOrigin::kCurrent); }
  void SetPosition(int64_t position) { Seek(position, SeekOrigin::kBeginning); }
  // Size by seeking to the end and back; streams that know it override.
  virtual int64_t Size();

  // Read or write exactly `count` bytes, or raise StreamError.
  void ReadBuffer(void* buffer, size_t count);
  void WriteBuffer(const void* buffer, size_t count);
  void WriteString(const std::string& text) {
    WriteBuffer(text.data(), text.size());
  }

  // Reads the next line from the position into `line`, without its end
  // (LF, CR or CR LF, consumed). A line longer than `max_length` (when not
  // negative) is cut there and the rest comes with the next call. Returns
  // false with `line` empty when no byte is left. The base reads in chunks
  // and seeks back; on a stream that cannot seek it reads byte by byte and
  // only LF ends a line (a CR before it is dropped). Streams over a
  // connection override it with the connection's own line reading.
  virtual bool ReadLine(std::string& line, int64_t max_length = -1);
};

}  // namespace replyvane::core

#endif  // REPLYVANE_CORE_STREAM_H_
