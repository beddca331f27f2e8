// Small plain reference kernels for the coder benchmarks, written from the
// rules of the two encodings: table-driven scalar C++ of the kind a careful
// hand writes, into a buffer the caller allocated. They stand for "a
// well-made scalar codec" next to ours.
#ifndef REPLYVANE_BENCH_REFERENCE_CODERS_H_
#define REPLYVANE_BENCH_REFERENCE_CODERS_H_

#include <cstdint>
#include <cstring>
#include <string_view>

#include "message/mime_coder.h"

namespace replyvane::message {

// A plain table-driven base64 encoder: two characters per 12 bits, three
// byte loads and two 16-bit stores per group, into the caller's buffer.
struct ReferenceBase64 {
  ReferenceBase64() {
    for (int i = 0; i < 4096; ++i) {
      pairs[i] = uint16_t(uint8_t(kBase64Alphabet[i >> 6]) |
                          uint8_t(kBase64Alphabet[i & 63]) << 8);
    }
  }
  char* Encode(const unsigned char* in, size_t size, char* out) const {
    const unsigned char* end = in + size - size % 3;
    for (; in < end; in += 3, out += 4) {
      uint32_t v = uint32_t(in[0]) << 16 | uint32_t(in[1]) << 8 | in[2];
      std::memcpy(out, &pairs[v >> 12], 2);
      std::memcpy(out + 2, &pairs[v & 0xFFF], 2);
    }
    if (size % 3 != 0) {
      uint32_t v = uint32_t(in[0]) << 16 | (size % 3 == 2 ? in[1] << 8 : 0);
      std::memcpy(out, &pairs[v >> 12], 2);
      out[2] = size % 3 == 2 ? kBase64Alphabet[(v >> 6) & 63] : '=';
      out[3] = '=';
      out += 4;
    }
    return out;
  }
  uint16_t pairs[4096];
};

// A plain table-driven quoted-printable decoder into the caller's buffer,
// which holds as many bytes as the text has characters: "=XX" through a
// hex value table, a soft break "=" CR LF / LF dropped, anything else kept.
struct ReferenceQuotedPrintable {
  ReferenceQuotedPrintable() {
    for (int c = 0; c < 256; ++c) {
      hex[c] = c >= '0' && c <= '9'   ? int8_t(c - '0')
               : c >= 'A' && c <= 'F' ? int8_t(c - 'A' + 10)
               : c >= 'a' && c <= 'f' ? int8_t(c - 'a' + 10)
                                      : int8_t(-1);
    }
  }
  char* Decode(std::string_view text, char* out) const {
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* end = in + text.size();
    while (in < end) {
      if (*in != '=') {
        *out++ = char(*in++);
      } else if (end - in >= 3 && (hex[in[1]] | hex[in[2]]) >= 0) {
        *out++ = char(hex[in[1]] << 4 | hex[in[2]]);
        in += 3;
      } else if (end - in >= 3 && in[1] == '\r' && in[2] == '\n') {
        in += 3;
      } else if (end - in >= 2 && in[1] == '\n') {
        in += 2;
      } else {
        *out++ = char(*in++);
      }
    }
    return out;
  }
  int8_t hex[256];
};

}  // namespace replyvane::message

#endif  // REPLYVANE_BENCH_REFERENCE_CODERS_H_
