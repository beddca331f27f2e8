// Whole-file reads and writes and file modes for the settings tests.
#ifndef REPLYVANE_TESTS_APP_FILE_HELPERS_H_
#define REPLYVANE_TESTS_APP_FILE_HELPERS_H_

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

namespace replyvane::app {

// The file's bytes; empty when it cannot be read.
inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream data;
  data << in.rdbuf();
  return data.str();
}

inline void Put(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

// The permission bits; ~0u when the file is missing.
inline unsigned Mode(const std::string& path) {
  struct stat status;
  return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : ~0u;
}

}  // namespace replyvane::app

#endif  // REPLYVANE_TESTS_APP_FILE_HELPERS_H_
