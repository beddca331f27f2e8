// 8-bit text of a message; see eight_bit_text.h.
#include "message/eight_bit_text.h"

#include <algorithm>

#include "core/text.h"
#include "message/message.h"

namespace replyvane::message {

namespace {

bool ItemHasEightBit(const EMailAddressItem& item) {
  return HasEightBit(item.Name()) || HasEightBit(item.Address());
}

bool ListHasEightBit(const EMailAddressList& list) {
  for (int i = 0; i < list.Count(); ++i) {
    if (ItemHasEightBit(list[i])) return true;
  }
  return false;
}

}  // namespace

bool HasEightBit(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) > 127;
  });
}

bool HasEightBit(const std::vector<std::string>& lines) {
  return std::any_of(lines.begin(), lines.end(),
                     [](const std::string& line) { return HasEightBit(line); });
}

bool NeedsQuotedPrintable(const std::vector<std::string>& lines) {
  return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.size() > kMaxDataLine || HasEightBit(line);
  });
}

bool LabelsPlainBody(const Message& msg) {
  const MessageParts& parts = msg.MessageParts();
  if (msg.Encoding() != meMIME || parts.Count() > 0 ||
      !msg.ContentType().empty() || !msg.ContentTransferEncoding().empty()) {
    return false;
  }
  return NeedsQuotedPrintable(msg.Body()) || HasEightBit(msg.Subject()) ||
         HasEightBit(msg.Organization()) || ItemHasEightBit(msg.From()) ||
         ItemHasEightBit(msg.Sender()) ||
         ItemHasEightBit(msg.ReceiptRecipient()) ||
         ListHasEightBit(msg.Recipients()) || ListHasEightBit(msg.CCList()) ||
         ListHasEightBit(msg.ReplyTo());
}

std::string WithCharset(const std::string& content_type,
                        std::string_view charset) {
  if (core::UpperCase(content_type).find("CHARSET=") != std::string::npos) {
    return content_type;
  }
  return content_type + "; charset=" + std::string(charset);
}

}  // namespace replyvane::message
