// Feeds arbitrary text to the Internet date parsers: they never raise, and
// what they return is a date the rest of the program can format.
// Run: build/fuzz/fuzz/internet_date_fuzzer -max_total_time=30
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "message/internet_date.h"

using namespace replyvane::message;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::string rest = text;
  DateTime date = ParseInternetDate(rest);
  if (rest.size() > size) std::abort();
  if (date != 0 && !(date > -700000 && date < 3000000)) std::abort();
  DateTime offset = ParseUtcOffset(text);
  if (!(offset > -1 && offset < 1)) std::abort();
  FormatInternetDate(InternetDateToLocal(text), false);
  FormatInternetDate(date, true);
  return 0;
}
