#include "message/coder_3to4.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "message/mime_coder.h"
#include "message/uue_coder.h"

namespace replyvane::message {
namespace {

static_assert(std::endian::native == std::endian::little,
              "the group kernels store characters little-endian");

// Source bytes read per step: whole groups, small enough to stay in cache.
constexpr size_t kEncodeChunk = 3 * 16384;
// Below this many bytes the pair table is not worth building.
constexpr size_t kPairTableThreshold = 1536;
// Groups decoded per write to the destination.
constexpr size_t kDecodeChunkGroups = 16384;

uint64_t LoadBigEndian64(const unsigned char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return __builtin_bswap64(v);
}

void StoreBigEndian32(char* p, uint32_t v) {
  v = __builtin_bswap32(v);
  std::memcpy(p, &v, 4);
}

}  // namespace

DecodeTable::DecodeTable(std::string_view alphabet) : zero(alphabet[0]) {
  value.fill(255);
  for (size_t i = 0; i < alphabet.size() && i < 64; ++i) {
    value[static_cast<unsigned char>(alphabet[i])] = uint8_t(i);
  }
  for (int c = 0; c < 256; ++c) {
    shifted[0][c] = uint32_t(value[c]) << 18;
    shifted[1][c] = uint32_t(value[c]) << 12;
    shifted[2][c] = uint32_t(value[c]) << 6;
    shifted[3][c] = uint32_t(value[c]);
  }
}

// Two characters for every 12-bit half of a group.
struct Encoder3to4::PairTable {
  explicit PairTable(std::string_view alphabet) {
    for (int i = 0; i < 4096; ++i) {
      auto high = static_cast<unsigned char>(alphabet[i >> 6]);
      auto low = static_cast<unsigned char>(alphabet[i & 63]);
      pairs[i] = uint16_t(high | (low << 8));
    }
  }
  uint16_t pairs[4096];
};

Encoder3to4::Encoder3to4(std::string_view coding_table, char fill_char)
    : fill_char_(fill_char) {
  SetCodingTable(coding_table);
}

Encoder3to4::~Encoder3to4() = default;

void Encoder3to4::SetCodingTable(std::string_view value) {
  if (value.size() != 64) {
    throw core::Exception("A coding table holds 64 characters.");
  }
  coding_table_ = value;
  own_pairs_.reset();
  pairs_ = nullptr;
}

const Encoder3to4::PairTable& Encoder3to4::Pairs() {
  if (pairs_ != nullptr) return *pairs_;
  // The usual alphabets share one table for the whole process.
  static const PairTable base64(kBase64Alphabet);
  static const PairTable uue(kUUEAlphabet);
  static const PairTable xxe(kXXEAlphabet);
  if (coding_table_ == kBase64Alphabet) {
    pairs_ = &base64;
  } else if (coding_table_ == kUUEAlphabet) {
    pairs_ = &uue;
  } else if (coding_table_ == kXXEAlphabet) {
    pairs_ = &xxe;
  } else {
    own_pairs_ = std::make_unique<PairTable>(coding_table_);
    pairs_ = own_pairs_.get();
  }
  return *pairs_;
}

namespace {

// Appends the characters of `size` bytes (a multiple of 3) at `out`, which
// has room. `in` may be read 2 bytes past `size`.
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

// The last group of one or two bytes, padded with `fill`.
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

}  // namespace

std::string Encoder3to4::Encode(core::Stream& source, int64_t count) {
  std::string out;
  EncodeInto(source, count, out);
  return out;
}

int64_t Encoder3to4::EncodeInto(core::Stream& source, int64_t count,
                                std::string& out) {
  if (count != kWholeStream && count % 3 != 0) {
    throw core::Exception("Uneven size in Encode.");
  }
  if (count <= 0) return 0;
  int64_t left = BytesLeft(source);
  int64_t n = left >= 0 ? std::min(count, left) : count;
  if (n == 0) return 0;
  if (left >= 0) out.reserve(out.size() + size_t((n + 2) / 3 * 4));

  size_t chunk = size_t(std::min<int64_t>(n, kEncodeChunk));
  // Two spare bytes let the pair kernel load eight bytes at a time.
  std::vector<unsigned char> buffer(chunk + 2);
  int64_t done = 0;
  while (done < n) {
    size_t want = size_t(std::min<int64_t>(n - done, int64_t(chunk)));
    size_t got = ReadUpTo(source, buffer.data(), want);
    if (got == 0) break;
    done += int64_t(got);
    size_t whole = got - got % 3;
    size_t start = out.size();
    out.resize(start + (got + 2) / 3 * 4);
    char* o = out.data() + start;
    if (whole >= kPairTableThreshold) {
      o = EncodeGroupsWithPairs(buffer.data(), whole, Pairs().pairs, o);
    } else {
      o = EncodeGroups(buffer.data(), whole, coding_table_.data(), o);
    }
    if (whole < got) {
      // A short group only ever comes last.
      EncodeTail(buffer.data() + whole, got - whole, coding_table_.data(),
                 fill_char_, o);
      break;
    }
    if (got < want) break;
  }
  return done;
}

Decoder4to3::Decoder4to3(const DecodeTable& table, char fill_char)
    : table_(table), fill_char_(fill_char) {}

Decoder4to3::~Decoder4to3() = default;

void Decoder4to3::DecodeToStream(std::string_view text,
                                 core::Stream& destination) {
  if (text.size() % 4 != 0) {
    throw core::Exception("Uneven size in DecodeToStream.");
  }
  if (text.empty()) return;
  const auto& s0 = table_.shifted[0];
  const auto& s1 = table_.shifted[1];
  const auto& s2 = table_.shifted[2];
  const auto& s3 = table_.shifted[3];
  const auto fill = static_cast<unsigned char>(fill_char_);
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  size_t groups_left = text.size() / 4;
  // One spare byte: every group stores four bytes and keeps three.
  std::vector<char> buffer(std::min(groups_left, kDecodeChunkGroups) * 3 + 1);
  while (groups_left > 0) {
    size_t groups = std::min(groups_left, kDecodeChunkGroups);
    groups_left -= groups;
    char* out = buffer.data();
    for (const unsigned char* end = in + groups * 4; in < end; in += 4) {
      uint32_t x = s0[in[0]] | s1[in[1]] | s2[in[2]] | s3[in[3]];
      if (in[2] == fill || in[3] == fill) [[unlikely]] {
        *out++ = char(x >> 16);
        if (in[2] != fill) *out++ = char(x >> 8);
        continue;
      }
      StoreBigEndian32(out, x << 8);
      out += 3;
    }
    destination.WriteBuffer(buffer.data(), size_t(out - buffer.data()));
  }
}

}  // namespace replyvane::message
