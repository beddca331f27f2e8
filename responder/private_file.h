// The settings files hold passwords and private texts, so every file the
// program writes is readable by its owner only: created with mode 0600, and an
// existing file keeps its mode when that is stricter still. Failures raise
// core::StreamError with a text that names the file and the system's reason.
#ifndef REPLYVANE_RESPONDER_PRIVATE_FILE_H_
#define REPLYVANE_RESPONDER_PRIVATE_FILE_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace replyvane::responder {

// Creates or truncates `path` and writes `data` to it. Raises
// core::StreamError when the file cannot be created or written.
void WritePrivateFile(const std::string& path, std::string_view data);

// True when `path` names something that is not a directory.
bool FileExists(const std::string& path);

// Reads at most `limit` bytes of `path`; sets `too_long` when the file holds
// more. Raises core::StreamError when the file cannot be opened or read.
std::string ReadFileHead(const std::string& path, size_t limit, bool& too_long);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_PRIVATE_FILE_H_
