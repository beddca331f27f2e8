// Quoted-printable decoding written plainly, one character at a time, as
// the rules read: the yardstick the fast decoder is held to by its test and
// its fuzzer.
#ifndef REPLYVANE_TESTS_MESSAGE_QUOTED_PRINTABLE_PLAIN_H_
#define REPLYVANE_TESTS_MESSAGE_QUOTED_PRINTABLE_PLAIN_H_

#include <string>
#include <string_view>

namespace replyvane::message {

inline std::string PlainQuotedPrintableDecode(std::string_view text) {
  auto line_end = [](char c) { return c == '\r' || c == '\n'; };
  auto hex = [](char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : -1;
  };
  size_t end = text.size();
  while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t' ||
                     line_end(text[end - 1]))) {
    --end;
  }
  std::string input(text.substr(0, end));
  for (char c : text.substr(end)) {
    if (line_end(c)) input += c;
  }
  std::string bytes;
  size_t i = 0;
  auto skip_line_end = [&] {
    if (i < input.size() && input[i] == '\r') ++i;
    if (i < input.size() && input[i] == '\n') ++i;
  };
  while (i < input.size()) {
    if (input[i] != '=') {
      bytes += input[i++];
      continue;
    }
    ++i;
    int digits = 0;
    int value = 0;
    while (digits < 2 && i < input.size() && hex(input[i]) >= 0) {
      value = value * 16 + hex(input[i++]);
      ++digits;
    }
    if (digits == 0) {
      skip_line_end();
    } else if (value == ' ' && i < input.size() && line_end(input[i])) {
      bytes += " \r\n";
      skip_line_end();
    } else {
      bytes += char(value);
    }
  }
  return bytes;
}

}  // namespace replyvane::message

#endif  // REPLYVANE_TESTS_MESSAGE_QUOTED_PRINTABLE_PLAIN_H_
