#include "message/coder_3to4.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "message/group_kernels.h"
#include "message/mime_coder.h"
#include "message/read_memory_stream.h"
#include "message/uue_coder.h"

namespace replyvane::message {
namespace {

// Source bytes read per step: whole groups, small enough to stay in cache.
constexpr size_t kEncodeChunk = 3 * 16384;
// Below this many bytes the pair table is not worth building.
constexpr size_t kPairTableThreshold = 1536;
// Groups decoded per write to the destination.
constexpr size_t kDecodeChunkGroups = 16384;

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

const uint16_t* DecodeTable::Pairs() const {
  std::call_once(pairs_once_, [this] {
    pairs_ = std::make_unique<uint16_t[]>(65536);
    for (int i = 0; i < 65536; ++i) {
      pairs_[i] = uint16_t(value[i & 0xFF] << 6 | value[i >> 8]);
    }
  });
  return pairs_.get();
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

std::string Encoder3to4::Encode(core::Stream& source, int64_t count) {
  std::string out;
  EncodeAppend(source, count, out);
  return out;
}

void Encoder3to4::EncodeAppend(core::Stream& source, int64_t count,
                               std::string& out) {
  AppendGroups(source, count, out);
}

char* Encoder3to4::EncodeLines(const unsigned char* in, size_t size,
                               size_t line_bytes, char* out) {
  const uint16_t* pairs = Pairs().pairs;
  size_t whole_lines = size - size % line_bytes;
  out = EncodeLinesWithPairs(in, whole_lines, line_bytes, pairs, out);
  if (whole_lines == size) return out;
  in += whole_lines;
  size_t rest = size - whole_lines;
  size_t whole = rest - rest % 3;
  out = EncodeGroupsWithPairs(in, whole, pairs, out);
  if (whole < rest) {
    out = EncodeTail(in + whole, rest - whole, coding_table_.data(), fill_char_,
                     out);
  }
  std::memcpy(out, "\r\n", 2);
  return out + 2;
}

int64_t Encoder3to4::AppendGroups(core::Stream& source, int64_t count,
                                  std::string& out) {
  if (count != kWholeStream && count % 3 != 0) {
    throw core::Exception("Uneven size in Encode.");
  }
  if (count <= 0) return 0;
  // Text in memory is encoded where it lies, without a copy.
  if (auto* memory = dynamic_cast<ReadMemoryStream*>(&source)) {
    std::string_view text = memory->Unread();
    size_t n = size_t(std::min<int64_t>(count, int64_t(text.size())));
    AppendText(text, n, out);
    memory->Seek(int64_t(n), core::SeekOrigin::kCurrent);
    return int64_t(n);
  }
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
    AppendText(
        std::string_view(reinterpret_cast<char*>(buffer.data()), got + 2), got,
        out);
    if (got < want) break;
  }
  return done;
}

void Encoder3to4::AppendText(std::string_view text, size_t size,
                             std::string& out) {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  out.reserve(out.size() + (size + 2) / 3 * 4);
  // Whole groups a piece at a time, so that the text grows while the piece
  // is in cache; the pair kernel reads 2 bytes past its groups.
  const size_t whole = size - size % 3;
  const size_t paired = whole + 2 <= text.size() ? whole
                        : whole >= 3             ? whole - 3
                                                 : 0;
  const bool use_pairs = whole >= kPairTableThreshold;
  for (size_t at = 0; at < whole;) {
    size_t piece = std::min(whole - at, kEncodeChunk);
    size_t start = out.size();
    out.resize(start + piece / 3 * 4);
    char* o = out.data() + start;
    size_t by_pairs =
        use_pairs ? std::min(piece, paired - std::min(paired, at)) : 0;
    if (by_pairs > 0) {
      o = EncodeGroupsWithPairs(in + at, by_pairs, Pairs().pairs, o);
    }
    EncodeGroups(in + at + by_pairs, piece - by_pairs, coding_table_.data(), o);
    at += piece;
  }
  if (whole < size) {
    // A short group only ever comes last.
    size_t start = out.size();
    out.resize(start + 4);
    EncodeTail(in + whole, size - whole, coding_table_.data(), fill_char_,
               out.data() + start);
  }
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
  const auto fill = static_cast<unsigned char>(fill_char_);
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  size_t groups_left = text.size() / 4;
  // Two spare bytes: the kernels store whole words and keep three bytes.
  std::vector<char> buffer(std::min(groups_left, kDecodeChunkGroups) * 3 + 2);
  while (groups_left > 0) {
    size_t groups = std::min(groups_left, kDecodeChunkGroups);
    groups_left -= groups;
    char* out = buffer.data();
    // Fill characters are rare (the end of a line): run the plain kernel up
    // to the group of the next one.
    for (const unsigned char* end = in + groups * 4; in < end;) {
      const void* found = std::memchr(in, fill, size_t(end - in));
      const unsigned char* stop =
          found != nullptr
              ? in + (static_cast<const unsigned char*>(found) - in) / 4 * 4
              : end;
      out = DecodeGroups(in, size_t(stop - in) / 4, table_, out);
      in = stop;
      if (in < end) {
        out = DecodeGroupWithFill(in, table_, fill, out);
        in += 4;
      }
    }
    destination.WriteBuffer(buffer.data(), size_t(out - buffer.data()));
  }
}

}  // namespace replyvane::message
