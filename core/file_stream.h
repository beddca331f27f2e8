// A stream over a file descriptor. Opening failures raise StreamError with a
// text that names the file and gives the system's reason.
#ifndef REPLYVANE_CORE_FILE_STREAM_H_
#define REPLYVANE_CORE_FILE_STREAM_H_

#include <string>

#include "core/stream.h"

namespace replyvane::core {

enum class FileMode {
  kOpenRead,       // existing file, read only
  kOpenReadWrite,  // existing file, read and write
  kCreate,         // create or truncate, read and write
  kCreateNew,      // create exclusively (fails when the file exists)
};

class FileStream : public Stream {
 public:
  // `permissions` applies to files that the call creates.
  FileStream(const std::string& path, FileMode mode,
             unsigned permissions = 0600);
  ~FileStream() override;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  const char* ClassName() const override { return "FileStream"; }

  const std::string& Path() const { return path_; }
  int Handle() const { return fd_; }

 private:
  std::string path_;
  int fd_ = -1;
};

// Reads a whole file into memory (for small files such as settings).
std::string ReadWholeFile(const std::string& path);

}  // namespace replyvane::core

#endif  // REPLYVANE_CORE_FILE_STREAM_H_
