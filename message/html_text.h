// The readable text of an HTML document, for mail that comes only as HTML:
// tags removed (the contents of script, style and head with them), line
// breaks where blocks end, character references decoded to UTF-8, runs of
// blanks made one and runs of empty lines made one. Linear in the input;
// nothing here fails, and malformed markup reads as text.
#ifndef REPLYVANE_MESSAGE_HTML_TEXT_H_
#define REPLYVANE_MESSAGE_HTML_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace replyvane::message {

// `html` (UTF-8) as lines of plain UTF-8 text, without leading or trailing
// empty lines.
std::vector<std::string> HtmlToTextLines(std::string_view html);

// The UTF-8 bytes of a code point; U+FFFD for one that is not a character
// (a surrogate, zero or above U+10FFFF).
std::string Utf8Of(uint32_t code_point);

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_HTML_TEXT_H_
