// The saved settings read into a settings value, as the unattended run
// needs them without any window: the settings folder's files read as the
// windows read them (config_files.h), meaning what the windows make of them
// (SettingsFrom). The response lines are those the window sends, as it
// saved them (response_lines.h), else the file's own lines.
#ifndef REPLYVANE_RESPONDER_SETTINGS_FILES_H_
#define REPLYVANE_RESPONDER_SETTINGS_FILES_H_

#include <ostream>
#include <string>

#include "core/exception.h"
#include "responder/config_files.h"
#include "responder/settings.h"

namespace replyvane::responder {

// The settings cannot be read: no Settings.ini, or a file that exists but
// cannot be opened.
class SettingsUnreadable : public core::Exception {
 public:
  using core::Exception::Exception;
};

// Reads the three files in `folder` (with or without a trailing "/").
// Raises SettingsUnreadable naming the file, or the files' own read
// failures.
Settings ReadSavedSettings(const std::string& folder);

// For the runs without a window: `folder` with its "/", and its settings
// in `settings`; false, with "replyvane: <why>" on `err`, when they cannot
// be read.
bool ReadSettingsForRun(const std::string& folder, std::string& folder_path,
                        Settings& settings, std::ostream& err);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_SETTINGS_FILES_H_
