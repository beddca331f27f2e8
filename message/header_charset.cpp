// The header charset from the locale. The language comes from the locale
// name ("ll_TT.codeset@modifier"); the codeset decides between UTF-8 and the
// legacy charsets of the language table.
#include "message/header_charset.h"

#include <clocale>

#include "core/text.h"
#include "message/code_page.h"

namespace replyvane::message {

HeaderCharset DefaultHeaderCharsetFor(std::string_view locale_name,
                                      std::string_view codeset) {
  std::string_view language = locale_name.substr(
      0, std::min(locale_name.find_first_of("_.@"), locale_name.size()));
  std::string_view territory;
  if (size_t underscore = locale_name.find('_');
      underscore != std::string_view::npos && underscore == language.size()) {
    territory = locale_name.substr(underscore + 1);
    territory = territory.substr(
        0, std::min(territory.find_first_of(".@"), territory.size()));
  }
  HeaderCharset result;
  if (core::SameText(language, "zh")) {
    result.charset = core::SameText(territory, "CN") ? "GB2312" : "Big5";
  } else if (core::SameText(language, "ja")) {
    result = {Transfer::iso2022jp, 'B', "ISO-2022-JP"};
  } else if (core::SameText(language, "ko")) {
    result.charset = "EUC-KR";
  } else {
    result = {Transfer::bit8, 'Q', "ISO-8859-1"};
  }
  if (IsUtf8Codeset(codeset)) {
    result.transfer = Transfer::bit8;
    result.charset = "UTF-8";
  }
  return result;
}

HeaderCharset DefaultHeaderCharset() {
  const char* locale_name = std::setlocale(LC_CTYPE, nullptr);
  return DefaultHeaderCharsetFor(locale_name != nullptr ? locale_name : "",
                                 SystemCodeset());
}

}  // namespace replyvane::message
