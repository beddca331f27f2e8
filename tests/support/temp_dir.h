// A fresh private directory for one test fixture, removed with everything in
// it when the owner goes away. Creation failure throws std::system_error.
#ifndef REPLYVANE_TESTS_SUPPORT_TEMP_DIR_H_
#define REPLYVANE_TESTS_SUPPORT_TEMP_DIR_H_

#include <string>
#include <string_view>

namespace replyvane::testing {

class TempDir {
 public:
  // Creates $TMPDIR (or /tmp) /replyvane-<prefix>-XXXXXX, mode 0700.
  explicit TempDir(std::string_view prefix = "test");
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // Removes the directory tree; errors are ignored (nothing to do about
  // them at that point).
  ~TempDir();

  // The absolute path, without a trailing slash.
  const std::string& Path() const { return path_; }
  // Path() + "/" + `name`.
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

// Writes `bytes` to `path` (created or truncated, mode 0644); throws
// std::system_error when that fails.
void WriteFile(const std::string& path, std::string_view bytes);

// The whole file (empty when it cannot be read); `*ok`, when given, says
// whether it could be read.
std::string ReadFile(const std::string& path, bool* ok = nullptr);

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_TEMP_DIR_H_
