#include "responder/private_file.h"

#include <sys/stat.h>

#include "core/file_stream.h"

namespace replyvane::responder {

namespace {

constexpr mode_t kPrivateMode = 0600;

}  // namespace

void WritePrivateFile(const std::string& path, std::string_view data) {
  core::FileStream file(path, core::FileMode::kCreate, kPrivateMode);
  struct stat status;
  if (::fstat(file.Handle(), &status) == 0) {
    // An older file may have been readable by others; never widen a mode.
    mode_t wanted = status.st_mode & kPrivateMode;
    if ((status.st_mode & 07777) != wanted) ::fchmod(file.Handle(), wanted);
  }
  file.WriteBuffer(data.data(), data.size());
}

bool FileExists(const std::string& path) {
  struct stat status;
  return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

std::string ReadFileHead(const std::string& path, size_t limit,
                         bool& too_long) {
  core::FileStream file(path, core::FileMode::kOpenRead);
  std::string data;
  char chunk[65536];
  too_long = false;
  for (;;) {
    size_t n = file.Read(chunk, sizeof chunk);
    if (n == 0) break;
    if (data.size() + n > limit) {
      data.append(chunk, limit - data.size());
      too_long = true;
      break;
    }
    data.append(chunk, n);
  }
  return data;
}

}  // namespace replyvane::responder
