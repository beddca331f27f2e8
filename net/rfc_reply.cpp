// The reply record and the parsing of raw reply lines; never raises.
#include "net/rfc_reply.h"

#include "core/text.h"

namespace replyvane::net {

void RFCReply::SetNumericCode(int32_t value) {
  numeric_code_ = value;
  if (value > 0) text_code_ = std::to_string(value);
}

void RFCReply::SetTextCode(const std::string& value) {
  text_code_ = value;
  if (!value.empty()) numeric_code_ = core::StrToIntDef(value, 0);
}

void RFCReply::Clear() {
  numeric_code_ = 0;
  text_.clear();
  text_code_.clear();
}

void RFCReply::ParseReplyLines(const std::vector<std::string>& lines) {
  Clear();
  if (lines.empty()) return;
  std::string code = core::Trim(lines.front().substr(0, 4));
  if (code.size() == 4 && code[3] == '-') code.resize(3);
  SetTextCode(code);
  for (const std::string& line : lines) {
    text_.push_back(line.size() > 4 ? line.substr(4) : std::string());
  }
}

}  // namespace replyvane::net
