// New files for received attachments in the directory for temporary files
// ($TMPDIR, else /tmp). Each file is created exclusively with mode 0600, since
// it holds someone's mail. The attachment that names a file removes it; the
// start-up sweep removes those a crashed run left behind.
#ifndef REPLYVANE_MAIL_TEMP_FILE_H_
#define REPLYVANE_MAIL_TEMP_FILE_H_

#include <chrono>
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

// How old a left-over file must be before the sweep removes it: a day, so a
// file that a running copy still reads is never taken from under it.
inline constexpr std::chrono::seconds kStaleTempFileAge =
    std::chrono::hours(24);

// Removes from `directory` (which ends with "/") the files that
// CreateTempFile made and nobody removed: regular files (not symbolic links)
// whose name starts with "Vorn", owned by this process's user and last
// changed at least `min_age` ago. Anything else is left alone. Returns how
// many were removed; a directory that cannot be read removes none, and no
// failure is raised, since a sweep never stops a start.
int RemoveStaleTempFiles(const std::string& directory,
                         std::chrono::seconds min_age = kStaleTempFileAge);

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_TEMP_FILE_H_
