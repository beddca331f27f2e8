// Folds arbitrary bytes: the result must hold every input byte in order,
// and stored header values must stay continuation lines.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "message/code_page.h"
#include "message/header_list.h"
#include "message/wrap_text.h"

namespace message = replyvane::message;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  message::SetSystemCodeset(data[0] & 1 ? "SHIFT_JIS" : "UTF-8");
  const int max_col = data[0] >> 1;
  const std::string_view line(reinterpret_cast<const char*>(data + 1),
                              size - 1);
  const std::string wrapped =
      message::WrapTextAt(line, "\r\n ", " \t,", max_col);
  size_t i = 0;
  for (char c : wrapped) {
    if (i < line.size() && line[i] == c) ++i;
  }
  if (i != line.size()) __builtin_trap();  // a byte went missing

  message::HeaderList list;
  list.SetWrapLength(max_col);
  list.StoreValue("Subject", line);
  for (int k = 1; k < list.Count(); ++k) {
    const std::string& l = list.Line(k);
    if (l.empty() || (l[0] != ' ' && l[0] != '\t')) __builtin_trap();
  }
  (void)list.ValueOf("subject");
  return 0;
}
