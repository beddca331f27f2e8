// Text parts and attachments; their content fields live in Headers.
#include "message/message_part.h"

#include <unistd.h>

#include "message/message_encoder.h"
#include "message/message_parts.h"

namespace replyvane::message {
namespace {

constexpr std::string_view kContentTransfer = "Content-Transfer-Encoding";
constexpr std::string_view kContentType = "Content-Type";
constexpr std::string_view kContentDisposition = "Content-Disposition";

}  // namespace

MessagePart::MessagePart(MessageParts& collection) : collection_(&collection) {}

MessagePart::~MessagePart() = default;

std::string MessagePart::ContentTransfer() const {
  return headers_.ValueOf(kContentTransfer);
}

void MessagePart::SetContentTransfer(const std::string& value) {
  headers_.StoreValue(kContentTransfer, value);
}

std::string MessagePart::ContentType() const {
  return headers_.ValueOf(kContentType);
}

void MessagePart::SetContentType(const std::string& value) {
  headers_.StoreValue(kContentType, value);
}

void MessagePart::SetExtraHeaders(const HeaderList& lines) {
  extra_headers_.Assign(lines);
}

void MessagePart::AssignCommon(const MessagePart& source) {
  SetContentTransfer(source.ContentTransfer());
  SetContentType(source.ContentType());
  SetExtraHeaders(source.ExtraHeaders());
}

TextPart::TextPart(MessageParts& collection, std::vector<std::string> body)
    : MessagePart(collection), body_(std::move(body)) {}

void TextPart::Assign(const TextPart& source) {
  AssignCommon(source);
  body_ = source.body_;
}

Attachment::Attachment(MessageParts& collection, const std::string& path)
    : MessagePart(collection),
      stored_path_(path),
      attachment_name_(path.substr(path.rfind('/') + 1)) {}

Attachment::~Attachment() {
  if (is_temporary_file_ && !stored_path_.empty()) {
    ::unlink(stored_path_.c_str());
  }
}

std::string Attachment::ContentDisposition() const {
  return Headers().ValueOf(kContentDisposition);
}

void Attachment::SetContentDisposition(const std::string& value) {
  Headers().StoreValue(kContentDisposition, value);
}

void Attachment::Assign(const Attachment& source) {
  AssignCommon(source);
  SetContentDisposition(source.ContentDisposition());
  attachment_name_ = source.attachment_name_;
}

void Attachment::EncodeToStream(core::Stream& destination) {
  std::unique_ptr<MessageEncoder> encoder =
      Collection().EncoderInfo().CreateEncoder();
  encoder->SetFilename(attachment_name_);
  encoder->EncodeFile(stored_path_, destination);
}

}  // namespace replyvane::message
