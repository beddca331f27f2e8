// Feeds arbitrary bytes to the address parsers and prints the result back.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tests/message/exercise_addresses.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  replyvane::message::ExerciseAddressParsers(
      std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
