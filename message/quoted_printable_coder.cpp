#include "message/quoted_printable_coder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace replyvane::message {
namespace {

constexpr size_t kBlockSize = 8192;
// Decoded bytes gathered per write to the destination.
constexpr size_t kDecodeBlockSize = 16384;
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

// Characters looked at per step of the fast decoding loop.
constexpr ptrdiff_t kWindow = 64;

// Bit i set where at[i] is "=", for 8 characters: exact high bits (no
// borrow between bytes) gathered into one byte.
uint64_t EqualsByte(const unsigned char* at) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  constexpr uint64_t kEquals = 0x3D3D3D3D3D3D3D3Dull;
  uint64_t word;
  std::memcpy(&word, at, 8);
  uint64_t x = word ^ kEquals;
  uint64_t zero = ~(((x & kLow7) + kLow7) | x | kLow7);
  return (zero >> 7) * 0x0102040810204080ull >> 56;
}

// Bit i set where window[i] is "=", for 64 characters; written out so that
// no build leaves it a loop.
uint64_t EqualsMask(const unsigned char* window) {
  return EqualsByte(window) | EqualsByte(window + 8) << 8 |
         EqualsByte(window + 16) << 16 | EqualsByte(window + 24) << 24 |
         EqualsByte(window + 32) << 32 | EqualsByte(window + 40) << 40 |
         EqualsByte(window + 48) << 48 | EqualsByte(window + 56) << 56;
}

// What the two characters after an "=" give, looked up as one
// little-endian 16-bit number: the byte in the low 8 bits, kWrites when it
// is written, and in the top two bits how many characters the "=" takes:
// 3 for an escape and for the soft break CR LF, 1 for anything the plain
// loop must look at ("=20" may precede a line end that it changes). Taking
// 1 keeps the next "=" of a window after the previous one.
static_assert(std::endian::native == std::endian::little,
              "the two characters are looked up little-endian");
constexpr uint16_t kWrites = 0x100;
constexpr uint16_t kUsual = 0xC000;
constexpr uint16_t kUnusual = 0x4000;

const uint16_t* EscapePairs() {
  static const std::unique_ptr<uint16_t[]> pairs = [] {
    auto table = std::make_unique<uint16_t[]>(65536);
    for (int i = 0; i < 65536; ++i) {
      int high = kHexValues[i & 0xFF];
      int low = kHexValues[i >> 8];
      int value = high << 4 | low;
      table[i] = (high | low) >= 0 && value != ' '
                     ? uint16_t(kUsual | kWrites | value)
                 : i == ('\r' | '\n' << 8) ? kUsual
                                           : kUnusual;
    }
    return table;
  }();
  return pairs.get();
}

// Copies `size` bytes a word at a time: reads and writes up to 7 bytes past
// the end, and 8 bytes when `size` is 0.
void CopyRun(const unsigned char* from, size_t size, char* to) {
  for (size_t i = 0;; i += 8) {
    std::memcpy(to + i, from + i, 8);
    if (i + 8 >= size) break;
  }
}

// CopyRun for runs that are mostly short, as between the escapes of binary
// data.
void CopyShortRun(const unsigned char* from, size_t size, char* to) {
  std::memcpy(to, from, 8);
  if (size > 8) [[unlikely]] {
    CopyRun(from + 8, size - 8, to + 8);
  }
}

// Copies `size` characters with a few overlapping word moves, none past
// the end: a call for so few costs more than the copy.
void CopyTail(const char* from, size_t size, unsigned char* to) {
  if (size >= 8) {
    for (size_t i = 0; i + 8 < size; i += 8) std::memcpy(to + i, from + i, 8);
    std::memcpy(to + size - 8, from + size - 8, 8);
  } else if (size >= 4) {
    std::memcpy(to, from, 4);
    std::memcpy(to + size - 4, from + size - 4, 4);
  } else if (size > 0) {
    to[0] = static_cast<unsigned char>(from[0]);
    to[size / 2] = static_cast<unsigned char>(from[size / 2]);
    to[size - 1] = static_cast<unsigned char>(from[size - 1]);
  }
}

bool IsLineEnd(unsigned char c) { return c == '\r' || c == '\n'; }

// Decodes the first `size` (at most 64) characters of the window at `out`,
// one "=" at a time, up to the first "=" that is "=20" or not followed by
// two hex digits (a soft break too). Returns the characters taken: the
// place of that "=", else `size` or more (an escape may end past it).
size_t DecodeWindowUpToUnusual(const unsigned char* window, size_t size,
                               uint64_t equals, char*& out) {
  size_t done = 0;
  for (; equals != 0; equals &= equals - 1) {
    size_t p = size_t(std::countr_zero(equals));
    CopyRun(window + done, p - done, out);
    out += p - done;
    done = p;
    int high = kHexValues[window[p + 1]];
    int low = kHexValues[window[p + 2]];
    int value = high << 4 | low;
    if (((high | low) < 0) | (value == ' ')) return done;
    *out++ = char(value);
    done = p + 3;
  }
  if (done < size) {
    CopyRun(window + done, size - done, out);
    out += size - done;
    done = size;
  }
  return done;
}

// Decodes the first `size` (at most 64) characters of the window at `out`
// like DecodeWindowUpToUnusual, the escapes and the plain text between
// them without a branch per "=" unless the window holds an unusual one.
// The window must be readable 8 characters past 64, and `out` writable 72
// bytes on.
size_t DecodeWindow(const unsigned char* window, size_t size,
                    const uint16_t* pairs, char*& out) {
  // The digits of an escape are never "=", so every bit of the mask is
  // the start of one.
  uint64_t mask = EqualsMask(window);
  if (size < size_t(kWindow)) mask &= (uint64_t(1) << size) - 1;
  char* const start = out;
  size_t done = 0;
  unsigned usual = kUsual;
  for (uint64_t equals = mask; equals != 0; equals &= equals - 1) {
    size_t p = size_t(std::countr_zero(equals));
    CopyShortRun(window + done, p - done, out);
    out += p - done;
    uint16_t digits;
    std::memcpy(&digits, window + p + 1, 2);
    unsigned pair = pairs[digits];
    usual &= pair;
    *out = char(pair);
    out += pair >> 8 & 1;
    done = p + (pair >> 14);
  }
  if (usual != kUsual) {
    out = start;
    return DecodeWindowUpToUnusual(window, size, mask, out);
  }
  if (done < size) {
    CopyRun(window + done, size - done, out);
    out += size - done;
    done = size;
  }
  return done;
}

// The text without its trailing blanks and tabs; CR and LF among them stay
// in their order. `storage` holds the result when it is not a prefix.
std::string_view WithoutTrailingBlanks(std::string_view text,
                                       std::string& storage) {
  size_t end = text.size();
  bool blanks = false;
  while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t' ||
                     IsLineEnd(text[end - 1]))) {
    blanks = blanks || !IsLineEnd(text[end - 1]);
    --end;
  }
  if (!blanks) return text;
  storage.reserve(text.size());
  storage.append(text.substr(0, end));
  for (char c : text.substr(end)) {
    if (IsLineEnd(c)) storage += c;
  }
  return storage;
}

// Decodes the "=" at `in` that the windows leave: a soft break (eating one
// line end: CR LF, CR or LF, so that a blank line after it is data), a
// short escape, or "=20", which before a line end gives blank CR LF.
// Returns where the text goes on.
const char* DecodeUnusualEscape(const char* in, const char* stop, char*& out) {
  auto skip_line_end = [&] {
    if (in < stop && *in == '\r') {
      ++in;
      if (in < stop && *in == '\n') ++in;
    } else if (in < stop && *in == '\n') {
      ++in;
    }
  };
  ++in;
  int digits = 0;
  int value = 0;
  for (; digits < 2 && in < stop; ++digits, ++in) {
    int digit = kHexValues[static_cast<unsigned char>(*in)];
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  if (digits == 0) {
    skip_line_end();
  } else if (value == ' ' && in < stop && IsLineEnd(*in)) {
    std::memcpy(out, " \r\n", 3);
    out += 3;
    skip_line_end();
  } else {
    *out++ = char(value);
  }
  return in;
}

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
  std::string trimmed;
  text = WithoutTrailingBlanks(text, trimmed);
  const uint16_t* const pairs = EscapePairs();
  // Decoded a block at a time into a buffer that stays in cache; nothing
  // decodes to more bytes than it has characters.
  char buffer[kDecodeBlockSize];
  char* const buffer_end = buffer + sizeof buffer;
  char* out = buffer;
  const char* in = text.data();
  const char* const stop = in + text.size();
  // The last characters of the text, where a window may read past them;
  // the zeros after them are no hex digits.
  unsigned char last[kWindow + 8];
  while (in < stop) {
    // Room for a whole window (and for " \r\n").
    if (buffer_end - out < kWindow + 8) {
      destination.WriteBuffer(buffer, size_t(out - buffer));
      out = buffer;
    }
    const size_t left = size_t(stop - in);
    const auto* window = reinterpret_cast<const unsigned char*>(in);
    size_t size = size_t(kWindow);
    if (left < sizeof last) {
      std::memset(last, 0, sizeof last);
      CopyTail(in, left, last);
      window = last;
      size = std::min(left, size);
    }
    size_t done = DecodeWindow(window, size, pairs, out);
    in += done;
    if (done < size) in = DecodeUnusualEscape(in, stop, out);
  }
  if (out > buffer) destination.WriteBuffer(buffer, size_t(out - buffer));
}

}  // namespace replyvane::message
