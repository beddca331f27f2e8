// The connection that moves whole mail messages: it writes a Message as the
// text of an Internet message (header block, empty line, body in one of the
// plain, alternative or attachment layouts, every text line dot-stuffed) and
// reads one from the lines a server sends up to a terminator line, turning
// MIME parts and UUE/XXE blocks into text parts and attachment files.
// POP3 and SMTP derive from it and override none of these operations.
//
// Failures: connection errors propagate unchanged; header generation errors
// come from Message::BuildHeaderBlock before any body byte is written; part
// decoder errors propagate from ReadBody; a part that is neither text nor
// attachment raises core::Exception "Unknown Message Part Type.". Work
// counters are always ended before an exception leaves an operation.
#ifndef REPLYVANE_MAIL_MESSAGE_CLIENT_H_
#define REPLYVANE_MAIL_MESSAGE_CLIENT_H_

#include <memory>
#include <string>
#include <string_view>

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
  // temporary directory.
  virtual void ReadBody(message::Message& msg,
                        const std::string& terminator = ".");
  // Reads header lines into msg.Headers until the empty line (or "." when
  // `alt_terminator` is empty) or a line equal to `alt_terminator`, then
  // applies them to the message fields. Returns the line that ended the
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

 protected:
  // True when body text must be converted from Shift-JIS to ISO-2022-JP,
  // i.e. when the default header charset's transfer kind is iso2022jp.
  virtual bool ConvertsToJis() const;

 private:
  void WriteTextPart(message::TextPart& part, bool to_jis);
  void WriteStuffedLine(const std::string& line, bool to_jis);
  void WriteAttachments(message::Message& msg, const std::string& boundary);
  void WriteTextParts(message::Message& msg, std::string_view boundary,
                      bool blank_after_each, bool to_jis);
  std::string ReadMessageLine();

  std::unique_ptr<message::MessageDecoder> StoreTextPart(
      message::Message& msg, std::unique_ptr<message::MessageDecoder> decoder,
      bool& message_ended);
  std::unique_ptr<message::MessageDecoder> StoreAttachmentPart(
      message::Message& msg, std::unique_ptr<message::MessageDecoder> decoder,
      bool& message_ended);
};

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_MESSAGE_CLIENT_H_
