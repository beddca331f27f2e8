// Unique names come from random suffixes; O_CREAT|O_EXCL (FileMode::kCreateNew)
// makes the creation itself the uniqueness check, so a name taken by another
// process, or planted in a shared directory, is skipped rather than reused.
// The sweep looks at each entry without following links (fstatat with
// AT_SYMLINK_NOFOLLOW) and removes it by name relative to the directory it
// read (unlinkat), so a link planted there is never followed to its target.
#include "mail/temp_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>

namespace replyvane::mail {

namespace {

constexpr char kPrefix[] = "Vorn";
constexpr int kAttempts = 64;
constexpr char kSuffixChars[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string RandomSuffix() {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  std::uniform_int_distribution<int> pick(0, sizeof(kSuffixChars) - 2);
  std::string suffix(10, ' ');
  for (char& c : suffix) c = kSuffixChars[pick(generator)];
  return suffix;
}

}  // namespace

const std::string& TempDirectory() {
  static const std::string directory = [] {
    const char* value = std::getenv("TMPDIR");
    std::string path = value != nullptr && *value != '\0' ? value : "/tmp";
    if (path.back() != '/') path += '/';
    return path;
  }();
  return directory;
}

std::unique_ptr<core::FileStream> CreateTempFile(const std::string& directory) {
  for (int attempt = 1;; ++attempt) {
    std::string path = directory + kPrefix + RandomSuffix();
    try {
      return std::make_unique<core::FileStream>(
          path, core::FileMode::kCreateNew, 0600);
    } catch (const core::StreamError&) {
      // Only a name that already exists is worth another try.
      struct stat info;
      if (attempt >= kAttempts || ::lstat(path.c_str(), &info) != 0) throw;
    }
  }
}

int RemoveStaleTempFiles(const std::string& directory,
                         std::chrono::seconds min_age) {
  const int dir_fd =
      ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd == -1) return 0;
  DIR* dir = ::fdopendir(dir_fd);
  if (dir == nullptr) {
    ::close(dir_fd);
    return 0;
  }
  const time_t newest = std::time(nullptr) - time_t(min_age.count());
  const uid_t owner = ::geteuid();
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (std::strncmp(entry->d_name, kPrefix, sizeof(kPrefix) - 1) != 0) {
      continue;
    }
    struct stat info;
    if (::fstatat(dir_fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode) || info.st_uid != owner ||
        info.st_mtime > newest) {
      continue;
    }
    if (::unlinkat(dir_fd, entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

}  // namespace replyvane::mail
