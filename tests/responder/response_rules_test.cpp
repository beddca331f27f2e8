// The responses file: what it takes, what it refuses (with the line), and
// which response the rules choose.
#include "responder/response_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/mail/outcome.h"

namespace replyvane::responder {
namespace {

const char kFile[] =
    "# two responses\r\n"
    "[response Billing]\r\n"
    "From=billing@example.com\r\n"
    "FromName = Billing team\r\n"
    "Subject=Re: {subject}\r\n"
    "Text=Dear {name},\r\n"
    "Text=\r\n"
    "Text=  indented stays.\r\n"
    "Attach=/tmp/terms.pdf\r\n"
    "\r\n"
    "[response Partners]\r\n"
    "Subject=Hello partner\r\n"
    "[Rules]\r\n"
    "Subject Contains invoice => Billing\r\n"
    "text contains urgent => partners\r\n"
    "sender matches *.partner.example => Partners\r\n"
    "sent to billing@example.com => Billing\r\n";

TEST(ResponseRulesTest, TheFileIsReadAsWritten) {
  const ResponseRules rules = ParseResponseRules(kFile);
  ASSERT_EQ(rules.responses.size(), 2u);
  const NamedResponse& billing = rules.responses[0];
  EXPECT_EQ(billing.name, "Billing");
  EXPECT_EQ(billing.from_address, "billing@example.com");
  EXPECT_EQ(billing.from_name, "Billing team");
  EXPECT_EQ(billing.subject, "Re: {subject}");
  EXPECT_EQ(billing.text, (std::vector<std::string>{"Dear {name},", "",
                                                    "  indented stays."}));
  EXPECT_EQ(billing.attachments, std::vector<std::string>{"/tmp/terms.pdf"});
  const NamedResponse& partners = rules.responses[1];
  EXPECT_FALSE(partners.from_address.has_value());
  EXPECT_FALSE(partners.text.has_value());
  ASSERT_EQ(rules.rules.size(), 4u);
  EXPECT_EQ(rules.rules[0].kind, ResponseRule::Kind::kSubjectContains);
  EXPECT_EQ(rules.rules[0].argument, "invoice");
  EXPECT_EQ(rules.rules[1].response, "partners");
  EXPECT_TRUE(rules.NeedsText());
  EXPECT_TRUE(ParseResponseRules("").Empty());
}

TEST(ResponseRulesTest, WhatItCannotTakeStopsWithTheLine) {
  const struct {
    const char* text;
    const char* why;
  } rows[] = {
      {"From=a@b\r\n", "line 1: a line that is neither a field nor a rule"},
      {"[response A]\r\nColour=red\r\n",
       "line 2: no response field is named Colour"},
      {"[response A]\r\n[response a]\r\n", "line 2: a second response named a"},
      {"[responses]\r\n", "line 1: a section is [response <name>] or [rules]"},
      {"[response ]\r\n", "line 1: a section is [response <name>] or [rules]"},
      {"[response A]\r\n[rules]\r\nsubject contains x -> A\r\n",
       "line 3: a rule is \"<what> <text> => <response>\""},
      {"[response A]\r\n[rules]\r\nsubject is x => A\r\n",
       "line 3: a rule is \"subject contains\""},
      {"[response A]\r\n[rules]\r\nsubject contains  => A\r\n",
       "line 3: a rule is \"subject contains\""},
      {"[response A]\r\n[rules]\r\n\r\nsent to a@b => B\r\n",
       "line 4: no response is named B"},
  };
  for (const auto& row : rows) {
    const std::string outcome =
        mail::Outcome([&] { ParseResponseRules(row.text); });
    EXPECT_NE(outcome.find(std::string("responses.txt ") + row.why),
              std::string::npos)
        << row.text << "\n"
        << outcome;
    EXPECT_NE(outcome.find("; nothing was sent"), std::string::npos);
  }
}

TEST(ResponseRulesTest, TheFirstMatchingRuleChooses) {
  const ResponseRules rules = ParseResponseRules(kFile);
  int fetched = 0;
  const auto message = [&](std::string subject, std::string sender,
                           std::vector<std::string> to, std::string text) {
    return RuleSubject{std::move(subject), std::move(sender), std::move(to),
                       [&fetched, text] {
                         ++fetched;
                         return text;
                       }};
  };
  const auto chosen = [&](const RuleSubject& subject) -> std::string {
    const NamedResponse* response = ChooseResponse(rules, subject);
    return response == nullptr ? "default" : response->name;
  };
  EXPECT_EQ(chosen(message("Your INVOICE 42", "a@x.example", {}, "")),
            "Billing");
  EXPECT_EQ(fetched, 0);  // decided before the text was needed
  EXPECT_EQ(chosen(message("hi", "a@x.example", {}, "This is URGENT.")),
            "Partners");
  EXPECT_EQ(chosen(message("hi", "a@eu.partner.example", {}, "")), "Partners");
  EXPECT_EQ(chosen(message("hi", "a@x.example",
                           {"me@example.com", "Billing@Example.com"}, "")),
            "Billing");
  EXPECT_EQ(chosen(message("hi", "a@x.example", {"me@example.com"}, "calm")),
            "default");
  EXPECT_EQ(fetched, 4);  // once for each message that reached that rule
}

}  // namespace
}  // namespace replyvane::responder
