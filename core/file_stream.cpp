#include "core/file_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace replyvane::core {

namespace {

std::string Reason() { return std::strerror(errno); }

}  // namespace

FileStream::FileStream(const std::string& path, FileMode mode,
                       unsigned permissions)
    : path_(path) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case FileMode::kOpenRead:
      flags |= O_RDONLY;
      break;
    case FileMode::kOpenReadWrite:
      flags |= O_RDWR;
      break;
    case FileMode::kCreate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case FileMode::kCreateNew:
      flags |= O_RDWR | O_CREAT | O_EXCL;
      break;
  }
  do {
    fd_ = ::open(path.c_str(), flags, permissions);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) {
    bool creating = mode == FileMode::kCreate || mode == FileMode::kCreateNew;
    throw StreamError(std::string(creating ? "Cannot create file \""
                                           : "Cannot open file \"") +
                      path + "\". " + Reason());
  }
}

FileStream::~FileStream() {
  if (fd_ >= 0) ::close(fd_);
}

size_t FileStream::Read(void* buffer, size_t count) {
  for (;;) {
    ssize_t n = ::read(fd_, buffer, count);
    if (n >= 0) return size_t(n);
    if (errno != EINTR) {
      throw StreamError("Cannot read file \"" + path_ + "\". " + Reason());
    }
  }
}

size_t FileStream::Write(const void* buffer, size_t count) {
  for (;;) {
    ssize_t n = ::write(fd_, buffer, count);
    if (n >= 0) return size_t(n);
    if (errno != EINTR) {
      throw StreamError("Cannot write file \"" + path_ + "\". " + Reason());
    }
  }
}

int64_t FileStream::Seek(int64_t offset, SeekOrigin origin) {
  int whence = origin == SeekOrigin::kBeginning ? SEEK_SET
               : origin == SeekOrigin::kCurrent ? SEEK_CUR
                                                : SEEK_END;
  return int64_t(::lseek(fd_, off_t(offset), whence));
}

std::string ReadWholeFile(const std::string& path) {
  FileStream file(path, FileMode::kOpenRead);
  std::string data;
  char chunk[65536];
  for (size_t n; (n = file.Read(chunk, sizeof chunk)) > 0;) {
    data.append(chunk, n);
  }
  return data;
}

}  // namespace replyvane::core
