// Folding of one long text line at a column limit by inserting a break text
// after break characters. Never removes a character; text inside double
// quotes and a run without break characters are never broken. Double-byte
// characters of a legacy system codeset are kept whole.
#ifndef REPLYVANE_MESSAGE_WRAP_TEXT_H_
#define REPLYVANE_MESSAGE_WRAP_TEXT_H_

#include <string>
#include <string_view>

namespace replyvane::message {

// Returns `line` with `break_text` inserted after the last break character
// (one of `break_chars`) before every point where the column would pass
// `max_col`. A `break_text` already present in the line (outside quotes,
// compared ignoring case) counts as a break. Break characters, CR and LF
// that follow a break stay at the start of the next line.
std::string WrapTextAt(std::string_view line, std::string_view break_text,
                       std::string_view break_chars, int max_col);

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_WRAP_TEXT_H_
