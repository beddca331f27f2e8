// A damaged or hostile history file: every line either reads as an entry
// that writes back as the same one-line record, or is passed over; no
// entry field holds a tab or a line break; the CSV record of its fields
// is one record.
#include <cstddef>
#include <cstdint>
#include <string>

#include "responder/answer_history.h"
#include "responder/csv_record.h"

using replyvane::responder::HistoryEntry;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const auto entry = replyvane::responder::ParseHistoryLine(line);
    if (!entry) continue;
    const std::string again = replyvane::responder::HistoryLine(*entry);
    if (again.find('\n') != again.size() - 1) __builtin_trap();
    const auto back = replyvane::responder::ParseHistoryLine(
        std::string_view(again).substr(0, again.size() - 1));
    if (!back) __builtin_trap();
    // Fields past the limit are cut when written: the cut entry is stable.
    if (replyvane::responder::HistoryLine(*back) != again) __builtin_trap();
    const std::string csv = replyvane::responder::CsvRecord(
        {entry->sender_address, entry->subject, entry->why_not});
    for (char c : {'=', '+', '-', '@'}) {
      if (csv[0] == c) __builtin_trap();
    }
  }
  return 0;
}
