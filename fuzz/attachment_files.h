// The attachment files a fuzzed reception makes: kept in a private folder
// of the fuzzer's own, and removed after every input so that a long run
// does not fill the disk.
#ifndef REPLYVANE_FUZZ_ATTACHMENT_FILES_H_
#define REPLYVANE_FUZZ_ATTACHMENT_FILES_H_

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "mail/temp_file.h"

namespace replyvane::fuzz {

// Makes /tmp/<name>_XXXXXX, points TMPDIR at it and returns the temporary
// folder the mail layer will use (with its trailing "/").
inline std::string UsePrivateTempFolder(const std::string& name) {
  std::string pattern = "/tmp/" + name + "_XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) ::abort();
  ::setenv("TMPDIR", pattern.c_str(), 1);
  return mail::TempDirectory();
}

// Removes every "Vorn" file in `folder` (with its trailing "/").
inline void RemoveAttachmentFiles(const std::string& folder) {
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      std::string file = entry->d_name;
      if (file.rfind("Vorn", 0) == 0) ::unlink((folder + file).c_str());
    }
    ::closedir(dir);
  }
}

}  // namespace replyvane::fuzz

#endif  // REPLYVANE_FUZZ_ATTACHMENT_FILES_H_
