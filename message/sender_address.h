// Who sent a received message, found as leniently as mail from strangers
// needs: the parsed From address when it is usable, else an address pulled
// out of the raw From text, else the same from Reply-To, Sender and
// Return-Path. Nothing here fails; "no address" is the empty text.
#ifndef REPLYVANE_MESSAGE_SENDER_ADDRESS_H_
#define REPLYVANE_MESSAGE_SENDER_ADDRESS_H_

#include <string>
#include <string_view>

#include "message/message.h"

namespace replyvane::message {

// True for a mailbox that a reply can go to: a local part, "@" and a
// domain of letters, digits, "-" and ".", with no blank, control, bracket,
// comma or second "@" anywhere.
bool IsUsableAddress(std::string_view address);

// The first usable address in a raw header text, its comments removed
// (an address named only in a comment is none): the contents of the first
// "<...>" that holds one once folding white space is dropped, else the
// first blank-separated token of the form local@domain (blanks around its
// "@" and stray punctuation around it removed). Empty when none.
std::string FindAddressIn(std::string_view text);

// True when the parsed From address is usable and stands as it is in the
// raw From text.
bool FromParsedSoundly(const Message& msg);

// The best reply address of a received message: From as parsed, else from
// the raw From text, else Reply-To, Sender and Return-Path the same way.
// Empty when the message names no usable address at all.
std::string BestSenderAddress(const Message& msg);

// The sender as a list row shows and a reply addresses it: the parsed From
// in its header form when FromParsedSoundly, else the bare best address.
// Empty when there is no usable address.
std::string ReplyRecipient(const Message& msg);

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_SENDER_ADDRESS_H_
