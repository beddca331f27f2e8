#include "message/group_kernels.h"

#include <bit>
#include <cstring>

namespace replyvane::message {
namespace {

static_assert(std::endian::native == std::endian::little,
              "the kernels load and store characters little-endian");

// Below this many groups the pair table of a decoder is not worth building.
constexpr size_t kPairGroupsThreshold = 256;

uint64_t LoadBigEndian64(const unsigned char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return __builtin_bswap64(v);
}

void StoreBigEndian64(char* p, uint64_t v) {
  v = __builtin_bswap64(v);
  std::memcpy(p, &v, 8);
}

void StoreBigEndian32(char* p, uint32_t v) {
  v = __builtin_bswap32(v);
  std::memcpy(p, &v, 4);
}

}  // namespace

char* EncodeGroupsWithPairs(const unsigned char* in, size_t size,
                            const uint16_t* pairs, char* out) {
  const unsigned char* end = in + size;
  // Six bytes give eight characters: one 8-byte load, one 8-byte store.
  for (; end - in >= 6; in += 6, out += 8) {
    uint64_t v = LoadBigEndian64(in) >> 16;
    uint64_t chars = uint64_t(pairs[(v >> 36) & 0xFFF]) |
                     uint64_t(pairs[(v >> 24) & 0xFFF]) << 16 |
                     uint64_t(pairs[(v >> 12) & 0xFFF]) << 32 |
                     uint64_t(pairs[v & 0xFFF]) << 48;
    std::memcpy(out, &chars, 8);
  }
  if (in < end) {
    uint32_t v = uint32_t(in[0]) << 16 | uint32_t(in[1]) << 8 | in[2];
    uint32_t chars = uint32_t(pairs[v >> 12]) | uint32_t(pairs[v & 0xFFF])
                                                    << 16;
    std::memcpy(out, &chars, 4);
    out += 4;
  }
  return out;
}

char* EncodeLinesWithPairs(const unsigned char* in, size_t size,
                           size_t line_bytes, const uint16_t* pairs,
                           char* out) {
  for (const unsigned char* end = in + size; in < end; in += line_bytes) {
    out = EncodeGroupsWithPairs(in, line_bytes, pairs, out);
    std::memcpy(out, "\r\n", 2);
    out += 2;
  }
  return out;
}

char* EncodeGroups(const unsigned char* in, size_t size, const char* table,
                   char* out) {
  for (const unsigned char* end = in + size; in < end; in += 3, out += 4) {
    out[0] = table[in[0] >> 2];
    out[1] = table[((in[0] & 3) << 4) | (in[1] >> 4)];
    out[2] = table[((in[1] & 15) << 2) | (in[2] >> 6)];
    out[3] = table[in[2] & 63];
  }
  return out;
}

char* EncodeTail(const unsigned char* in, size_t size, const char* table,
                 char fill, char* out) {
  unsigned b1 = in[0];
  unsigned b2 = size > 1 ? in[1] : 0;
  out[0] = table[b1 >> 2];
  out[1] = table[((b1 & 3) << 4) | (b2 >> 4)];
  out[2] = size > 1 ? table[(b2 & 15) << 2] : fill;
  out[3] = fill;
  return out + 4;
}

char* DecodeGroups(const unsigned char* in, size_t groups,
                   const DecodeTable& table, char* out) {
  if (groups >= kPairGroupsThreshold) {
    // Two characters per lookup; the OR of the pairs is the OR of the four
    // values, also for characters outside the alphabet (value 255).
    const uint16_t* pairs = table.Pairs();
    for (; groups >= 2; groups -= 2, in += 8, out += 6) {
      uint64_t w;
      std::memcpy(&w, in, 8);
      uint64_t a =
          (uint64_t(pairs[w & 0xFFFF]) << 12 | pairs[(w >> 16) & 0xFFFF]) &
          0xFFFFFF;
      uint64_t b =
          (uint64_t(pairs[(w >> 32) & 0xFFFF]) << 12 | pairs[w >> 48]) &
          0xFFFFFF;
      StoreBigEndian64(out, a << 40 | b << 16);
    }
  }
  const auto& s = table.shifted;
  for (; groups > 0; --groups, in += 4, out += 3) {
    uint32_t x = s[0][in[0]] | s[1][in[1]] | s[2][in[2]] | s[3][in[3]];
    StoreBigEndian32(out, x << 8);
  }
  return out;
}

char* DecodeGroupWithFill(const unsigned char* in, const DecodeTable& table,
                          unsigned char fill, char* out) {
  const auto& s = table.shifted;
  uint32_t x = s[0][in[0]] | s[1][in[1]] | s[2][in[2]] | s[3][in[3]];
  *out++ = char(x >> 16);
  if (in[2] == fill) return out;
  *out++ = char(x >> 8);
  if (in[3] == fill) return out;
  *out++ = char(x);
  return out;
}

}  // namespace replyvane::message
