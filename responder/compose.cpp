#include "responder/compose.h"

#include <iterator>

#include "message/forward_text.h"
#include "message/html_text.h"
#include "message/message_part.h"
#include "message/message_parts.h"

namespace replyvane::responder {

namespace {

// From as the address text, with the name the user typed in front of it.
void SetFrom(message::Message& msg, const std::string& address,
             const std::string& name) {
  msg.From().SetText(address);
  if (!name.empty()) msg.From().SetName(name);
}

}  // namespace

void ComposeResponse(message::Message& msg, const ResponseText& response,
                     const std::string& sender) {
  msg.ResetMessage();
  for (const std::string& path : response.attachment_paths) {
    msg.MessageParts().AddAttachment(path);
  }
  if (response.html.empty()) {
    msg.SetBody(response.body);
  } else {
    std::vector<std::string> plain_lines = response.body;
    if (plain_lines.empty()) {
      std::string html;
      for (const std::string& line : response.html) html += line + "\n";
      plain_lines = message::HtmlToTextLines(html);
    }
    message::TextPart& plain =
        msg.MessageParts().AddTextPart(std::move(plain_lines));
    plain.SetContentType("text/plain");
    message::TextPart& rich = msg.MessageParts().AddTextPart(response.html);
    rich.SetContentType("text/html");
  }
  SetFrom(msg, response.from_address, response.from_name);
  msg.ReplyTo().SetAddressesText(response.from_address);
  msg.Recipients().SetAddressesText(sender);
  msg.SetSubject(response.subject);
}

void ComposeForward(message::Message& forward, const message::Message& fetched,
                    const std::string& sender,
                    const std::string& forward_address,
                    const std::string& from_address,
                    const std::string& from_name) {
  forward.ResetMessage();
  forward.Recipients().SetAddressesText(forward_address);
  std::vector<std::string> text = message::ForwardTextLines(fetched);
  std::vector<std::string> body;
  body.reserve(text.size() + 1);
  body.push_back("From: " + sender);
  body.insert(body.end(), std::make_move_iterator(text.begin()),
              std::make_move_iterator(text.end()));
  forward.SetBody(std::move(body));
  SetFrom(forward, from_address, from_name);
  forward.ReplyTo().SetAddressesText(from_address);
  forward.SetSubject(fetched.Subject());
}

}  // namespace replyvane::responder
