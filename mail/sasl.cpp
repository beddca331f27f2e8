#include "mail/sasl.h"

#include <algorithm>

#include "core/exception.h"
#include "core/text.h"
#include "message/encoder.h"
#include "message/mime_coder.h"

namespace replyvane::mail {

namespace {

[[noreturn]] void RaiseUnexpectedChallenge(const char* mechanism) {
  throw core::Exception(std::string("The server asked more of the ") +
                        mechanism + " log-in than it holds");
}

bool Offered(const std::vector<std::string>& offered, const char* name) {
  return std::any_of(offered.begin(), offered.end(),
                     [name](const std::string& scheme) {
                       return core::SameText(scheme, name);
                     });
}

}  // namespace

std::string SaslLogin::Respond(std::string_view) {
  switch (step_++) {
    case 0:
      return username_;
    case 1:
      return password_;
    default:
      RaiseUnexpectedChallenge(Name());
  }
}

std::optional<std::string> SaslPlain::InitialResponse() {
  said_ = true;
  return std::string(1, '\0') + username_ + std::string(1, '\0') + password_;
}

std::string SaslPlain::Respond(std::string_view) {
  RaiseUnexpectedChallenge(Name());
}

std::string SaslWireText(std::string_view bytes) {
  return message::EncodeTextOnce<message::EncoderMIME>(bytes);
}

std::string AnswerChallenge(SaslMechanism& mechanism, std::string_view text) {
  std::string challenge(text);
  try {
    challenge = message::DecoderMIME().DecodeText(text);
  } catch (const core::Exception&) {
    // Not base64: the mechanism gets it as it came.
  }
  return SaslWireText(mechanism.Respond(challenge));
}

std::unique_ptr<SaslMechanism> PasswordMechanism(
    const std::vector<std::string>& offered, const std::string& username,
    const std::string& password) {
  if (Offered(offered, "LOGIN")) {
    return std::make_unique<SaslLogin>(username, password);
  }
  if (Offered(offered, "PLAIN")) {
    return std::make_unique<SaslPlain>(username, password);
  }
  return nullptr;
}

}  // namespace replyvane::mail
