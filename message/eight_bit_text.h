// Which texts of a message hold 8-bit bytes, so that the writer labels them
// with a charset instead of sending unlabelled 8-bit text. Nothing fails.
#ifndef REPLYVANE_MESSAGE_EIGHT_BIT_TEXT_H_
#define REPLYVANE_MESSAGE_EIGHT_BIT_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

namespace replyvane::message {

class Message;

// True when `text` (or one of `lines`) holds a byte above 127.
bool HasEightBit(std::string_view text);
bool HasEightBit(const std::vector<std::string>& lines);

// The longest line SMTP carries (RFC 5321 4.5.3.1.6), without its CR LF.
inline constexpr size_t kMaxDataLine = 998;

// True when `lines` cannot go out as they are: a byte above 127, or a line
// longer than kMaxDataLine.
bool NeedsQuotedPrintable(const std::vector<std::string>& lines);

// True when the plain body of `msg` is written labelled (Content-Type
// text/plain with a charset, quoted-printable): the message is meMIME and
// has no parts, the caller set neither ContentType nor
// ContentTransferEncoding, and the Body needs quoted-printable or a header
// field written as encoded words (Subject, Organization, the names and
// addresses) holds a byte above 127.
bool LabelsPlainBody(const Message& msg);

// `content_type` with "; charset=" + `charset` added, unless it already
// names a charset.
std::string WithCharset(const std::string& content_type,
                        std::string_view charset);

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_EIGHT_BIT_TEXT_H_
