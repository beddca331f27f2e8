#include "core/private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/file_stream.h"

namespace replyvane::core {

namespace {

constexpr mode_t kPrivateMode = 0600;
// As many links as the kernel follows before it gives up (ELOOP).
constexpr int kMaxLinks = 40;

[[noreturn]] void Fail(const char* what, const std::string& path, int error) {
  throw core::StreamError(std::string(what) + " \"" + path + "\". " +
                          std::strerror(error));
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a chain of symbolic links at `path` ends in (which need not exist
// yet); `path` itself when it is no link.
std::string FinalTarget(std::string path) {
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
      return path;
    }
    std::string link(4096, '\0');
    ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n <= 0 || size_t(n) >= link.size()) return path;
    link.resize(size_t(n));
    path = link.front() == '/' ? link : FolderOf(path) + "/" + link;
  }
  return path;  // a loop: the rename fails as opening it would
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    data.remove_prefix(size_t(n));
  }
  return true;
}

// The rename reaches the disk only with its folder.
void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // some file systems cannot, and need not
  ::close(fd);
}

// Removes the temporary file of a save that failed, keeping the errno that
// tells why.
int Abandon(int fd, const std::string& temporary) {
  int error = errno;
  if (fd >= 0) ::close(fd);
  ::unlink(temporary.c_str());
  return error;
}

}  // namespace

void WritePrivateFile(const std::string& path, std::string_view data) {
  const std::string target = FinalTarget(path);
  mode_t mode = kPrivateMode;
  struct stat old;
  bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists) {
    if (S_ISDIR(old.st_mode)) Fail("Cannot create file", path, EISDIR);
    // A file the user made read-only stays as it is, as it did when it was
    // rewritten in place.
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
      Fail("Cannot create file", path, errno);
    }
    // An older file may have been readable by others; never widen a mode.
    mode = old.st_mode & kPrivateMode;
  }

  const std::string folder = FolderOf(target);
  std::string temporary =
      folder + "/." + target.substr(target.rfind('/') + 1) + ".XXXXXX";
  if (target.find('/') == std::string::npos)
    temporary = "./." + target + ".XXXXXX";
  int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) Fail("Cannot create file", path, errno);
  // Best effort, as the rewrite in place was: mkostemp made it 0600 and the
  // saver's; a stricter mode and, when root saves a user's file, the owner
  // are carried over.
  int ignored = 0;
  if (mode != kPrivateMode) ignored |= ::fchmod(fd, mode);
  if (exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
    ignored |= ::fchown(fd, old.st_uid, old.st_gid);
  }
  static_cast<void>(ignored);
  if (!WriteAll(fd, data) || ::fsync(fd) != 0) {
    Fail("Cannot write file", path, Abandon(fd, temporary));
  }
  if (::close(fd) != 0) {
    Fail("Cannot write file", path, Abandon(-1, temporary));
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    Fail("Cannot create file", path, Abandon(-1, temporary));
  }
  SyncFolder(folder);
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

}  // namespace replyvane::core
