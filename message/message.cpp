// The message object's fields, couplings and clearing. The header block
// operations are in message_header_block.cpp.
#include "message/message.h"

namespace replyvane::message {

Message::Message()
    : message_parts_(std::make_unique<class MessageParts>(*this)) {
  ResetMessage();
  SetEncoding(meMIME);
}

Message::~Message() = default;

const std::string& Message::AttachmentEncoding() const {
  return message_parts_->AttachmentEncoding();
}

void Message::SetAttachmentEncoding(const std::string& name) {
  message_parts_->SelectAttachmentEncoding(name);
}

void Message::SetEncoding(MessageEncoding value) {
  encoding_ = value;
  SetAttachmentEncoding(value == meMIME ? "MIME" : "UUE");
}

void Message::SetExtraHeaders(const HeaderList& lines) {
  extra_headers_.Assign(lines);
}

void Message::NotifyInitializeISO(Transfer& transfer, char& header_encoding,
                                  std::string& charset) {
  if (OnInitializeISO) OnInitializeISO(transfer, header_encoding, charset);
}

void Message::ResetMessage() {
  ResetHeaderFields();
  ResetContent();
}

void Message::ResetHeaderFields() {
  cc_list_.Clear();
  bcc_list_.Clear();
  reply_to_.Clear();
  recipients_.Clear();
  date_ = 0;
  from_.SetText("");
  receipt_recipient_.SetText("");
  sender_.SetText("");
  news_groups_.clear();
  organization_.clear();
  references_.clear();
  subject_.clear();
  content_type_.clear();
  char_set_.clear();
  content_transfer_encoding_.clear();
  content_disposition_.clear();
  priority_ = mpNormal;
  headers_.Clear();
  extra_headers_.Clear();
  mime_boundary_.ClearBoundaries();
  flags_.clear();
}

void Message::ResetContent() {
  message_parts_->Clear();
  body_.clear();
}

}  // namespace replyvane::message
