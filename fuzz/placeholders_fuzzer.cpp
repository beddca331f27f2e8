// Fills a response template with values from received mail: whatever the
// bytes, no value may add a line or begin one with "--" (a MIME boundary),
// no value may exceed its limit, and HTML values hold no markup.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "responder/placeholders.h"

namespace responder = replyvane::responder;

namespace {

// Splits `data` at its first three NUL bytes: template, subject, name,
// address.
std::vector<std::string> Fields(std::string_view data) {
  std::vector<std::string> fields;
  for (int i = 0; i < 3; ++i) {
    const size_t end = data.find('\0');
    fields.emplace_back(data.substr(0, end));
    data = end == std::string_view::npos ? std::string_view()
                                         : data.substr(end + 1);
  }
  fields.emplace_back(data);
  return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> f =
      Fields(std::string_view(reinterpret_cast<const char*>(data), size));
  const responder::PlaceholderValues values =
      responder::MakePlaceholderValues(f[1], f[2], f[3], 0, 0);
  for (const std::string* value :
       {&values.subject, &values.name, &values.address}) {
    if (value->size() > responder::kMaxPlaceholderValueBytes) __builtin_trap();
    if (value->find_first_of("\r\n") != std::string::npos) __builtin_trap();
  }
  const std::vector<std::string> lines = replyvane::core::SplitLines(f[0]);
  const std::vector<std::string> filled =
      responder::FillPlaceholders(lines, values);
  if (filled.size() != lines.size()) __builtin_trap();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (filled[i].find_first_of("\r\n") != std::string::npos) __builtin_trap();
    if (filled[i].starts_with("--") && !lines[i].starts_with("--")) {
      __builtin_trap();
    }
  }
  const responder::PlaceholderValues html = responder::HtmlEscaped(values);
  for (const std::string* value : {&html.subject, &html.name, &html.address}) {
    if (value->find_first_of("<>\"'") != std::string::npos) __builtin_trap();
  }
  return 0;
}
