// The rules every automatic responder follows (RFC 3834, with the details
// of Sieve vacation, RFC 5230): which received messages are not answered
// (automatic ones, mailing-list posts, our own), and what our responses and
// forwards carry so that other responders leave them alone. Everything is
// read off the header block the listing already fetched.
#ifndef REPLYVANE_RESPONDER_AUTO_REPLY_RULES_H_
#define REPLYVANE_RESPONDER_AUTO_REPLY_RULES_H_

#include <string>
#include <vector>

#include "message/header_list.h"

namespace replyvane::responder {

// What the listing learns of a message for the rules.
struct MessageKind {
  // "automatic message", "mailing list" or empty.
  std::string reason;
  // The lower-cased addresses its X-Loop headers name.
  std::vector<std::string> x_loop;
  // Its Message-ID and References as received, for In-Reply-To and
  // References of the response; empty when it had none.
  std::string message_id;
  std::string references;
};

// Reads the kind of a message off its header block; `sender` is its best
// reply address.
MessageKind ClassifyMessage(const message::HeaderList& headers,
                            const std::string& sender);

// Why the message is not answered: the kind's reason, or "our own address"
// when `sender` is `own_address` or X-Loop names it; empty when it is
// answered.
std::string NotAnsweredReason(const MessageKind& kind,
                              const std::string& sender,
                              const std::string& own_address);

// The header lines a response to a message of `kind` carries, after all
// others: Auto-Submitted, and In-Reply-To and References when the message
// had a Message-ID.
std::vector<std::string> ResponseHeaders(const MessageKind& kind);

inline constexpr char kForwardHeader[] = "Auto-Submitted: auto-forwarded";

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_AUTO_REPLY_RULES_H_
