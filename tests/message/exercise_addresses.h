// Runs the address parsers on any text, as received mail would: parse
// errors are expected, anything else (a crash, a sanitizer report) is not.
// Shared by the bad-input tests and the address fuzzer.
#ifndef REPLYVANE_TESTS_MESSAGE_EXERCISE_ADDRESSES_H_
#define REPLYVANE_TESTS_MESSAGE_EXERCISE_ADDRESSES_H_

#include <string>
#include <string_view>

#include "message/email_address_list.h"
#include "message/sender_address.h"

namespace replyvane::message {

inline void ExerciseAddressParsers(std::string_view text) {
  EMailAddressItem item;
  try {
    item.SetText(text);
  } catch (const EmailParseError&) {
  }
  EMailAddressItem again;
  try {
    again.SetText(item.Text());
  } catch (const EmailParseError&) {
  }
  EMailAddressList list;
  try {
    list.SetAddressesText(text);
  } catch (const EmailParseError&) {
  }
  (void)list.AddressesText();
  // The lenient reading of a sender finds a usable address or none.
  const std::string found = FindAddressIn(text);
  if (!found.empty() && !IsUsableAddress(found)) __builtin_trap();
}

}  // namespace replyvane::message

#endif  // REPLYVANE_TESTS_MESSAGE_EXERCISE_ADDRESSES_H_
