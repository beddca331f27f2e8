// Composing the two messages the response run sends for one listed message:
// the response to its sender and the forward of its text. Texts are bytes
// in the locale's encoding. Address texts are parsed by the address list,
// whose parse errors propagate; an attachment path is only recorded here
// and opened when the message is written.
#ifndef REPLYVANE_RESPONDER_COMPOSE_H_
#define REPLYVANE_RESPONDER_COMPOSE_H_

#include <string>
#include <vector>

#include "message/message.h"

namespace replyvane::responder {

// What the response is made of, as the settings windows hold it.
struct ResponseText {
  std::vector<std::string> attachment_paths;  // one part each, in order
  std::vector<std::string> body;              // the displayed lines
  std::string from_address;                   // From and Reply-To
  std::string subject;
  std::string from_name;  // From's display name; empty: the address alone
  // The lines of the HTML version; empty: none.
  std::vector<std::string> html;
};

// Resets `msg`, then adds the attachments in list order and sets Body,
// From (with the From name when there is one), Reply-To, the recipients
// (`sender`, the listed reply address) and the subject, in this order.
// With an HTML version the text goes in two text parts instead of Body,
// the plain one first (the body, or the HTML's text when the body is
// empty), which makes the message multipart/alternative (inside
// multipart/mixed with attachments).
void ComposeResponse(message::Message& msg, const ResponseText& response,
                     const std::string& sender);

// Resets `forward` and makes it the forward of `fetched`: to
// `forward_address` (empty: no recipient), From and Reply-To
// `from_address` (From with `from_name` when it is not empty), the body "From:
// " + `sender` followed by the fetched message's text
// (message::ForwardTextLines: the body of a plain message, else its first plain
// or HTML text part and a line per attachment), and the fetched Subject. No
// part of the fetched message is attached.
void ComposeForward(message::Message& forward, const message::Message& fetched,
                    const std::string& sender,
                    const std::string& forward_address,
                    const std::string& from_address,
                    const std::string& from_name = "");

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_COMPOSE_H_
