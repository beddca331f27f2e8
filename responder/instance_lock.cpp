#include "responder/instance_lock.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace replyvane::responder {

namespace {

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// FNV-1a: short, and the same in every build of the program.
uint64_t Hash(const std::string& text) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

InstanceLock::InstanceLock(const std::string& settings_folder)
    : CheckLock(WithSlash(settings_folder) + kInstanceLockName) {}

std::string InstanceChannelName(const std::string& settings_folder) {
  std::string folder = settings_folder;
  if (char* real = ::realpath(settings_folder.c_str(), nullptr)) {
    folder = real;
    std::free(real);
  }
  char name[64];
  std::snprintf(name, sizeof name, "replyvane-%u-%016" PRIx64,
                unsigned(::getuid()), Hash(WithSlash(folder)));
  return name;
}

}  // namespace replyvane::responder
