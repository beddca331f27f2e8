// Reading a setting's text as a number. Settings are stored as plain text;
// their numeric value is derived only when it is used, with a narrower rule
// than the general conversion: decimal, or hexadecimal after "$" only.
#ifndef REPLYVANE_RESPONDER_INTEGER_TEXT_H_
#define REPLYVANE_RESPONDER_INTEGER_TEXT_H_

#include <cstdint>
#include <optional>
#include <string_view>

namespace replyvane::responder {

// Leading blanks, an optional "+" or "-", then decimal digits or "$" and
// hexadecimal digits, and nothing else. Returns nullopt for any other text
// (empty, "0x10", "12a", a decimal out of the 32-bit range).
std::optional<int32_t> ParseSettingInteger(std::string_view text);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_INTEGER_TEXT_H_
