// The one mapping between a Config and the settings folder: Settings.ini
// (sections "Options" and "Reponder" with their numbered keys, then the
// sections of what came later: "Encryption", "Connection", "AutoReplies"),
// response.dat, response.wrapped and attach.dat. Settings.ini is edited in
// place (ini_file.h): a value is replaced where it stands and every other
// line is kept; the later sections' keys are written only once they differ
// from their defaults or are there already, and the read timeout only ever
// by hand.
#ifndef REPLYVANE_RESPONDER_CONFIG_FILES_H_
#define REPLYVANE_RESPONDER_CONFIG_FILES_H_

#include <string>

#include "responder/config.h"

namespace replyvane::responder {

inline constexpr char kSettingsFileName[] = "Settings.ini";
inline constexpr char kResponseFileName[] = "response.dat";
inline constexpr char kAttachFileName[] = "attach.dat";
// The HTML version of the response, when there is one.
inline constexpr char kResponseHtmlName[] = "response.html";
inline constexpr char kOptionsSection[] = "Options";
inline constexpr char kResponderSection[] = "Reponder";
// The rules for automatic replies, written only when they differ from their
// defaults (on, and every message answered).
inline constexpr char kAutoRepliesSection[] = "AutoReplies";
inline constexpr char kFollowRulesKey[] = "FollowRules";
inline constexpr char kOncePerSenderKey[] = "OncePerSenderDays";
// What the response holds beyond the specified texts.
inline constexpr char kResponseSection[] = "Response";
inline constexpr char kPlaceholdersKey[] = "Placeholders";
// How many days the history keeps.
inline constexpr char kHistorySection[] = "History";
inline constexpr char kHistoryDaysKey[] = "KeepDays";

// The Config fields of [Options] keys 1 to 9, in key order.
inline constexpr std::string Config::*kOptionFields[] = {
    &Config::smtp_host,     &Config::pop3_host,      &Config::pop3_user,
    &Config::pop3_password, &Config::interval_text,  &Config::smtp_user,
    &Config::smtp_password, &Config::pop3_port_text, &Config::smtp_port_text};

// `folder` ends in "/". A missing file or key gives the default.
// Settings.ini's part of `config`.
void ReadConfigSettings(const std::string& folder, Config& config);
// response.dat, attach.dat and the sent lines of response.wrapped when they
// belong to the text. Raises what the data files raise (an unreadable file,
// an overlong response).
void ReadConfigData(const std::string& folder, Config& config);

// response.dat, response.wrapped (when `config` has its sent lines) and
// attach.dat, then Settings.ini, always all of them. Raises when a file
// cannot be created or written ("Unable to write to <path>" for
// Settings.ini); nothing of Settings.ini is written after a failed data
// file.
void WriteConfig(const std::string& folder, const Config& config);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_CONFIG_FILES_H_
