#include "responder/integer_text.h"

#include "core/text.h"

namespace replyvane::responder {

std::optional<int32_t> ParseSettingInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  // The general conversion also takes "x" and "0x"; settings do not.
  if (i < text.size() && text[i] != '$') {
    for (size_t j = i; j < text.size(); ++j) {
      if (text[j] < '0' || text[j] > '9') return std::nullopt;
    }
  }
  return core::ParseInt32(text);
}

}  // namespace replyvane::responder
