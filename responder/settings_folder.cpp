#include "responder/settings_folder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace replyvane::responder {

namespace {

constexpr mode_t kPrivateFolderMode = 0700;

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

std::string ExecutableDirectory() {
  std::string path(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0) return "./";
  path.resize(size_t(n));
  return path.substr(0, path.rfind('/') + 1);
}

FolderEnvironment CurrentFolderEnvironment() {
  FolderEnvironment environment;
  environment.xdg_config_home = Environment("XDG_CONFIG_HOME");
  environment.home = Environment("HOME");
  if (environment.home.empty()) {
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr) {
      environment.home = entry->pw_dir;
    }
  }
  environment.portable = IsPortableCopy;
  return environment;
}

bool IsPortableCopy(const std::string& folder) {
  const std::string prefix = WithSlash(folder);
  const bool marked =
      ::access((prefix + "Settings.ini").c_str(), F_OK) == 0 ||
      ::access((prefix + kPortableMarkerName).c_str(), F_OK) == 0;
  return marked && IsPrivateFolder(folder) && IsWritableFolder(folder);
}

bool IsPrivateFolder(const std::string& folder) {
  struct stat status;
  return ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
         status.st_uid == ::geteuid() && (status.st_mode & 022) == 0;
}

bool IsWritableFolder(const std::string& folder) {
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return false;
  // access() says yes to root whatever the mode bits say, and knows nothing
  // of a read-only mount: only creating a file tells.
  std::string probe = WithSlash(folder) + ".replyvane-probe-XXXXXX";
  int handle = ::mkstemp(probe.data());
  if (handle < 0) return false;
  ::close(handle);
  ::unlink(probe.c_str());
  return true;
}

std::string ChooseSettingsFolder(const std::string& executable_folder,
                                 const FolderEnvironment& environment) {
  if (environment.portable && environment.portable(executable_folder)) {
    return WithSlash(executable_folder);
  }
  // The base directory rules: a relative $XDG_CONFIG_HOME is to be ignored.
  std::string base = environment.xdg_config_home;
  if (base.empty() || base.front() != '/') {
    // With no home either, nowhere else is known.
    if (environment.home.empty()) return WithSlash(executable_folder);
    base = WithSlash(environment.home) + ".config";
  }
  return WithSlash(base) + "replyvane/";
}

std::string ChooseSettingsFolder(const std::string& executable_folder) {
  FolderEnvironment environment = CurrentFolderEnvironment();
  std::string folder = ChooseSettingsFolder(executable_folder, environment);
  if (folder != WithSlash(executable_folder)) CreatePrivateFolder(folder);
  return folder;
}

std::string GivenFolderProblem(const std::string& folder) {
  struct stat status;
  if (::stat(folder.c_str(), &status) != 0) {
    return "The settings folder " + folder + " does not exist";
  }
  if (!S_ISDIR(status.st_mode)) {
    return "The settings folder " + folder + " is not a folder";
  }
  return "";
}

bool CreatePrivateFolder(const std::string& folder) {
  // Each prefix ending before a "/", then the whole path.
  for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    std::string part = folder.substr(0, end);
    if (!part.empty() && part.back() != '/') {
      if (::mkdir(part.c_str(), kPrivateFolderMode) == 0) {
        ::chmod(part.c_str(), kPrivateFolderMode);  // whatever the umask
      } else if (errno != EEXIST) {
        return false;
      }
    }
    if (end == std::string::npos) break;
  }
  struct stat status;
  return ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace replyvane::responder
