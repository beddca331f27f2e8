// What a server's error challenge to a token log-in says reaches the
// user's screen and the refusal's text: whatever the challenge holds, the
// detail is short and made of letters, digits and ".-_ ,", and the
// mechanisms' answers to it hold no line break.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "mail/sasl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string challenge(reinterpret_cast<const char*>(data), size);
  const std::string detail = replyvane::mail::TokenRefusalDetail(challenge);
  if (detail.size() > 120) __builtin_trap();
  for (char c : detail) {
    const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                       (c >= 'A' && c <= 'Z') || c == '.' || c == '-' ||
                       c == '_' || c == ' ' || c == ',';
    if (!plain) __builtin_trap();
  }
  for (const bool bearer : {false, true}) {
    std::unique_ptr<replyvane::mail::SaslMechanism> mechanism =
        replyvane::mail::TokenMechanism({bearer ? "OAUTHBEARER" : "XOAUTH2"},
                                        "u", "t", "h", 1);
    mechanism->InitialResponse();
    const std::string answer =
        replyvane::mail::AnswerChallenge(*mechanism, challenge);
    if (answer.find_first_of("\r\n") != std::string::npos) __builtin_trap();
    if (mechanism->RefusalDetail().size() > 120) __builtin_trap();
  }
  return 0;
}
