#include "responder/listed_fields.h"

#include "core/text.h"
#include "message/code_page.h"

namespace replyvane::responder {

namespace {

// A reply recipient in header form holds a display name beside the address.
constexpr size_t kMaxRecipientBytes = 2 * kMaxListedFieldChars;
constexpr size_t kMaxAddressBytes = 254;

}  // namespace

ListingTooLarge::ListingTooLarge(int32_t listed, size_t budget)
    : core::Exception(core::Format(
          "The server's listing of the mailbox is larger than %zu KiB after "
          "%d messages; the check was stopped",
          budget >> 10, listed)) {}

std::string ListedField(std::string text) {
  if (text.size() <= kMaxListedFieldChars) return text;
  const bool utf8 = message::IsUtf8Codeset(message::SystemCodeset());
  if (!utf8) {
    text.resize(kMaxListedFieldChars);
    return text + "...";
  }
  // The end of the last whole character within the limit: a character
  // starts at every byte that is not a continuation byte (10xxxxxx).
  size_t chars = 0;
  size_t end = 0;
  for (; end < text.size(); ++end) {
    if ((static_cast<unsigned char>(text[end]) & 0xC0) != 0x80 &&
        ++chars > kMaxListedFieldChars) {
      break;
    }
  }
  if (end == text.size()) return text;
  text.resize(end);
  return text + "\xE2\x80\xA6";
}

void CapSender(ListedMessage& row) {
  if (row.sender_address.size() > kMaxAddressBytes) row.sender_address.clear();
  if (row.reply_to.size() > kMaxRecipientBytes)
    row.reply_to = row.sender_address;
}

size_t RowBytes(const ListedMessage& row) {
  size_t bytes = sizeof(row) + row.subject.size() + row.from.size() +
                 row.to.size() + row.reply_to.size() + row.status.size() +
                 row.identity.size() + row.sender_address.size() +
                 row.sender_name.size() + row.kind.reason.size() +
                 row.kind.message_id.size() + row.kind.references.size();
  for (const std::string& address : row.recipient_addresses) {
    bytes += sizeof(address) + address.size();
  }
  for (const std::string& address : row.kind.x_loop) {
    bytes += sizeof(address) + address.size();
  }
  return bytes;
}

}  // namespace replyvane::responder
