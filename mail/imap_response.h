// Reading IMAP responses (RFC 9051, RFC 3501) from a connection: a status
// response ("* OK …", "A1 NO …") keeps its code and text; a data response
// ("* 3 FETCH (…)", "* SEARCH 1 2") is read into values: atoms, numbers,
// quoted strings, literals, NIL and parenthesized lists. A literal may be
// handed to a sink that reads it from the connection itself (a message
// body, streamed), else it is read into its value, within a bound.
#ifndef REPLYVANE_MAIL_IMAP_RESPONSE_H_
#define REPLYVANE_MAIL_IMAP_RESPONSE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/tcp_connection.h"

namespace replyvane::mail {

struct ImapValue {
  enum class Kind { kAtom, kString, kNil, kList };
  Kind kind = Kind::kAtom;
  std::string text;              // atom or string
  std::vector<ImapValue> items;  // list
  bool streamed = false;         // a literal a sink read
};

struct ImapResponse {
  std::string tag;     // "*", "+" or the command's tag
  std::string status;  // "OK", "NO", "BAD", "BYE", "PREAUTH"; empty: data
  std::string code;    // a status response's "[…]" without the brackets
  std::string text;    // a status response's text after the code
  // A data response's values after the tag ("3", "FETCH", (…)).
  std::vector<ImapValue> values;
};

// Called for a literal of `size` bytes that follows the atom `name` (e.g.
// "BODY[]"); it returns true after reading exactly `size` bytes from the
// connection itself, false to have the literal read into its value.
using ImapLiteralSink =
    std::function<bool(const std::string& name, size_t size)>;

// The longest response line, and the most a literal read into a value may
// hold.
inline constexpr int32_t kMaxImapLineLength = 1024 * 1024;
inline constexpr size_t kMaxImapLiteralBytes = 1024 * 1024;

// Reads one whole response, literals included. A malformed response raises
// core::Exception ("Unreadable IMAP response: …"); an over-long line or
// literal raises net::ReceptionLimitExceeded.
ImapResponse ReadImapResponse(net::TCPConnection& connection,
                              const ImapLiteralSink& sink = nullptr);

// The value at `index` of a list as text; empty when there is none or it is
// a list.
std::string ImapTextAt(const std::vector<ImapValue>& values, size_t index);

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_IMAP_RESPONSE_H_
