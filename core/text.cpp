#include "core/text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "core/exception.h"

namespace replyvane::core {

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Shared by the 32- and 64-bit forms: `bits` is the width of the result.
std::optional<int64_t> ParseInteger(std::string_view text, int bits) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && text[i + 1] == 'x') {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return std::nullopt;
  const uint64_t limit_unsigned =
      bits == 64 ? UINT64_MAX : (uint64_t{1} << bits) - 1;
  const uint64_t limit_signed = (uint64_t{1} << (bits - 1)) - 1;
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    if (hex) {
      int digit = HexValue(text[i]);
      if (digit < 0) return std::nullopt;
      if (value > (limit_unsigned >> 4)) return std::nullopt;
      value = (value << 4) | uint64_t(digit);
    } else {
      if (text[i] < '0' || text[i] > '9') return std::nullopt;
      uint64_t digit = uint64_t(text[i] - '0');
      // A negative decimal may reach one beyond the positive limit.
      uint64_t max = limit_signed + (negative ? 1 : 0);
      if (value > (max - digit) / 10) return std::nullopt;
      value = value * 10 + digit;
    }
  }
  if (hex && bits == 32) {
    int64_t wrapped = int64_t(int32_t(uint32_t(value)));
    return negative ? int64_t(int32_t(uint32_t(-wrapped))) : wrapped;
  }
  if (hex) {
    int64_t wrapped = int64_t(value);
    return negative ? int64_t(uint64_t(0) - uint64_t(wrapped)) : wrapped;
  }
  return negative ? int64_t(uint64_t(0) - value) : int64_t(value);
}

}  // namespace

std::string TakeUntil(std::string& text, std::string_view delimiter,
                      bool remove, bool case_sensitive) {
  size_t pos;
  if (case_sensitive) {
    pos = text.find(delimiter);
  } else {
    pos = UpperCase(text).find(UpperCase(delimiter));
  }
  std::string result;
  if (pos == std::string::npos) {
    result = text;
    if (remove) text.clear();
  } else {
    result = text.substr(0, pos);
    if (remove) text.erase(0, pos + delimiter.size());
  }
  return result;
}

std::string TrimLeft(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32) ++i;
  return std::string(text.substr(i));
}

std::string TrimRight(std::string_view text) {
  size_t n = text.size();
  while (n > 0 && static_cast<unsigned char>(text[n - 1]) <= 32) --n;
  return std::string(text.substr(0, n));
}

std::string Trim(std::string_view text) { return TrimLeft(TrimRight(text)); }

std::string UpperCase(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), Upper);
  return result;
}

std::string LowerCase(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), Lower);
  return result;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return Upper(x) == Upper(y); });
}

std::optional<int32_t> ParseInt32(std::string_view text) {
  auto value = ParseInteger(text, 32);
  if (!value) return std::nullopt;
  return int32_t(*value);
}

std::optional<int64_t> ParseInt64(std::string_view text) {
  return ParseInteger(text, 64);
}

int32_t StrToIntDef(std::string_view text, int32_t default_value) {
  return ParseInt32(text).value_or(default_value);
}

int32_t StrToInt(std::string_view text) {
  auto value = ParseInt32(text);
  if (!value) {
    throw ConvertError("'" + std::string(text) +
                       "' is not a valid integer value");
  }
  return *value;
}

int64_t StrToInt64Def(std::string_view text, int64_t default_value) {
  return ParseInt64(text).value_or(default_value);
}

int64_t StrToInt64(std::string_view text) {
  auto value = ParseInt64(text);
  if (!value) {
    throw ConvertError("'" + std::string(text) +
                       "' is not a valid integer value");
  }
  return *value;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
  }
  return lines;
}

std::string BlankLineBreaks(std::string_view text) {
  std::string result(text);
  for (char& ch : result) {
    if (ch == '\r' || ch == '\n' || ch == '\0') ch = ' ';
  }
  return result;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string result;
  if (needed > 0) {
    std::vector<char> buffer(size_t(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    result.assign(buffer.data(), size_t(needed));
  }
  va_end(args);
  return result;
}

std::vector<std::string> SplitWords(std::string_view text) {
  std::vector<std::string> words;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find(' ', start), text.size());
    if (end > start) words.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

bool CutAtCharacter(std::string& text, size_t limit) {
  if (text.size() <= limit) return false;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    --end;
  }
  text.resize(end);
  return true;
}

}  // namespace replyvane::core
