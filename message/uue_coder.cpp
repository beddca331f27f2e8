#include "message/uue_coder.h"

#include <algorithm>
#include <string>

namespace replyvane::message {
namespace {

// Never part of either alphabet, so it marks the unused end of a line.
constexpr char kLineFill = '~';

const DecodeTable& UUETable() {
  static const DecodeTable table(kUUEAlphabet);
  return table;
}

const DecodeTable& XXETable() {
  static const DecodeTable table(kXXEAlphabet);
  return table;
}

}  // namespace

void EncoderUUEBase::EncodeAppend(core::Stream& source, int64_t count,
                                  std::string& out) {
  if (count != kWholeStream && count % 3 != 0) {
    throw core::Exception("Uneven size in Encode.");
  }
  int64_t left = BytesLeft(source);
  int64_t n = left >= 0 ? std::min(count, left) : count;
  if (n > 63) throw core::Exception("Line too long in Encode.");
  size_t length_at = out.size();
  out += '\0';
  int64_t consumed = AppendGroups(source, count, out);
  out[length_at] = CodingTable()[size_t(consumed)];
}

void DecoderUUEBase::DecodeToStream(std::string_view text,
                                    core::Stream& destination) {
  DecodeLine(text, destination);
}

void DecoderUUEBase::DecodeLine(std::string_view text,
                                core::Stream& destination) {
  if (text.empty()) return;
  size_t n = Table().value[static_cast<unsigned char>(text[0])];
  size_t length = (n + 2) / 3 * 4;
  std::string groups(text.substr(1, length));
  groups.resize(length, Table().zero);
  if (n % 3 == 1) {
    groups[length - 2] = FillChar();
    groups[length - 1] = FillChar();
  } else if (n % 3 == 2) {
    groups[length - 1] = FillChar();
  }
  Decoder4to3::DecodeToStream(groups, destination);
}

DecoderUUE::DecoderUUE() : DecoderUUEBase(UUETable(), kLineFill) {}

void DecoderUUE::DecodeToStream(std::string_view text,
                                core::Stream& destination) {
  // Only the length character and at most 84 groups are ever looked at.
  std::string line(text.substr(0, 1 + 255 / 3 * 4));
  std::replace(line.begin(), line.end(), ' ', '`');
  DecodeLine(line, destination);
}

DecoderXXE::DecoderXXE() : DecoderUUEBase(XXETable(), kLineFill) {}

}  // namespace replyvane::message
