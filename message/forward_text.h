// What a forward says of a received message: its readable text and the
// names of its attachments. A message without parts gives its body lines
// (converted from its declared charset when they hold 8-bit text); a
// message with parts gives the first text/plain part, else the first
// text/html part as plain text, else the first other part that holds text
// (raw text that could not be read as the part claims), else its body
// lines, then one line
// "Attachment: name (size bytes)" per attachment. Text comes out in the
// system codeset. Nothing here fails: text that does not convert is kept
// as well as it can be read.
#ifndef REPLYVANE_MESSAGE_FORWARD_TEXT_H_
#define REPLYVANE_MESSAGE_FORWARD_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

#include "message/message.h"

namespace replyvane::message {

std::vector<std::string> ForwardTextLines(const Message& fetched);

// `lines` in charset `charset` converted to the system codeset. Lines of
// 7-bit text without escape sequences, and lines already in the system
// codeset when the charset is unknown, stay as they are; lines that do not
// convert are read as ISO-8859-1.
std::vector<std::string> LinesToSystemCodeset(
    const std::vector<std::string>& lines, std::string_view charset);

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_FORWARD_TEXT_H_
