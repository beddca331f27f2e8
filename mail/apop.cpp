// APOP timestamp and digest. MD5 comes from OpenSSL's libcrypto; a failure
// there (no MD5 in a restricted provider set) is a programming environment
// fault and raises core::Exception.
#include "mail/apop.h"

#include <openssl/evp.h>

#include <memory>

#include "core/exception.h"

namespace replyvane::mail {

std::string ApopTimestamp(std::string_view greeting) {
  size_t open = greeting.find('<');
  if (open == std::string_view::npos) return {};
  size_t close = greeting.find('>', open);
  if (close == std::string_view::npos) return {};
  return std::string(greeting.substr(open, close - open + 1));
}

std::string ApopDigest(std::string_view timestamp, std::string_view password) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(
      EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!context || !EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) ||
      !EVP_DigestUpdate(context.get(), timestamp.data(), timestamp.size()) ||
      !EVP_DigestUpdate(context.get(), password.data(), password.size()) ||
      !EVP_DigestFinal_ex(context.get(), digest, &length)) {
    throw core::Exception("MD5 is not available");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * length);
  for (unsigned int i = 0; i < length; ++i) {
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 15];
  }
  return text;
}

}  // namespace replyvane::mail
