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

std::optional<std::string> SaslXOAuth2::InitialResponse() {
  said_ = true;
  return "user=" + username_ +
         "\x01"
         "auth=Bearer " +
         token_ + "\x01\x01";
}

std::string SaslXOAuth2::Respond(std::string_view challenge) {
  // Nothing is asked before the initial response; a server that sends an
  // empty challenge first gets it then.
  if (!said_ && challenge.empty()) return *InitialResponse();
  return AfterLastWord(challenge);
}

std::string SaslXOAuth2::AfterLastWord(std::string_view challenge) {
  detail_ = TokenRefusalDetail(challenge);
  return "";
}

std::optional<std::string> SaslOAuthBearer::InitialResponse() {
  said_ = true;
  // A "," or "=" in the user would end the authzid; RFC 5801 escapes them.
  std::string user;
  for (char c : username_) {
    if (c == ',') {
      user += "=2C";
    } else if (c == '=') {
      user += "=3D";
    } else {
      user += c;
    }
  }
  return "n,a=" + user + ",\x01host=" + host_ +
         "\x01port=" + std::to_string(port_) +
         "\x01"
         "auth=Bearer " +
         token_ + "\x01\x01";
}

std::string SaslOAuthBearer::AfterLastWord(std::string_view challenge) {
  SaslXOAuth2::AfterLastWord(challenge);
  return "\x01";
}

namespace {

// The string value of `"key"` in a flat JSON object, reduced to harmless
// characters; empty when it is not there. A number is taken as it stands.
std::string JsonValue(std::string_view json, std::string_view key) {
  const std::string quoted = "\"" + std::string(key) + "\"";
  size_t at = json.find(quoted);
  if (at == std::string_view::npos) return "";
  at = json.find_first_not_of(" \t\r\n", at + quoted.size());
  if (at == std::string_view::npos || json[at] != ':') return "";
  at = json.find_first_not_of(" \t\r\n", at + 1);
  if (at == std::string_view::npos) return "";
  const bool string = json[at] == '"';
  if (string) ++at;
  std::string value;
  for (; at < json.size() && value.size() < 40; ++at) {
    const char c = json[at];
    if (string ? c == '"' : (c == ',' || c == '}')) break;
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
        (c >= 'A' && c <= 'Z') || c == '.' || c == '-' || c == '_' ||
        c == ' ') {
      value += c;
    }
  }
  return core::Trim(value);
}

}  // namespace

std::string TokenRefusalDetail(std::string_view challenge) {
  const std::string status = JsonValue(challenge, "status");
  const std::string schemes = JsonValue(challenge, "schemes");
  std::string detail;
  if (!status.empty()) detail = "status " + status;
  if (!schemes.empty()) {
    detail += (detail.empty() ? "" : ", ") + std::string("scheme ") + schemes;
  }
  return detail;
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
  return SaslWireText(mechanism.Complete() ? mechanism.AfterLastWord(challenge)
                                           : mechanism.Respond(challenge));
}

void RaiseWithDetail(const net::ProtocolReplyError& refused,
                     const SaslMechanism& mechanism) {
  const std::string detail = mechanism.RefusalDetail();
  if (detail.empty()) throw refused;
  // Before the line break a reply's text may end in.
  std::string text = refused.what();
  text.insert(text.find_last_not_of("\r\n") + 1, " (" + detail + ")");
  throw net::ProtocolReplyError(refused.ReplyCode(), text);
}

std::unique_ptr<SaslMechanism> TokenMechanism(
    const std::vector<std::string>& offered, const std::string& username,
    const std::string& token, const std::string& host, int32_t port) {
  if (Offered(offered, "OAUTHBEARER")) {
    return std::make_unique<SaslOAuthBearer>(username, token, host, port);
  }
  if (offered.empty() || Offered(offered, "XOAUTH2")) {
    return std::make_unique<SaslXOAuth2>(username, token);
  }
  return nullptr;
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
