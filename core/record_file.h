// Files of one-line records (the answered-message journal, the history):
// fields separated by tabs, records by LF, appended as things happen.
#ifndef REPLYVANE_CORE_RECORD_FILE_H_
#define REPLYVANE_CORE_RECORD_FILE_H_

#include <string>
#include <string_view>
#include <vector>

namespace replyvane::core {

// `text` with its tabs and line breaks made blanks, so that it stays one
// field of one record.
std::string RecordField(std::string_view text);
std::vector<std::string_view> SplitRecordFields(std::string_view line);

// Appends `data` to `path`, created private (0600) when it is not there;
// with `to_disk`, flushed to the disk (and a new file's folder with it)
// before this returns. Returns "Cannot write <path>: <reason>" on failure,
// empty on success.
std::string AppendRecords(const std::string& path, std::string_view data,
                          bool to_disk);

// Reads the whole file into `text`; false with errno set when it cannot be
// opened or read (ENOENT: there is none).
bool ReadRecordFile(const std::string& path, std::string& text);

}  // namespace replyvane::core

#endif  // REPLYVANE_CORE_RECORD_FILE_H_
