// What a row of the listing keeps of a received message, so that no server
// can make the listing grow without bound: each shown field is cut to
// kMaxListedFieldChars characters, and the listing as a whole is held to
// kMaxListingBytes. Past the budget the check ends with ListingTooLarge.
#ifndef REPLYVANE_RESPONDER_LISTED_FIELDS_H_
#define REPLYVANE_RESPONDER_LISTED_FIELDS_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/exception.h"
#include "responder/listed_message.h"

namespace replyvane::responder {

// Characters of a subject, sender or recipients text a row shows.
inline constexpr size_t kMaxListedFieldChars = 1000;
// Bytes of everything the rows of one check hold (and of the UIDL ids).
inline constexpr size_t kMaxListingBytes = size_t(128) << 20;

class ListingTooLarge : public core::Exception {
 public:
  ListingTooLarge(int32_t listed, size_t budget = kMaxListingBytes);
};

// `text` (bytes in the locale's encoding) when it has at most
// kMaxListedFieldChars characters, else its first kMaxListedFieldChars
// characters and "…" ("..." in a codeset other than UTF-8). Characters are
// UTF-8 sequences under a UTF-8 codeset, else bytes.
std::string ListedField(std::string text);

// Caps what `row` holds of its sender for the answer: an address longer
// than any mail system takes (RFC 5321 §4.5.3.1: 256 octets a path) is no
// address to answer, and a recipient in header form longer than two fields
// is answered at its bare address.
void CapSender(ListedMessage& row);

// About the bytes `row` holds.
size_t RowBytes(const ListedMessage& row);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_LISTED_FIELDS_H_
