// The root of every failure the program raises. Each layer derives its own
// classes from it; the message text is what the user finally sees.
#ifndef REPLYVANE_CORE_EXCEPTION_H_
#define REPLYVANE_CORE_EXCEPTION_H_

#include <stdexcept>
#include <string>

namespace replyvane::core {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message)
      : std::runtime_error(message) {}

  std::string Message() const { return what(); }
};

// "'%s' is not a valid integer value", from the raising integer conversion.
class ConvertError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace replyvane::core

#endif  // REPLYVANE_CORE_EXCEPTION_H_
