// Helpers shared by the transfer coder tests: random bytes and decoding into
// a string.
#ifndef REPLYVANE_TESTS_MESSAGE_CODER_TEST_UTIL_H_
#define REPLYVANE_TESTS_MESSAGE_CODER_TEST_UTIL_H_

#include <random>
#include <string>
#include <string_view>

namespace replyvane::message {

inline std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = char(random() & 0xFF);
  return bytes;
}

}  // namespace replyvane::message

#endif  // REPLYVANE_TESTS_MESSAGE_CODER_TEST_UTIL_H_
