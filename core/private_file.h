// The settings files hold passwords and private texts, so every file the
// program writes is readable by its owner only: created with mode 0600, and an
// existing file keeps its mode when that is stricter still. A file is
// replaced whole or not at all: the new bytes go to a temporary file beside
// it, are flushed to the disk and renamed over the old file, so a full disk,
// a crash or a power cut leaves either the old file or the new one. Failures
// raise core::StreamError with a text that names the file and the system's
// reason.
#ifndef REPLYVANE_CORE_PRIVATE_FILE_H_
#define REPLYVANE_CORE_PRIVATE_FILE_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace replyvane::core {

// Makes `data` the whole content of `path`. A symbolic link at `path` stays
// a link; its final target gets the content. An existing file that the
// program may not write is left alone, as when it could not be opened.
// Raises core::StreamError "Cannot create file \"<path>\". <reason>" when
// the file cannot be created or put in place, "Cannot write file
// \"<path>\". <reason>" when its bytes cannot be written; the old file is
// then unchanged.
void WritePrivateFile(const std::string& path, std::string_view data);

// True when `path` names something that is not a directory.
bool FileExists(const std::string& path);

// Reads at most `limit` bytes of `path`; sets `too_long` when the file holds
// more. Raises core::StreamError when the file cannot be opened or read.
std::string ReadFileHead(const std::string& path, size_t limit, bool& too_long);

}  // namespace replyvane::core

#endif  // REPLYVANE_CORE_PRIVATE_FILE_H_
