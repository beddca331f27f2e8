#include "responder/response_rules.h"

#include <algorithm>

#include "core/exception.h"
#include "core/text.h"
#include "responder/data_files.h"
#include "responder/sender_lists.h"

namespace replyvane::responder {

namespace {

[[noreturn]] void Refuse(size_t line, const std::string& why) {
  throw core::Exception(core::Format("%s line %zu: %s; nothing was sent",
                                     kResponsesName, line, why.c_str()));
}

constexpr struct {
  const char* words;
  ResponseRule::Kind kind;
} kRuleKinds[] = {
    {"subject contains ", ResponseRule::Kind::kSubjectContains},
    {"text contains ", ResponseRule::Kind::kTextContains},
    {"sender matches ", ResponseRule::Kind::kSenderMatches},
    {"sent to ", ResponseRule::Kind::kSentTo},
};

ResponseRule ParseRule(const std::string& line, size_t number) {
  const size_t arrow = line.rfind("=>");
  if (arrow == std::string::npos) {
    Refuse(number, "a rule is \"<what> <text> => <response>\"");
  }
  const std::string what = core::Trim(line.substr(0, arrow));
  ResponseRule rule;
  rule.response = core::Trim(line.substr(arrow + 2));
  for (const auto& known : kRuleKinds) {
    const std::string words = known.words;
    if (core::LowerCase(what).rfind(words, 0) == 0) {
      rule.kind = known.kind;
      rule.argument = core::Trim(what.substr(words.size()));
      if (rule.argument.empty() || rule.response.empty()) break;
      return rule;
    }
  }
  Refuse(number,
         "a rule is \"subject contains\", \"text contains\", \"sender "
         "matches\" or \"sent to\", a text, \"=>\" and a response's name");
}

bool Contains(const std::string& text, const std::string& part) {
  return core::LowerCase(text).find(core::LowerCase(part)) != std::string::npos;
}

}  // namespace

bool ResponseRules::NeedsText() const {
  return std::any_of(rules.begin(), rules.end(), [](const ResponseRule& r) {
    return r.kind == ResponseRule::Kind::kTextContains;
  });
}

const NamedResponse* ResponseRules::Find(const std::string& name) const {
  for (const NamedResponse& response : responses) {
    if (core::LowerCase(response.name) == core::LowerCase(name))
      return &response;
  }
  return nullptr;
}

ResponseRules ParseResponseRules(const std::string& text) {
  ResponseRules parsed;
  enum class Section { kNone, kResponse, kRules } section = Section::kNone;
  std::vector<size_t> rule_lines;
  size_t number = 0;
  for (const std::string& raw : core::SplitLines(text)) {
    ++number;
    const std::string line = core::Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      const std::string title = core::Trim(line.substr(1, line.size() - 2));
      if (core::LowerCase(title) == "rules") {
        section = Section::kRules;
      } else if (core::LowerCase(title).rfind("response ", 0) == 0 &&
                 !core::Trim(title.substr(9)).empty()) {
        NamedResponse response;
        response.name = core::Trim(title.substr(9));
        if (parsed.Find(response.name) != nullptr) {
          Refuse(number, "a second response named " + response.name);
        }
        parsed.responses.push_back(std::move(response));
        section = Section::kResponse;
      } else {
        Refuse(number, "a section is [response <name>] or [rules]");
      }
      continue;
    }
    if (section == Section::kRules) {
      parsed.rules.push_back(ParseRule(line, number));
      rule_lines.push_back(number);
      continue;
    }
    const size_t equals = raw.find('=');
    if (section != Section::kResponse || equals == std::string::npos) {
      Refuse(number, "a line that is neither a field nor a rule");
    }
    NamedResponse& response = parsed.responses.back();
    const std::string key = core::LowerCase(core::Trim(raw.substr(0, equals)));
    // The value as typed: a text line keeps its blanks.
    const std::string value = raw.substr(equals + 1);
    if (key == "from") {
      response.from_address = core::Trim(value);
    } else if (key == "fromname") {
      response.from_name = core::Trim(value);
    } else if (key == "subject") {
      response.subject = core::Trim(value);
    } else if (key == "text") {
      if (!response.text) response.text.emplace();
      response.text->push_back(value);
    } else if (key == "attach") {
      response.attachments.push_back(core::Trim(value));
    } else if (key == "html") {
      response.html_file = core::Trim(value);
    } else {
      Refuse(number,
             "no response field is named " + core::Trim(raw.substr(0, equals)));
    }
  }
  for (size_t i = 0; i < parsed.rules.size(); ++i) {
    if (parsed.Find(parsed.rules[i].response) == nullptr) {
      Refuse(rule_lines[i], "no response is named " + parsed.rules[i].response);
    }
  }
  return parsed;
}

ResponseRules ReadResponseRules(const std::string& folder) {
  const std::optional<std::string> text =
      ReadResponseFile(folder + kResponsesName);
  if (!text) return ResponseRules();
  ResponseRules rules = ParseResponseRules(*text);
  for (NamedResponse& response : rules.responses) {
    if (response.html_file.empty()) continue;
    std::optional<std::string> html =
        ReadResponseFile(folder + response.html_file);
    if (!html) {
      throw core::Exception(std::string(kResponsesName) + ": the Html file " +
                            response.html_file + " of the response " +
                            response.name + " is not there; nothing was sent");
    }
    response.html = std::move(*html);
  }
  return rules;
}

const NamedResponse* ChooseResponse(const ResponseRules& rules,
                                    const RuleSubject& message) {
  std::optional<std::string> text;
  for (const ResponseRule& rule : rules.rules) {
    bool matches = false;
    switch (rule.kind) {
      case ResponseRule::Kind::kSubjectContains:
        matches = Contains(message.subject, rule.argument);
        break;
      case ResponseRule::Kind::kTextContains:
        if (!text) text = message.text ? message.text() : "";
        matches = Contains(*text, rule.argument);
        break;
      case ResponseRule::Kind::kSenderMatches:
        matches = SenderMatches(rule.argument, message.sender_address);
        break;
      case ResponseRule::Kind::kSentTo:
        matches = std::any_of(message.recipient_addresses.begin(),
                              message.recipient_addresses.end(),
                              [&](const std::string& address) {
                                return SenderMatches(rule.argument, address);
                              });
        break;
    }
    if (matches) return rules.Find(rule.response);
  }
  return nullptr;
}

}  // namespace replyvane::responder
