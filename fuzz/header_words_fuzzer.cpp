// Feeds arbitrary bytes to the encoded-word decoder under the codeset that
// the first byte picks, and to the encoder and the JIS conversions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/exception.h"
#include "message/code_page.h"
#include "message/header_words.h"
#include "message/jis.h"

namespace message = replyvane::message;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const char* const kCodesets[] = {"UTF-8", "ISO-8859-1", "SHIFT_JIS"};
  message::SetSystemCodeset(kCodesets[data[0] % 3]);
  const std::string_view text(reinterpret_cast<const char*>(data + 1),
                              size - 1);
  try {
    const std::string decoded = message::DecodeHeaderWords(text);
    if (decoded.find('\0') != std::string::npos) __builtin_trap();
  } catch (const replyvane::core::ConvertError&) {
  }
  const char encoding = "QB8"[data[0] / 3 % 3];
  (void)message::EncodeHeaderWords(text, message::kAddressNameSpecials,
                                   encoding, message::Transfer::iso2022jp,
                                   "ISO-2022-JP");
  (void)message::JisToShiftJis(text);
  (void)message::ShiftJisToJis(text);
  return 0;
}
