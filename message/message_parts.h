// The owned collection of a message's parts, in the order they are written
// and were read, with the part counts that choose a layout and the part
// encoder that attachments are written with. Selecting an encoder name that
// is not registered raises core::Exception "Message encoder not found: "
// and the name.
#ifndef REPLYVANE_MESSAGE_MESSAGE_PARTS_H_
#define REPLYVANE_MESSAGE_MESSAGE_PARTS_H_

#include <memory>
#include <string>
#include <vector>

#include "message/message_part.h"

namespace replyvane::message {

class Message;
class MessageEncoderInfo;

class MessageParts {
 public:
  // Selects the "MIME" encoder.
  explicit MessageParts(Message& owner);
  ~MessageParts();
  MessageParts(const MessageParts&) = delete;
  MessageParts& operator=(const MessageParts&) = delete;

  Message& Owner() const { return *owner_; }

  int Count() const { return int(items_.size()); }
  bool Empty() const { return items_.empty(); }
  // The part at `index` (0-based; must be in range).
  MessagePart& Item(int index) const { return *items_.at(size_t(index)); }
  MessagePart& operator[](int index) const { return Item(index); }

  // Appends a new part and returns it; the collection owns it.
  TextPart& AddTextPart(std::vector<std::string> body = {});
  Attachment& AddAttachment(const std::string& path = "");
  // Destroys the part at `index` (must be in range) / all parts.
  void Delete(int index);
  void Clear();

  // The name of the attachment encoder and its registered description.
  const std::string& AttachmentEncoding() const { return attachment_encoding_; }
  const MessageEncoderInfo& EncoderInfo() const { return *encoder_info_; }
  // Sets both; raises (and changes nothing) for an unregistered name.
  void SelectAttachmentEncoding(const std::string& name);

  // Recomputes the three counts: text parts, attachments, and attachments
  // whose ExtraHeaders hold a non-empty "Content-ID".
  void CountParts();
  int AttachmentCount() const { return attachment_count_; }
  int TextPartCount() const { return text_part_count_; }
  int RelatedPartCount() const { return related_part_count_; }

 private:
  Message* owner_;
  std::vector<std::unique_ptr<MessagePart>> items_;
  std::string attachment_encoding_;
  const MessageEncoderInfo* encoder_info_ = nullptr;
  int attachment_count_ = 0;
  int text_part_count_ = 0;
  int related_part_count_ = 0;
};

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_MESSAGE_PARTS_H_
