// The parts collection: ownership, counts and the attachment encoder.
#include "message/message_parts.h"

#include "message/coder_registry.h"

namespace replyvane::message {

MessageParts::MessageParts(Message& owner) : owner_(&owner) {
  SelectAttachmentEncoding("MIME");
}

MessageParts::~MessageParts() = default;

TextPart& MessageParts::AddTextPart(std::vector<std::string> body) {
  auto part = std::make_unique<TextPart>(*this, std::move(body));
  TextPart& result = *part;
  items_.push_back(std::move(part));
  return result;
}

Attachment& MessageParts::AddAttachment(const std::string& path) {
  auto part = std::make_unique<Attachment>(*this, path);
  Attachment& result = *part;
  items_.push_back(std::move(part));
  return result;
}

void MessageParts::Delete(int index) {
  Item(index);  // range check
  items_.erase(items_.begin() + index);
}

void MessageParts::Clear() { items_.clear(); }

void MessageParts::SelectAttachmentEncoding(const std::string& name) {
  encoder_info_ = &EncoderInfoByName(name);
  attachment_encoding_ = name;
}

void MessageParts::CountParts() {
  attachment_count_ = 0;
  text_part_count_ = 0;
  related_part_count_ = 0;
  for (const auto& part : items_) {
    if (part->AsText()) ++text_part_count_;
    if (part->AsAttachment()) {
      ++attachment_count_;
      if (!part->ExtraHeaders().ValueOf("Content-ID").empty()) {
        ++related_part_count_;
      }
    }
  }
}

}  // namespace replyvane::message
