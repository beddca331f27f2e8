#include "responder/imap_start.h"

#include <sstream>

#include "core/private_file.h"
#include "core/text.h"

namespace replyvane::responder {

namespace {

constexpr size_t kMaxFileBytes = 1024 * 1024;

}  // namespace

void ImapStartStore::Load() {
  if (path_.empty() || !core::FileExists(path_)) return;
  bool too_long = false;
  const std::string data = core::ReadFileHead(path_, kMaxFileBytes, too_long);
  starts_.clear();
  for (const std::string& line : core::SplitLines(data)) {
    std::istringstream fields(line);
    std::string scope;
    int64_t validity = 0;
    int64_t uid = 0;
    if (fields >> scope >> validity >> uid && validity > 0 &&
        validity <= UINT32_MAX && uid > 0 && uid <= UINT32_MAX) {
      starts_[scope] = ImapStart{uint32_t(validity), uint32_t(uid)};
    }
  }
}

std::optional<ImapStart> ImapStartStore::Find(const std::string& scope) {
  Load();
  auto found = starts_.find(scope);
  if (found == starts_.end()) return std::nullopt;
  return found->second;
}

void ImapStartStore::Record(const std::string& scope, const ImapStart& start) {
  Load();
  starts_[scope] = start;
  if (path_.empty()) return;
  std::string data;
  for (const auto& [name, value] : starts_) {
    data += name + " " + std::to_string(value.uid_validity) + " " +
            std::to_string(value.first_uid) + "\r\n";
  }
  core::WritePrivateFile(path_, data);
}

}  // namespace replyvane::responder
