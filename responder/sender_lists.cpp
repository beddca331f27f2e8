#include "responder/sender_lists.h"

#include <algorithm>

#include "core/text.h"

namespace replyvane::responder {

namespace {}  // namespace

bool SenderMatches(std::string_view entry, std::string_view address) {
  const std::string trimmed = core::Trim(entry);
  entry = trimmed;
  const size_t at = address.rfind('@');
  if (entry.empty() || entry[0] == '#' || at == std::string_view::npos ||
      at == 0 || at + 1 == address.size()) {
    return false;
  }
  const std::string domain = core::LowerCase(address.substr(at + 1));
  if (entry.size() > 1 && entry[0] == '@') {
    return core::LowerCase(entry.substr(1)) == domain;
  }
  if (entry.size() > 2 && entry.substr(0, 2) == "*.") {
    const std::string parent =
        core::LowerCase(entry.substr(1));  // ".example.com"
    return domain.size() > parent.size() && domain.ends_with(parent);
  }
  // An address: something before its "@" and after it.
  const size_t entry_at = entry.rfind('@');
  if (entry_at == std::string_view::npos || entry_at == 0 ||
      entry_at + 1 == entry.size()) {
    return false;
  }
  return core::LowerCase(entry) == core::LowerCase(address);
}

bool OnSenderList(const std::vector<std::string>& entries,
                  std::string_view address) {
  return std::any_of(entries.begin(), entries.end(),
                     [address](const std::string& entry) {
                       return SenderMatches(entry, address);
                     });
}

std::string SenderListReason(const std::vector<std::string>& never,
                             const std::vector<std::string>& only,
                             std::string_view address) {
  if (OnSenderList(never, address)) return "on the Never answer list";
  // Comments alone leave the list empty; any other line makes it a list,
  // even one that names nobody: a mistyped list answers no one rather than
  // everyone.
  const bool only_listed =
      std::any_of(only.begin(), only.end(), [](const std::string& entry) {
        const std::string text = core::Trim(entry);
        return !text.empty() && text[0] != '#';
      });
  if (only_listed && !OnSenderList(only, address)) {
    return "not on the Only answer list";
  }
  return "";
}

std::vector<std::string> SenderListEntries(std::string_view text) {
  std::vector<std::string> entries;
  for (const std::string& line : core::SplitLines(std::string(text))) {
    std::string entry = core::Trim(line);
    if (!entry.empty()) entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace replyvane::responder
