// New files for received attachments in the directory for temporary files
// ($TMPDIR, else /tmp). Each file is created exclusively with mode 0600, since
// it holds someone's mail; the files are never deleted by the program.
#ifndef REPLYVANE_MAIL_TEMP_FILE_H_
#define REPLYVANE_MAIL_TEMP_FILE_H_

#include <memory>
#include <string>

#include "core/file_stream.h"

namespace replyvane::mail {

// The directory for temporary files, read once per process, with a trailing
// "/". $TMPDIR when it is set and not empty, else "/tmp/".
const std::string& TempDirectory();

// Creates a new empty file named "Vorn" + a unique suffix in `directory`
// (which ends with "/") and returns it open for writing. Raises
// core::StreamError when no file can be created there.
std::unique_ptr<core::FileStream> CreateTempFile(const std::string& directory);

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_TEMP_FILE_H_
