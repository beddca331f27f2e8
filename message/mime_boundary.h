// The stack of MIME boundaries met while a message is read: the message's
// own boundary first, then one for each nested multipart part. Reception
// matches body lines against the top. Nothing here fails.
#ifndef REPLYVANE_MESSAGE_MIME_BOUNDARY_H_
#define REPLYVANE_MESSAGE_MIME_BOUNDARY_H_

#include <string>
#include <string_view>
#include <vector>

namespace replyvane::message {

class MIMEBoundary {
 public:
  // Pushes `boundary` unless it is empty (nothing changes) or equals the top
  // ignoring case (then RepeatedBoundary becomes true and nothing is pushed;
  // otherwise RepeatedBoundary becomes false).
  void PushBoundary(const std::string& boundary);
  // The top, or "" for an empty stack.
  std::string CurrentBoundary() const;
  // Removes the top; nothing on an empty stack.
  void PopBoundary();
  void ClearBoundaries();

  bool RepeatedBoundary() const { return repeated_boundary_; }
  int Count() const { return int(stack_.size()); }

 private:
  std::vector<std::string> stack_;  // top last
  bool repeated_boundary_ = false;
};

// The boundary parameter of a Content-Type value, upper-cased: the text
// of the BOUNDARY parameter as ParameterValue reads it. "" when there is
// none.
std::string BoundaryFromContentType(std::string_view content_type);

// The value of the parameter `name_with_equals` (upper-case, e.g.
// "FILENAME=") in `value`, with the value's own letter case: the text
// between double quotes when it begins with one (to the end when the quote
// is not closed), otherwise up to the next ";" or the end, trailing blanks
// removed. "" when the parameter does not occur.
std::string ParameterValue(std::string_view value,
                           std::string_view name_with_equals);

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_MIME_BOUNDARY_H_
