#include "responder/digest.h"

#include <openssl/evp.h>

namespace replyvane::responder {

std::string Sha256Hex(std::string_view data) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string result;
  for (unsigned int i = 0; i < length; ++i) {
    result += kHex[digest[i] >> 4];
    result += kHex[digest[i] & 15];
  }
  return result;
}

}  // namespace replyvane::responder
