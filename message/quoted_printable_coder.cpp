#include "message/quoted_printable_coder.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace replyvane::message {
namespace {

constexpr size_t kBlockSize = 8192;
// A line longer than this gets a soft break.
constexpr size_t kMaxLineLength = 71;
constexpr char kHexDigits[] = "0123456789ABCDEF";

// Per byte: bit 0 = always escaped, bit 1 = escaped before CR or LF (blank
// and tab), bit 2 = CR or LF.
constexpr uint8_t kAlwaysEscaped = 1;
constexpr uint8_t kBlank = 2;
constexpr uint8_t kLineEnd = 4;

constexpr std::array<uint8_t, 256> kClasses = [] {
  std::array<uint8_t, 256> classes{};
  for (int b = 0; b < 256; ++b) {
    bool plain = b >= '!' && b <= '~' && b != '=';
    classes[b] = plain ? 0 : kAlwaysEscaped;
  }
  classes[' '] = classes['\t'] = kBlank;
  classes['\r'] = classes['\n'] = kLineEnd;
  return classes;
}();

// "=XX" of every byte, as the little-endian word that is stored.
constexpr std::array<uint32_t, 256> kEscapes = [] {
  std::array<uint32_t, 256> escapes{};
  for (int b = 0; b < 256; ++b) {
    escapes[b] = uint32_t('=') | uint32_t(kHexDigits[b >> 4]) << 8 |
                 uint32_t(kHexDigits[b & 15]) << 16;
  }
  return escapes;
}();

constexpr std::array<int8_t, 256> kHexValues = [] {
  std::array<int8_t, 256> values{};
  for (int c = 0; c < 256; ++c) {
    values[c] = c >= '0' && c <= '9'   ? int8_t(c - '0')
                : c >= 'A' && c <= 'F' ? int8_t(c - 'A' + 10)
                : c >= 'a' && c <= 'f' ? int8_t(c - 'a' + 10)
                                       : int8_t(-1);
  }
  return values;
}();

bool IsLineEnd(unsigned char c) { return c == '\r' || c == '\n'; }

// Encodes `size` bytes at `out`, which has room for 6 characters per byte
// and 1 more. `in[size]` must be readable: it is the byte after the last
// (anything but CR or LF when the data ends there). `length` is the current
// line's. Without branches on the data, which may be anything.
char* EncodeBytes(const unsigned char* in, size_t size, size_t& length,
                  char* out) {
  for (size_t i = 0; i < size; ++i) {
    unsigned char b = in[i];
    uint8_t cls = kClasses[b];
    bool escaped = (cls & kAlwaysEscaped) ||
                   ((cls & kBlank) && (kClasses[in[i + 1]] & kLineEnd));
    uint32_t word = escaped ? kEscapes[b] : b;
    size_t width = escaped ? 3 : 1;
    std::memcpy(out, &word, 4);
    out += width;
    length += width;
    // Never a soft break right after CR or LF of the data: between CR and
    // LF it would put a bare CR on the wire, and at the end of the text the
    // "=" would be glued to whatever the caller writes next.
    if (length > kMaxLineLength && !(cls & kLineEnd)) {
      std::memcpy(out, "=\r\n", 3);
      out += 3;
      length = 0;
    }
  }
  return out;
}

}  // namespace

std::string EncoderQuotedPrintable::Encode(core::Stream& source,
                                           int64_t count) {
  std::string result;
  EncodeAppend(source, count, result);
  return result;
}

void EncoderQuotedPrintable::EncodeAppend(core::Stream& source, int64_t count,
                                          std::string& result) {
  const size_t start = result.size();
  // Text grows by a soft break per line; more for binary data.
  if (int64_t left = BytesLeft(source); left > 0) {
    result.reserve(start + size_t(std::min(left, count)) / 32 * 33 + 8);
  }
  // block[0] may hold the last byte of the previous block, kept back until
  // the byte after it is known; one more place for the end-of-data mark.
  unsigned char block[kBlockSize + 2];
  std::vector<char> out(6 * (kBlockSize + 1) + 1);
  size_t held = 0;
  size_t length = 0;
  for (int64_t remaining = count; remaining > 0;) {
    size_t want =
        remaining < int64_t(kBlockSize) ? size_t(remaining) : kBlockSize;
    size_t got = source.Read(block + held, want);
    if (got == 0) break;
    remaining -= int64_t(got);
    size_t total = held + got;
    char* end = EncodeBytes(block, total - 1, length, out.data());
    result.append(out.data(), size_t(end - out.data()));
    block[0] = block[total - 1];
    held = 1;
  }
  if (held > 0) {
    block[1] = 0;  // nothing follows: no line end
    char* end = EncodeBytes(block, 1, length, out.data());
    result.append(out.data(), size_t(end - out.data()));
  }
  // The last line carries no line break of its own.
  if (length == 0 && result.size() > start) result.resize(result.size() - 2);
}

void DecoderQuotedPrintable::DecodeToStream(std::string_view text,
                                            core::Stream& destination) {
  // Trailing blanks and tabs go; CR and LF among them stay in their order.
  size_t end = text.size();
  bool blanks = false;
  while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t' ||
                     IsLineEnd(text[end - 1]))) {
    blanks = blanks || !IsLineEnd(text[end - 1]);
    --end;
  }
  std::string trimmed;
  if (blanks) {
    trimmed.reserve(text.size());
    trimmed.append(text.substr(0, end));
    for (char c : text.substr(end)) {
      if (IsLineEnd(c)) trimmed += c;
    }
    text = trimmed;
  }

  // Nothing decodes to more bytes than it has characters.
  std::string output(text.size(), '\0');
  char* out = output.data();
  const char* in = text.data();
  const char* const stop = in + text.size();
  // Eats one line end (CR LF, CR or LF): a blank line after it is data.
  auto skip_line_end = [&] {
    if (in < stop && *in == '\r') {
      ++in;
      if (in < stop && *in == '\n') ++in;
    } else if (in < stop && *in == '\n') {
      ++in;
    }
  };
  while (in < stop) {
    if (*in != '=') {
      const char* equals =
          static_cast<const char*>(std::memchr(in, '=', size_t(stop - in)));
      const char* plain_end = equals != nullptr ? equals : stop;
      std::memcpy(out, in, size_t(plain_end - in));
      out += plain_end - in;
      in = plain_end;
      continue;
    }
    ++in;
    int digits = 0;
    int value = 0;
    for (; digits < 2 && in < stop; ++digits, ++in) {
      int digit = kHexValues[static_cast<unsigned char>(*in)];
      if (digit < 0) break;
      value = value * 16 + digit;
    }
    if (digits == 0) {
      skip_line_end();  // soft line break
    } else if (value == ' ' && in < stop && IsLineEnd(*in)) {
      std::memcpy(out, " \r\n", 3);
      out += 3;
      skip_line_end();
    } else {
      *out++ = char(value);
    }
  }
  size_t size = size_t(out - output.data());
  if (size > 0) destination.WriteBuffer(output.data(), size);
}

}  // namespace replyvane::message
