// Responses beside the default one, and the ordered rules that choose
// among them, kept in responses.txt beside Settings.ini, a plain-text file
// the user may edit and back up:
//
//   # Lines starting with "#" are comments; blank lines are skipped.
//   [response Billing]
//   From=billing@example.com          (From and Reply-To)
//   FromName=Billing team
//   Subject=Re: {subject}
//   Attach=/home/me/terms.pdf         (one line per attachment)
//   Html=billing.html                 (a file in the settings folder)
//   Text=Dear {name},                 (the text, line by line)
//   Text=
//   Text=your invoice question reached us.
//
//   [rules]
//   subject contains invoice => Billing
//   text contains urgent => Billing
//   sender matches @partner.example => Billing
//   sent to billing@example.com => Billing
//
// A field a response leaves out is the default response's (its Attach
// lines, when it has any, replace the default's attachments). The first
// rule that matches chooses; none matching, the default response is sent.
// "contains" ignores letter case; "sender matches" and "sent to" (any To
// or Cc address) take the entries of the sender lists (an address,
// @domain, *.domain). A line that is none of these, or a rule naming a
// response that is not there, stops the check with the line's number:
// nothing is sent under rules that were not meant.
#ifndef REPLYVANE_RESPONDER_RESPONSE_RULES_H_
#define REPLYVANE_RESPONDER_RESPONSE_RULES_H_

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace replyvane::responder {

inline constexpr char kResponsesName[] = "responses.txt";

struct NamedResponse {
  std::string name;
  std::optional<std::string> from_address;
  std::optional<std::string> from_name;
  std::optional<std::string> subject;
  std::optional<std::vector<std::string>> text;
  std::vector<std::string> attachments;  // none: the default's
  std::string html_file;                 // empty: the default's HTML
  std::string html;                      // html_file's text, when read
};

struct ResponseRule {
  enum class Kind { kSubjectContains, kTextContains, kSenderMatches, kSentTo };
  Kind kind = Kind::kSubjectContains;
  std::string argument;
  std::string response;  // a NamedResponse's name
};

struct ResponseRules {
  std::vector<NamedResponse> responses;
  std::vector<ResponseRule> rules;

  bool Empty() const { return rules.empty(); }
  bool NeedsText() const;
  const NamedResponse* Find(const std::string& name) const;
};

// Reads the text of responses.txt; raises core::Exception "responses.txt
// line N: …" for a line it cannot take.
ResponseRules ParseResponseRules(const std::string& text);
// The file in `folder` (ending in "/") with the HTML files it names; none
// there: no rules. Raises as ParseResponseRules, and for an HTML file that
// cannot be read.
ResponseRules ReadResponseRules(const std::string& folder);

// What a rule looks at in a message; the text is asked for only when a
// "text contains" rule is reached.
struct RuleSubject {
  std::string subject;
  std::string sender_address;
  std::vector<std::string> recipient_addresses;  // To and Cc
  std::function<std::string()> text;
};

// The response the first matching rule names; nullptr: the default.
const NamedResponse* ChooseResponse(const ResponseRules& rules,
                                    const RuleSubject& message);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_RESPONSE_RULES_H_
