// The saved settings read into a settings value, as the unattended run
// needs them without any window: Settings.ini (sections "Options" and
// "Reponder", numbered keys), response.dat and attach.dat in the settings
// folder. Values mean what the settings windows make of them: a port as the
// numeric box reads its text (1 when it is no number), authentication
// "None" only for the first choice. The response lines are those the window
// sends, as it saved them (response_lines.h), else the file's own lines.
#ifndef REPLYVANE_RESPONDER_SETTINGS_FILES_H_
#define REPLYVANE_RESPONDER_SETTINGS_FILES_H_

#include <string>

#include "core/exception.h"
#include "responder/settings.h"

namespace replyvane::responder {

inline constexpr char kSettingsFileName[] = "Settings.ini";
inline constexpr char kResponseFileName[] = "response.dat";
inline constexpr char kAttachFileName[] = "attach.dat";
inline constexpr char kOptionsSection[] = "Options";
inline constexpr char kResponderSection[] = "Reponder";
// The rules for automatic replies, written only when they differ from their
// defaults (on, and every message answered).
inline constexpr char kAutoRepliesSection[] = "AutoReplies";
inline constexpr char kFollowRulesKey[] = "FollowRules";
inline constexpr char kOncePerSenderKey[] = "OncePerSenderDays";
// The longest once-per-sender period the settings take, in days.
inline constexpr int32_t kMaxOncePerSenderDays = 3650;

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

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_SETTINGS_FILES_H_
