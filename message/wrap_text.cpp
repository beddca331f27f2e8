// Folding of a header line. One pass over the line; break characters after
// a break are skipped in the same pass, so the work is linear.
#include "message/wrap_text.h"

#include <array>

#include "message/code_page.h"

namespace replyvane::message {

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

bool SameTextAt(std::string_view line, size_t pos, std::string_view text) {
  if (line.size() - pos < text.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (Upper(line[pos + i]) != Upper(text[i])) return false;
  }
  return true;
}

}  // namespace

std::string WrapTextAt(std::string_view line, std::string_view break_text,
                       std::string_view break_chars, int max_col) {
  const std::array<bool, 256> lead = LeadBytes();
  auto is_break_char = [&](char c) {
    return break_chars.find(c) != std::string_view::npos;
  };
  std::string result;
  result.reserve(line.size() + line.size() / 16);
  const ptrdiff_t length = static_cast<ptrdiff_t>(line.size());
  ptrdiff_t col = 1;
  ptrdiff_t pos = 0;         // next byte to examine
  ptrdiff_t line_pos = 0;    // first byte not yet copied
  ptrdiff_t break_pos = -1;  // last byte after which a break may go
  bool quote = false;
  bool existing_break = false;
  while (pos < length) {
    const char ch = line[pos];
    if (lead[static_cast<unsigned char>(ch)]) {
      ++pos;  // the trail byte belongs to the same character
      ++col;
    } else if (!break_text.empty() && ch == break_text[0]) {
      if (!quote) {
        existing_break = SameTextAt(line, pos, break_text);
        if (existing_break) {
          pos += static_cast<ptrdiff_t>(break_text.size()) - 1;
          break_pos = pos;
        }
      }
    } else if (is_break_char(ch)) {
      if (!quote) break_pos = pos;
    } else if (ch == '"') {
      quote = !quote;
    }
    ++pos;
    ++col;
    if (!quote && (existing_break || (col > max_col && break_pos > line_pos))) {
      col = pos - break_pos;
      result.append(line.substr(line_pos, break_pos - line_pos + 1));
      if (ch != '"') {
        while (pos < length && (is_break_char(line[pos]) || line[pos] == '\r' ||
                                line[pos] == '\n')) {
          ++pos;
        }
      }
      if (!existing_break && pos + 1 < length) result.append(break_text);
      line_pos = break_pos + 1;
      existing_break = false;
    }
  }
  if (line_pos < length) result.append(line.substr(line_pos));
  return result;
}

}  // namespace replyvane::message
