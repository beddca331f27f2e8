// Where the settings files (Settings.ini, response.dat, attach.dat) live.
// A copy of the program run from a folder of its own keeps them beside the
// executable, as it always has; an installed program, whose folder the user
// cannot write, keeps them in $XDG_CONFIG_HOME/replyvane, a folder readable
// by its owner only. Choosing never fails: a folder that cannot be created
// shows up later as the save's own failure, which names the path.
#ifndef REPLYVANE_RESPONDER_SETTINGS_FOLDER_H_
#define REPLYVANE_RESPONDER_SETTINGS_FOLDER_H_

#include <functional>
#include <string>

namespace replyvane::responder {

// The folder of the running program (/proc/self/exe), with its trailing
// "/"; "./" when it cannot be read.
std::string ExecutableDirectory();

// What the choice depends on besides the executable's folder.
struct FolderEnvironment {
  std::string xdg_config_home;  // $XDG_CONFIG_HOME; empty when unset
  std::string home;             // the user's home folder
  // True when the executable's folder is a portable copy's, which keeps
  // its settings beside it (IsPortableCopy).
  std::function<bool(const std::string&)> portable;
};

// The marker file that makes a folder beside the program a portable
// copy's before it holds a Settings.ini.
inline constexpr char kPortableMarkerName[] = "replyvane.portable";

// The environment of this process: $XDG_CONFIG_HOME, $HOME (else the
// password database's home), and IsPortableCopy.
FolderEnvironment CurrentFolderEnvironment();

// True when `folder` already holds a Settings.ini or the marker file, is
// private (IsPrivateFolder) and writable (IsWritableFolder): a copy of the
// program the user put there with its settings. A folder the program was
// merely installed or built into (/usr/bin, a build tree) is none, even
// for root, who may write anywhere.
bool IsPortableCopy(const std::string& folder);
// True when files can be created in `folder`: access(W_OK) allows it and a
// probe file can really be created there (and is removed again). The probe
// catches what access misses, such as a folder on a read-only mount.
bool IsWritableFolder(const std::string& folder);

// True when `folder` belongs to the user running the program and neither
// its group nor others may write in it: passwords kept there stay the
// user's own, and nobody can swap the files under the program.
bool IsPrivateFolder(const std::string& folder);

// The settings folder, with a trailing "/": `executable_folder` when it is
// a portable copy's, else "replyvane/" in $XDG_CONFIG_HOME, or in
// "<home>/.config" when that is unset or not an absolute path (the executable's
// folder after all when there is no home either). Decides only; creates
// nothing.
std::string ChooseSettingsFolder(const std::string& executable_folder,
                                 const FolderEnvironment& environment);

// Chooses with CurrentFolderEnvironment() and, when the choice is the
// configuration folder, creates it and any missing parents with mode 0700.
std::string ChooseSettingsFolder(const std::string& executable_folder);

// Empty when `folder` (given with --settings) is a folder; else the text
// that says it is not: "The settings folder DIR does not exist" (or "is
// not a folder").
std::string GivenFolderProblem(const std::string& folder);

// Creates `folder` and its missing parents with mode 0700; existing folders
// keep their modes. False when a part could not be created.
bool CreatePrivateFolder(const std::string& folder);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_SETTINGS_FOLDER_H_
