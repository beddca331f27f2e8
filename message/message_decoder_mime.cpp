// Reading one MIME part: its header lines, its kind and file name, and its
// body up to the next boundary line.
#include "message/message_decoder_mime.h"

#include "core/reception_limits.h"
#include "core/text.h"
#include "message/header_words.h"
#include "message/message.h"
#include "message/mime_coder.h"
#include "message/quoted_printable_coder.h"

namespace replyvane::message {
namespace {

bool IsBase64(std::string_view transfer) {
  return core::SameText(transfer, "base64");
}

bool IsQuotedPrintable(std::string_view transfer) {
  return core::SameText(transfer, "quoted-printable");
}

// "--" + boundary + suffix, ignoring case. An empty boundary matches
// nothing, so a "--" line of a plain message never starts a part.
bool IsBoundaryLine(const std::string& line, const std::string& boundary,
                    std::string_view suffix) {
  if (boundary.empty()) return false;
  if (line.size() != 2 + boundary.size() + suffix.size()) return false;
  std::string_view view(line);
  return view.substr(0, 2) == "--" &&
         core::SameText(view.substr(2, boundary.size()), boundary) &&
         view.substr(2 + boundary.size()) == suffix;
}

}  // namespace

MessageDecoderMIME::MessageDecoderMIME(Message& owner)
    : MessageDecoder(owner),
      boundary_(owner.MIMEBoundary().CurrentBoundary()),
      body_encoded_(IsBase64(owner.ContentTransferEncoding()) ||
                    IsQuotedPrintable(owner.ContentTransferEncoding())) {}

MessageDecoderMIME::MessageDecoderMIME(Message& owner,
                                       const std::string& first_line)
    : MessageDecoderMIME(owner) {
  has_first_line_ = true;
  first_line_ = first_line;
}

void MessageDecoderMIME::ReadPartHeaders() {
  if (body_encoded_) {
    DecideKind(Owner().ContentType(), Owner().ContentDisposition());
    return;
  }
  std::string line;
  size_t lines_read = 0;
  size_t bytes_read = 0;
  for (;;) {
    if (!NextLine(line) || line == ".") {
      SetPartKind(MessagePartKind::kNone);
      return;
    }
    if (line.empty()) break;
    bytes_read += line.size() + 2;
    if (++lines_read > core::kMaxHeaderLines ||
        bytes_read > core::kMaxHeaderBlockBytes) {
      throw core::Exception("Part header too large.");
    }
    if (line[0] == ' ' || line[0] == '\t') {
      if (PartHeaders().Empty()) {
        AddHeaderLine(line.substr(1));
      } else {
        PartHeaders().Lines().back() += " " + line.substr(1);
      }
    } else {
      AddHeaderLine(line);
    }
  }
  std::string content_type = PartHeaders().Value("Content-Type");
  std::string boundary = BoundaryFromContentType(content_type);
  if (!boundary.empty()) {
    Owner().MIMEBoundary().PushBoundary(boundary);
    boundary_ = boundary;
  }
  DecideKind(content_type, PartHeaders().Value("Content-Disposition"));
}

void MessageDecoderMIME::AddHeaderLine(const std::string& line) {
  size_t separator = line.find(": ");
  if (separator == std::string::npos) {
    PartHeaders().Add(line);
  } else {
    PartHeaders().Add(line.substr(0, separator) + "=" +
                      line.substr(separator + 2));
  }
}

void MessageDecoderMIME::DecideKind(const std::string& content_type,
                                    const std::string& disposition) {
  std::string disposition_type = core::Trim(
      std::string_view(disposition).substr(0, disposition.find(';')));
  if (!core::SameText(disposition_type, "attachment") &&
      core::UpperCase(content_type).find("NAME") == std::string::npos) {
    SetPartKind(MessagePartKind::kText);
    return;
  }
  SetPartKind(MessagePartKind::kAttachment);
  std::string name = ParameterValue(disposition, "FILENAME=");
  if (name.empty()) name = ParameterValue(content_type, "NAME=");
  SetPartFileName(DecodeHeaderWords(name));
}

std::unique_ptr<MessageDecoder> MessageDecoderMIME::CopyPartBody(
    core::Stream& output, bool& message_ended) {
  message_ended = false;
  std::string transfer = core::Trim(
      body_encoded_ ? Owner().ContentTransferEncoding()
                    : PartHeaders().Value("Content-Transfer-Encoding"));
  std::unique_ptr<Decoder> decoder;
  const bool base64 = IsBase64(transfer);
  const bool quoted_printable = IsQuotedPrintable(transfer);
  if (base64) decoder = std::make_unique<DecoderMIME>();
  if (quoted_printable) decoder = std::make_unique<DecoderQuotedPrintable>();
  std::string line;
  for (;;) {
    if (has_first_line_) {
      line = std::move(first_line_);
      has_first_line_ = false;
    } else if (!NextLine(line)) {
      message_ended = true;
      return nullptr;
    }
    if (line == ".") {
      message_ended = true;
      return nullptr;
    }
    if (IsBoundaryLine(line, boundary_, "")) {
      auto next = std::make_unique<MessageDecoderMIME>(Owner());
      next->SetSource(Source());
      return next;
    }
    if (IsBoundaryLine(line, boundary_, "--")) {
      Owner().MIMEBoundary().PopBoundary();
      return nullptr;
    }
    if (!line.empty() && line[0] == '.') line.erase(0, 1);
    if (quoted_printable) {
      line += "\r\n";
      decoder->DecodeToStream(line, output);
    } else if (base64) {
      if (!line.empty()) decoder->DecodeToStream(line, output);
    } else {
      line += "\r\n";
      output.WriteString(line);
    }
  }
}

std::unique_ptr<MessageDecoder> MessageDecoderInfoMIME::DetectPartStart(
    Message& message, const std::string& line) const {
  if (IsBoundaryLine(line, message.MIMEBoundary().CurrentBoundary(), "")) {
    return std::make_unique<MessageDecoderMIME>(message);
  }
  const std::string& transfer = message.ContentTransferEncoding();
  if (IsBase64(transfer) || IsQuotedPrintable(transfer)) {
    return std::make_unique<MessageDecoderMIME>(message, line);
  }
  return nullptr;
}

}  // namespace replyvane::message
