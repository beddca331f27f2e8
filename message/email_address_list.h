// An ordered list of e-mail addresses, as held by a To, Cc, Bcc or Reply-To
// header. Reads a comma-separated header value (with groups, quoted names
// and comments) into items and prints the list back. Parsing errors of an
// element (EmailParseError) pass to the caller; earlier elements stay.
#ifndef REPLYVANE_MESSAGE_EMAIL_ADDRESS_LIST_H_
#define REPLYVANE_MESSAGE_EMAIL_ADDRESS_LIST_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "message/email_address.h"

namespace replyvane::message {

class EMailAddressList {
 public:
  EMailAddressList() = default;
  // Copies are deep: every item is copied.
  EMailAddressList(const EMailAddressList& other);
  EMailAddressList& operator=(const EMailAddressList& other);
  EMailAddressList(EMailAddressList&&) noexcept = default;
  EMailAddressList& operator=(EMailAddressList&&) noexcept = default;

  int Count() const { return static_cast<int>(items_.size()); }
  // The item at `index` (0 .. Count()-1). Items live at a fixed address
  // until they are deleted or the list is cleared.
  EMailAddressItem& Items(int index) { return *items_.at(index); }
  const EMailAddressItem& Items(int index) const { return *items_.at(index); }
  EMailAddressItem& operator[](int index) { return Items(index); }
  const EMailAddressItem& operator[](int index) const { return Items(index); }

  // Appends a new empty item and returns it.
  EMailAddressItem& AddItem();
  // Removes the item at `index` (0 .. Count()-1).
  void Delete(int index);
  void Clear() { items_.clear(); }

  // Every item's Text() joined with ", "; empty for an empty list.
  std::string AddressesText() const;

  // Replaces the whole list by the addresses of a header value. Group names
  // are dropped, blank and "<>" elements add no item. Raises EmailParseError
  // from a malformed element; the items before it stay.
  void SetAddressesText(std::string_view text);
  // SetAddressesText for received headers, which never fails: an element
  // that does not parse keeps the address it read before the fault (and is
  // dropped when that is nothing), and the elements after it are read.
  void ReadAddressesText(std::string_view text);

 private:
  // Adds an item parsed from `text`; drops it again when it prints as
  // nothing or "<>".
  void AddParsed(std::string_view text);
  // Adds an item parsed from `text` as it stands.
  void AddItemText(std::string_view text);
  // Parses into `item`; when reading leniently a failure is absorbed and
  // returns false.
  bool ParseInto(EMailAddressItem& item, std::string_view text);

  bool lenient_ = false;

  std::vector<std::unique_ptr<EMailAddressItem>> items_;
};

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_EMAIL_ADDRESS_LIST_H_
