#include "responder/timeout_settings.h"

#include "responder/ini_file.h"
#include "responder/integer_text.h"

namespace replyvane::responder {

int32_t ReadTimeoutSeconds(IniFile& ini) {
  const std::optional<int32_t> seconds = ParseSettingInteger(
      ini.ReadString(kConnectionSection, kReadTimeoutKey, ""));
  if (!seconds || *seconds < 1 || *seconds > kMaxReadTimeoutSeconds) {
    return kDefaultReadTimeoutSeconds;
  }
  return *seconds;
}

}  // namespace replyvane::responder
