// Sets the system codeset for one test and restores the locale's after it.
#ifndef REPLYVANE_TESTS_MESSAGE_SCOPED_CODESET_H_
#define REPLYVANE_TESTS_MESSAGE_SCOPED_CODESET_H_

#include <string>

#include "message/code_page.h"

namespace replyvane::message {

class ScopedCodeset {
 public:
  explicit ScopedCodeset(std::string codeset) {
    SetSystemCodeset(std::move(codeset));
  }
  ~ScopedCodeset() { SetSystemCodeset(""); }
  ScopedCodeset(const ScopedCodeset&) = delete;
  ScopedCodeset& operator=(const ScopedCodeset&) = delete;
};

}  // namespace replyvane::message

#endif  // REPLYVANE_TESTS_MESSAGE_SCOPED_CODESET_H_
