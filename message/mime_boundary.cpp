// The boundary stack and the reading of MIME parameters from header values.
#include "message/mime_boundary.h"

#include "core/text.h"

namespace replyvane::message {

void MIMEBoundary::PushBoundary(const std::string& boundary) {
  if (!stack_.empty() && core::SameText(stack_.back(), boundary)) {
    repeated_boundary_ = true;
    return;
  }
  if (boundary.empty()) return;
  stack_.push_back(boundary);
  repeated_boundary_ = false;
}

std::string MIMEBoundary::CurrentBoundary() const {
  return stack_.empty() ? std::string() : stack_.back();
}

void MIMEBoundary::PopBoundary() {
  if (!stack_.empty()) stack_.pop_back();
}

void MIMEBoundary::ClearBoundaries() { stack_.clear(); }

std::string ParameterValue(std::string_view value,
                           std::string_view name_with_equals) {
  size_t at = core::UpperCase(value).find(name_with_equals);
  if (at == std::string::npos) return "";
  std::string_view rest = value.substr(at + name_with_equals.size());
  if (!rest.empty() && rest.front() == '"') {
    rest.remove_prefix(1);
    return std::string(rest.substr(0, rest.find('"')));
  }
  // An unquoted value is a token: the next parameter is not part of it.
  return core::TrimRight(rest.substr(0, rest.find(';')));
}

std::string BoundaryFromContentType(std::string_view content_type) {
  return core::UpperCase(ParameterValue(content_type, "BOUNDARY="));
}

}  // namespace replyvane::message
