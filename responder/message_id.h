// The Message-ID of a message we send (RFC 5322 §3.6.4): large receivers
// score or refuse mail without one. Written with the rules for automatic
// replies, so that switching them off gives the plain message's bytes.
#ifndef REPLYVANE_RESPONDER_MESSAGE_ID_H_
#define REPLYVANE_RESPONDER_MESSAGE_ID_H_

#include <string>

namespace replyvane::responder {

// "<" the time, 128 random bits in hexadecimal "@" the domain of
// `from_address` ">"; "localhost" stands for a domain the address lacks or
// that no Message-ID may hold.
std::string NewMessageId(const std::string& from_address);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_MESSAGE_ID_H_
