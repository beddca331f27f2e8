// The connection that moves whole mail messages: it writes a Message as the
// text of an Internet message (header block, empty line, body in one of the
// plain, alternative or attachment layouts, every text line dot-stuffed) and
// reads one, through the message reader (message_reader.h), from the lines
// a server sends up to a terminator line. POP3 and SMTP derive from it and
// override none of these operations.
//
// Failures: connection errors propagate unchanged; header generation errors
// come from Message::BuildHeaderBlock before any body byte is written.
// Reading never fails for the message's own content (see ReadBody); it
// fails for the connection's errors and, with net::ReceptionLimitExceeded,
// past the limits of core/reception_limits.h. Work counters are always
// ended before an exception leaves an operation.
#ifndef REPLYVANE_MAIL_MESSAGE_CLIENT_H_
#define REPLYVANE_MAIL_MESSAGE_CLIENT_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "message/message.h"
#include "net/tcp_client.h"

namespace replyvane::message {
class MessageDecoder;
class TextPart;
}  // namespace replyvane::message

namespace replyvane::mail {

class MessageClient : public net::TCPClient {
 public:
  MessageClient();
  ~MessageClient() override;

  // Reception. The caller resets the message first; nothing is cleared here.

  // Reads the body up to and including the line `terminator` (consumed, not
  // stored). Lines outside parts go to Body (one leading dot of ".." removed),
  // parts become TextPart/Attachment items; with NoDecode the whole body
  // goes to Body. Attachment data is written to new "Vorn" files in the
  // temporary directory. A part that cannot be decoded keeps what was
  // decoded of it, and its raw text from the failure on becomes a
  // "text/plain" TextPart that runs to the terminator. A line over the line
  // limit is stored in pieces of that limit.
  virtual void ReadBody(message::Message& msg,
                        const std::string& terminator = ".");
  // Reads header lines into msg.Headers until the empty line (or "." when
  // `alt_terminator` is empty) or a line equal to `alt_terminator`, then
  // applies them to the message fields. A line over the line limit keeps
  // its first piece of that limit. Returns the line that ended the
  // block: "" for the empty line, else "." or `alt_terminator`.
  virtual std::string ReadHeader(message::Message& msg,
                                 const std::string& alt_terminator = "");

  // Transmission. The final "." line is not written here (SMTP does that).

  // Writes the body in the layout the message's parts and Encoding choose;
  // stores the default part header values it writes into the parts.
  virtual void WriteBody(message::Message& msg);
  // Writes the header lines that msg.BuildHeaderBlock() returns.
  virtual void WriteHeader(message::Message& msg);
  // Writes msg.Body, each line dot-stuffed; the stored lines are unchanged.
  virtual void WriteBodyText(message::Message& msg);
  // Header block (generated, or the stored Headers with NoEncode), an empty
  // line and, unless `headers_only`, the body.
  virtual void WriteMessage(message::Message& msg, bool headers_only = false);

  // The protocol's name in failure texts ("POP3", "SMTP").
  virtual const char* ProtocolName() const { return "mail"; }

 protected:
  // "Read Timeout: the POP3 server HOST port N sent nothing for S s while
  // <what> was awaited."
  [[noreturn]] void RaiseReadTimeout(int32_t timeout) override;
  // "Write Timeout: the SMTP server HOST port N took nothing for S s."
  [[noreturn]] void RaiseWriteTimeout() override;

  // True when body text must be converted from Shift-JIS to ISO-2022-JP,
  // i.e. when the default header charset's transfer kind is iso2022jp.
  virtual bool ConvertsToJis() const;
  // The charset named for 8-bit body text: ISO-2022-JP when ConvertsToJis,
  // else the default header charset's.
  std::string TextCharset() const;

  // The one way text leaves after DATA: `text` split at every CR LF, lone
  // CR and lone LF, each piece (NUL bytes as blanks, converted to
  // ISO-2022-JP with `to_jis`, dot-stuffed) written as its own CR LF line.
  // "" writes one empty line.
  void WriteDataText(std::string_view text, bool to_jis = false);
  // One header line: a line end inside it continues the header only when a
  // blank or tab and text follow; any other becomes a blank.
  void WriteHeaderLine(std::string_view line);
  // Every line by WriteHeaderLine; empty and blank lines are left out, as
  // they would end the header block.
  void WriteHeaderLines(const std::vector<std::string>& lines);
  // Each line's pieces quoted-printable, every output line by WriteDataText.
  void WriteQuotedPrintable(const std::vector<std::string>& lines, bool to_jis);

 private:
  void WriteTextPart(message::TextPart& part, bool to_jis);
  void WriteAttachments(message::Message& msg, const std::string& boundary);
  void WriteTextParts(message::Message& msg, std::string_view boundary,
                      bool blank_after_each, bool to_jis);
};

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_MESSAGE_CLIENT_H_
