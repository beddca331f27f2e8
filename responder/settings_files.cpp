#include "responder/settings_files.h"

#include <unistd.h>

#include "responder/config.h"

namespace replyvane::responder {

namespace {

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

  Config config;
  ReadConfigSettings(prefix, config);
  ReadConfigData(prefix, config);
  return SettingsFrom(config);
}

bool ReadSettingsForRun(const std::string& folder, std::string& folder_path,
                        Settings& settings, std::ostream& err) {
  folder_path = folder;
  if (folder_path.empty() || folder_path.back() != '/') folder_path += '/';
  try {
    settings = ReadSavedSettings(folder_path);
  } catch (const std::exception& failure) {
    err << "replyvane: " << failure.what() << std::endl;
    return false;
  }
  return true;
}

}  // namespace replyvane::responder
