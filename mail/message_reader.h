// The message reader: header lines up to the empty line (or a terminator),
// then body lines up to the terminator, from any line source (a connection,
// a file, text in memory), turning MIME parts and UUE/XXE blocks into text
// parts and attachment files. POP3 reads through it from its connection
// (MessageClient::ReadHeader, ReadBody); the same reader takes a message
// from a file or from memory.
//
// Reading never fails for the message's own content: a part that cannot
// be decoded keeps what was decoded and its raw text, and reading goes on
// to the terminator. It fails for the source's errors and, with
// net::ReceptionLimitExceeded, past the limits of core/reception_limits.h.
#ifndef REPLYVANE_MAIL_MESSAGE_READER_H_
#define REPLYVANE_MAIL_MESSAGE_READER_H_

#include <string>
#include <string_view>

#include "mail/line_source.h"
#include "message/message.h"

namespace replyvane::mail {

// Reads header lines into msg.Headers until the empty line (or "." when
// `alt_terminator` is empty) or a line equal to `alt_terminator`, then
// applies them to the message fields. A line over the piece length keeps
// its first piece. Returns the line that ended the block: "" for the empty
// line, else "." or `alt_terminator`.
std::string ReadMessageHeader(LineSource& source, message::Message& msg,
                              const std::string& alt_terminator = "");

// Reads the body up to and including the line `terminator` (consumed, not
// stored). Lines outside parts go to Body (one leading dot of ".."
// removed), parts become TextPart/Attachment items; with NoDecode the
// whole body goes to Body. Attachment data is written to new "Vorn" files
// in the temporary directory. A line over the piece length is stored in
// pieces of that length.
void ReadMessageBody(LineSource& source, message::Message& msg,
                     const std::string& terminator = ".");

// A whole message from text in memory or in the file at `path` (as it
// would be stored: not dot-stuffed, no terminator). The caller resets the
// message first. A file that cannot be read raises core::StreamError.
void ReadMessageText(std::string_view text, message::Message& msg);
void ReadMessageFile(const std::string& path, message::Message& msg);

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_MESSAGE_READER_H_
