// Conversion between Shift-JIS (the Japanese system codeset) and ISO-2022-JP
// (7-bit JIS as mail carries it). Both directions drop what they cannot
// map instead of failing.
#ifndef REPLYVANE_MESSAGE_JIS_H_
#define REPLYVANE_MESSAGE_JIS_H_

#include <string>
#include <string_view>

namespace replyvane::message {

// ISO-2022-JP to Shift-JIS: ESC "$B" starts JIS X 0208 pairs, ESC "(B"
// returns to ASCII, other three-byte escapes are dropped, as is a lone
// byte at the end of a double-byte run.
std::string JisToShiftJis(std::string_view text);

// Shift-JIS to ISO-2022-JP: double-byte characters and half-width katakana
// (as full-width JIS X 0208, voiced marks merged) in ESC "$B" runs, each
// closed by ESC "(B". Unmappable pairs and bytes are dropped.
std::string ShiftJisToJis(std::string_view text);

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_JIS_H_
