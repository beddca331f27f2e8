// One e-mail address of a header: a display name and a mailbox. Parses a
// header text such as `"Doe, John" <john@example.com> (comment)` into its
// two halves and prints them back. Parsing never fails on unbalanced quotes,
// brackets or comments (the unparsed rest is dropped); the one error is an
// "@" after the angle-bracket part, raised as EmailParseError.
#ifndef REPLYVANE_MESSAGE_EMAIL_ADDRESS_H_
#define REPLYVANE_MESSAGE_EMAIL_ADDRESS_H_

#include <string>
#include <string_view>

#include "core/exception.h"

namespace replyvane::message {

// "@ Outside address": an "@" followed the angle-bracket part.
class EmailParseError : public core::Exception {
 public:
  using core::Exception::Exception;
};

// Characters of an unquoted local part (an RFC 822 atom).
inline constexpr std::string_view kAtomChars =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890"
    "!#$%&'*+-/=?_`{}|~";

class EMailAddressItem {
 public:
  EMailAddressItem() = default;
  // Parses `text` as SetText does.
  explicit EMailAddressItem(std::string_view text) { SetText(text); }

  // The mailbox, local part "@" domain, without angle brackets.
  const std::string& Address() const { return address_; }
  void SetAddress(std::string value) { address_ = std::move(value); }

  // The display name, without quotes.
  const std::string& Name() const { return name_; }
  void SetName(std::string value) { name_ = std::move(value); }

  // The header form: the bracketed address alone when there is no name,
  // else the name (quoted when it holds more than atom characters and
  // blanks), a blank and the bracketed address. Empty for an empty item.
  std::string Text() const;

  // Clears both halves and parses `text` into them. Comments are dropped and
  // quoted names unquoted. Raises EmailParseError on an "@" after the angle
  // brackets; the item then keeps what was parsed before it.
  void SetText(std::string_view text);

  // The address part of Text(): empty for an empty item, "<>" for a name
  // without a usable address, the bare address when there is no name, else
  // the address in angle brackets; a local part that needs it is quoted.
  std::string BracketedAddress() const;

  bool operator==(const EMailAddressItem&) const = default;

 private:
  std::string address_;
  std::string name_;
};

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_EMAIL_ADDRESS_H_
