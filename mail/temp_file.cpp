// Unique names come from random suffixes; O_CREAT|O_EXCL (FileMode::kCreateNew)
// makes the creation itself the uniqueness check, so a name taken by another
// process, or planted in a shared directory, is skipped rather than reused.
#include "mail/temp_file.h"

#include <sys/stat.h>

#include <cstdlib>
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

}  // namespace replyvane::mail
