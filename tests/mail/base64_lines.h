// Base64 from OpenSSL, framed as mail does it (57 bytes = 76 characters a
// line, each ended by CR LF): an oracle independent of the message coders.
#ifndef REPLYVANE_TESTS_MAIL_BASE64_LINES_H_
#define REPLYVANE_TESTS_MAIL_BASE64_LINES_H_

#include <openssl/evp.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace replyvane::mail {

inline std::string Base64Lines(std::string_view data) {
  std::string text;
  unsigned char line[80];
  for (size_t at = 0; at < data.size(); at += 57) {
    size_t n = std::min<size_t>(57, data.size() - at);
    int length = EVP_EncodeBlock(
        line, reinterpret_cast<const unsigned char*>(data.data() + at),
        static_cast<int>(n));
    text.append(reinterpret_cast<char*>(line), length);
    text += "\r\n";
  }
  return text;
}

// Every byte value, three times over: 768 bytes of binary data.
inline std::string AllBytes() {
  std::string data;
  for (int round = 0; round < 3; ++round) {
    for (int byte = 0; byte < 256; ++byte) data += static_cast<char>(byte);
  }
  return data;
}

}  // namespace replyvane::mail

#endif  // REPLYVANE_TESTS_MAIL_BASE64_LINES_H_
