#include "responder/settings_files.h"

#include <unistd.h>

#include <algorithm>

#include "core/text.h"
#include "responder/data_files.h"
#include "responder/encryption_settings.h"
#include "responder/ini_file.h"
#include "responder/integer_text.h"
#include "responder/response_lines.h"
#include "responder/timeout_settings.h"

namespace replyvane::responder {

namespace {

// The lowest value the port boxes take; their reading of a text that is no
// number.
constexpr int32_t kPortMinimum = 1;

void RequireReadable(const std::string& path, bool must_exist) {
  if (::access(path.c_str(), F_OK) != 0) {
    if (must_exist) {
      const std::string folder = path.substr(0, path.rfind('/') + 1);
      throw SettingsUnreadable(
          "No settings in " + path +
          ": start Replyvane once with this settings folder and close its "
          "window to save them there, or copy Settings.ini, response.dat "
          "and attach.dat into " +
          folder);
    }
    return;
  }
  if (::access(path.c_str(), R_OK) != 0) {
    throw SettingsUnreadable("Cannot read the settings in " + path);
  }
}

}  // namespace

Settings ReadSavedSettings(const std::string& folder) {
  std::string prefix = folder;
  if (prefix.empty() || prefix.back() != '/') prefix += '/';
  const std::string ini_path = prefix + kSettingsFileName;
  const std::string response_path = prefix + kResponseFileName;
  const std::string attach_path = prefix + kAttachFileName;
  RequireReadable(ini_path, true);
  RequireReadable(response_path, false);
  RequireReadable(attach_path, false);

  IniFile ini(ini_path);
  auto option = [&](const char* key) {
    return ini.ReadString(kOptionsSection, key, "");
  };
  auto port = [&](const char* key) {
    return ParseSettingInteger(option(key)).value_or(kPortMinimum);
  };
  Settings settings;
  settings.smtp_host = option("1");
  settings.pop3_host = option("2");
  settings.pop3_user = option("3");
  settings.pop3_password = option("4");
  settings.smtp_user = option("6");
  settings.smtp_password = option("7");
  settings.pop3_port = port("8");
  settings.smtp_port = port("9");
  // Choice 0 is "None"; any other, or none, logs in.
  settings.smtp_authentication = ini.ReadInteger(kOptionsSection, "10", 0) == 0
                                     ? mail::AuthenticationType::atNone
                                     : mail::AuthenticationType::atLogin;
  settings.pop3_encryption = ReadEncryption(ini, Server::kPop3);
  settings.smtp_encryption = ReadEncryption(ini, Server::kSmtp);
  settings.from_name = ini.ReadString(kResponderSection, "1", "");
  settings.from_address = ini.ReadString(kResponderSection, "2", "");
  settings.subject = ini.ReadString(kResponderSection, "3", "");
  settings.forward = ini.ReadBool(kResponderSection, "4", true);
  settings.forward_address = ini.ReadString(kResponderSection, "5", "");
  settings.auto_reply_rules =
      ini.ReadBool(kAutoRepliesSection, kFollowRulesKey, true);
  settings.once_per_sender_days =
      std::clamp(ini.ReadInteger(kAutoRepliesSection, kOncePerSenderKey, 0), 0,
                 kMaxOncePerSenderDays);
  settings.read_timeout_seconds = ReadTimeoutSeconds(ini);
  if (auto text = ReadResponseFile(response_path)) {
    settings.response_body = ResponseLinesIn(prefix, *text);
  }
  if (auto entries = ReadAttachFile(attach_path)) {
    settings.attachment_paths = std::move(*entries);
  }
  return settings;
}

}  // namespace replyvane::responder
