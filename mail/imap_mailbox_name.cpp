#include "mail/imap_mailbox_name.h"

#include <cstdint>
#include <vector>

#include "core/exception.h"

namespace replyvane::mail {

namespace {

constexpr char kAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";

[[noreturn]] void NotText(std::string_view name) {
  throw core::Exception("The IMAP folder name \"" + std::string(name) +
                        "\" is not text that a folder can be named by");
}

// The code points of `name`, strictly decoded (no overlong forms, no
// surrogates, nothing past U+10FFFF).
std::vector<uint32_t> CodePoints(std::string_view name) {
  std::vector<uint32_t> points;
  for (size_t i = 0; i < name.size();) {
    const unsigned char lead = (unsigned char)name[i];
    size_t length = 1;
    uint32_t point = lead;
    uint32_t least = 0;
    if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, point = lead & 0x07, least = 0x10000;
    } else if (lead >= 0xE0) {
      length = 3, point = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xC2 && lead < 0xE0) {
      length = 2, point = lead & 0x1F, least = 0x80;
    } else if (lead >= 0x80) {
      NotText(name);
    }
    if (lead >= 0xF5 || i + length > name.size()) NotText(name);
    for (size_t k = 1; k < length; ++k) {
      const unsigned char next = (unsigned char)name[i + k];
      if ((next & 0xC0) != 0x80) NotText(name);
      point = (point << 6) | (next & 0x3F);
    }
    if (point < least || point > 0x10FFFF ||
        (point >= 0xD800 && point <= 0xDFFF) || point < 0x20 || point == 0x7F) {
      NotText(name);
    }
    points.push_back(point);
    i += length;
  }
  return points;
}

// A run of non-ASCII code points as modified base64 of UTF-16BE.
void AppendShifted(const std::vector<uint32_t>& run, std::string& out) {
  std::vector<unsigned char> bytes;
  auto unit = [&bytes](uint32_t value) {
    bytes.push_back((unsigned char)(value >> 8));
    bytes.push_back((unsigned char)(value & 0xFF));
  };
  for (uint32_t point : run) {
    if (point >= 0x10000) {
      point -= 0x10000;
      unit(0xD800 + (point >> 10));
      unit(0xDC00 + (point & 0x3FF));
    } else {
      unit(point);
    }
  }
  out += '&';
  uint32_t bits = 0;
  int count = 0;
  for (unsigned char byte : bytes) {
    bits = (bits << 8) | byte;
    count += 8;
    while (count >= 6) {
      count -= 6;
      out += kAlphabet[(bits >> count) & 0x3F];
    }
  }
  if (count > 0) out += kAlphabet[(bits << (6 - count)) & 0x3F];
  out += '-';
}

}  // namespace

std::string ModifiedUtf7(std::string_view name) {
  std::string out;
  std::vector<uint32_t> run;
  for (uint32_t point : CodePoints(name)) {
    if (point >= 0x20 && point < 0x7F) {
      if (!run.empty()) AppendShifted(run, out);
      run.clear();
      out += point == '&' ? std::string("&-") : std::string(1, char(point));
    } else {
      run.push_back(point);
    }
  }
  if (!run.empty()) AppendShifted(run, out);
  return out;
}

}  // namespace replyvane::mail
