// The MIME part decoder: a part starts at a line "--" + the message's
// current boundary, or is the whole body when the message itself is base64
// or quoted-printable. Its header lines decide text or attachment; its body
// runs to the next boundary line (next part), the closing boundary line
// (pops the boundary) or the message's end.
#ifndef REPLYVANE_MESSAGE_MESSAGE_DECODER_MIME_H_
#define REPLYVANE_MESSAGE_MESSAGE_DECODER_MIME_H_

#include <memory>
#include <string>

#include "message/message_decoder.h"

namespace replyvane::message {

class MessageDecoderMIME : public MessageDecoder {
 public:
  // Takes the message's current boundary; the body counts as encoded when
  // the message's own ContentTransferEncoding is base64 or quoted-printable.
  explicit MessageDecoderMIME(Message& owner);
  // The same, with a first body line already read.
  MessageDecoderMIME(Message& owner, const std::string& first_line);

  // Without an encoded body: reads header lines up to the empty line (a
  // part with its own boundary pushes it), then decides the kind. The "."
  // line or the end of the source leaves the kind kNone; a header over the
  // header limits of core/reception_limits.h raises core::Exception "Part
  // header too large.".
  void ReadPartHeaders() override;

  const std::string& MIMEBoundary() const { return boundary_; }
  bool BodyEncoded() const { return body_encoded_; }

 protected:
  // Decodes base64 or quoted-printable as the part (or the message) says,
  // otherwise copies lines with CR LF; one leading dot is removed.
  std::unique_ptr<MessageDecoder> CopyPartBody(core::Stream& output,
                                               bool& message_ended) override;

 private:
  void AddHeaderLine(const std::string& line);
  void DecideKind(const std::string& content_type,
                  const std::string& disposition);

  std::string boundary_;
  bool body_encoded_ = false;
  bool has_first_line_ = false;
  std::string first_line_;
};

class MessageDecoderInfoMIME : public MessageDecoderInfo {
 public:
  // A line equal to "--" + the non-empty current boundary (ignoring case)
  // starts a part; in a base64 or quoted-printable message any line does.
  std::unique_ptr<MessageDecoder> DetectPartStart(
      Message& message, const std::string& line) const override;
};

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_MESSAGE_DECODER_MIME_H_
