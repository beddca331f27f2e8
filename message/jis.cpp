// Shift-JIS <-> ISO-2022-JP. The double-byte characters convert by the
// standard JIS X 0208 arithmetic; half-width katakana (JIS X 0201) go to
// their full-width JIS X 0208 forms by table.
#include "message/jis.h"

#include <cstdint>

namespace replyvane::message {

namespace {

constexpr char kEsc = 0x1B;
constexpr std::string_view kToDoubleByte = "\x1B$B";
constexpr std::string_view kToAscii = "\x1B(B";

// Full-width JIS X 0208 codes of the half-width bytes 0xA1..0xDF.
constexpr uint16_t kHalfWidthKana[63] = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523,  // A1
    0x2525, 0x2527, 0x2529, 0x2563, 0x2565, 0x2567, 0x2543, 0x213C,  // A9
    0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B, 0x252D, 0x252F,  // B1
    0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F,  // B9
    0x2541, 0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C, 0x254D,  // C1
    0x254E, 0x254F, 0x2552, 0x2555, 0x2558, 0x255B, 0x255E, 0x255F,  // C9
    0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569, 0x256A,  // D1
    0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C,          // D9
};
constexpr uint8_t kVoicedMark = 0xDE;
constexpr uint8_t kSemiVoicedMark = 0xDF;
constexpr uint16_t kVoicedU = 0x2574;  // the voiced form of 0xB3

bool HasVoicedForm(uint8_t b) {
  return (b >= 0xB6 && b <= 0xC4) || (b >= 0xCA && b <= 0xCE);
}
bool HasSemiVoicedForm(uint8_t b) { return b >= 0xCA && b <= 0xCE; }

// Collects JIS output, opening and closing the double-byte runs.
class JisWriter {
 public:
  void Ascii(char c) {
    if (double_byte_) {
      out_ += kToAscii;
      double_byte_ = false;
    }
    out_ += c;
  }
  void Pair(uint16_t code) {
    if (!double_byte_) {
      out_ += kToDoubleByte;
      double_byte_ = true;
    }
    out_ += static_cast<char>(code >> 8);
    out_ += static_cast<char>(code & 0xFF);
  }
  std::string Finish() {
    if (double_byte_) out_ += kToAscii;
    return std::move(out_);
  }

 private:
  std::string out_;
  bool double_byte_ = false;
};

// JIS X 0208 code of a Shift-JIS pair; 0 when the trail byte has none.
uint16_t ShiftJisPairToJis(uint8_t s1, uint8_t s2) {
  if (s2 < 0x40 || s2 == 0x7F || s2 > 0xFC) return 0;
  int row = ((s1 - (s1 <= 0x9F ? 0x70 : 0xB0)) << 1) - (s2 < 0x9F ? 1 : 0);
  int cell = s2 < 0x9F ? s2 - (s2 >= 0x80 ? 0x20 : 0x1F) : s2 - 0x7E;
  return static_cast<uint16_t>((row << 8) | cell);
}

// Writes the half-width byte at text[i] (and a merged voiced mark);
// returns the number of bytes used.
size_t HalfWidthKana(std::string_view text, size_t i, JisWriter& out) {
  const uint8_t b = static_cast<uint8_t>(text[i]);
  uint16_t code = kHalfWidthKana[b - 0xA1];
  const uint8_t next =
      i + 1 < text.size() ? static_cast<uint8_t>(text[i + 1]) : 0;
  if (next == kVoicedMark && (b == 0xB3 || HasVoicedForm(b))) {
    out.Pair(b == 0xB3 ? kVoicedU : code + 1);
    return 2;
  }
  if (next == kSemiVoicedMark && HasSemiVoicedForm(b)) {
    out.Pair(code + 2);
    return 2;
  }
  out.Pair(code);
  return 1;
}

}  // namespace

std::string JisToShiftJis(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool double_byte = false;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == kEsc) {
      std::string_view escape = text.substr(i, 3);
      if (escape == kToDoubleByte) double_byte = true;
      if (escape == kToAscii) double_byte = false;
      i += escape.size();
    } else if (!double_byte) {
      out += text[i++];
    } else if (i + 1 < text.size()) {
      const int j1 = static_cast<uint8_t>(text[i]);
      const int j2 = static_cast<uint8_t>(text[i + 1]);
      out += static_cast<char>(((j1 - 1) >> 1) + (j1 <= 94 ? 113 : 177));
      if (j1 % 2 == 0) {
        out += static_cast<char>(j2 + 126);
      } else {
        out += static_cast<char>(j2 + (j2 >= 96 ? 32 : 31));
      }
      i += 2;
    } else {
      ++i;  // a lone byte at the end of a double-byte run
    }
  }
  return out;
}

std::string ShiftJisToJis(std::string_view text) {
  JisWriter out;
  size_t i = 0;
  while (i < text.size()) {
    const uint8_t b = static_cast<uint8_t>(text[i]);
    if (b < 0x80) {
      out.Ascii(text[i]);
      ++i;
    } else if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF)) {
      if (i + 1 < text.size()) {
        uint16_t code = ShiftJisPairToJis(b, static_cast<uint8_t>(text[i + 1]));
        if (code != 0) out.Pair(code);
      }
      i += 2;
    } else if (b >= 0xA1 && b <= 0xDF) {
      i += HalfWidthKana(text, i, out);
    } else if (b >= 0xF0 && b <= 0xFC) {
      i += 2;  // user-defined area: the pair is dropped
    } else {
      ++i;  // 0x80, 0xA0, 0xFD..0xFF
    }
  }
  return out.Finish();
}

}  // namespace replyvane::message
