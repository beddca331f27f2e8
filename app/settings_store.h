// Moves the settings between the controls of the two settings windows and
// the files in the settings directory, through one responder::Config
// (config_files.h maps it onto the files). Loaded once at start-up, saved
// once at close. A failure raises a core::Exception and ends
// the load or save where it arose; what was done before it stays done.
#ifndef REPLYVANE_APP_SETTINGS_STORE_H_
#define REPLYVANE_APP_SETTINGS_STORE_H_

#include <string>

#include "responder/config.h"

namespace replyvane::app {

class ResponderSettingsWindow;
class SettingsWindow;

// The configuration the two windows show now, with the response's lines
// as the text area wraps them.
responder::Config EditedConfig(const SettingsWindow& form1,
                               const ResponderSettingsWindow& form2);

class SettingsStore {
 public:
  // `directory` gets a trailing "/" when it has none.
  explicit SettingsStore(std::string directory);

  const std::string& SettingsDirectory() const { return directory_; }
  std::string SettingsFileName() const;
  std::string ResponseFileName() const;
  std::string AttachFileName() const;

  // Settings.ini, then response.dat and attach.dat when they exist. Missing
  // files and values give the defaults; the only failures are an unreadable
  // data file and an overlong response text.
  void Load(SettingsWindow& form1, ResponderSettingsWindow& form2) const;
  // response.dat, attach.dat, then Settings.ini, always all three. Raises
  // when a file cannot be created or written ("Unable to write to <path>"
  // for Settings.ini); nothing of Settings.ini is written after a failed
  // data file.
  void Save(const SettingsWindow& form1,
            const ResponderSettingsWindow& form2) const;

 private:
  std::string directory_;
};

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_SETTINGS_STORE_H_
