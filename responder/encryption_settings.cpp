// Encryption settings in Settings.ini; see encryption_settings.h.
#include "responder/encryption_settings.h"

#include "core/exception.h"
#include "core/text.h"
#include "responder/ini_file.h"

namespace replyvane::responder {

namespace {

const char* ModeKey(Server server) {
  return server == Server::kPop3 ? "Pop3Mode" : "SmtpMode";
}

const char* FingerprintKey(Server server) {
  return server == Server::kPop3 ? "Pop3Fingerprint" : "SmtpFingerprint";
}

}  // namespace

const char* TLSModeText(net::TLSMode mode) {
  switch (mode) {
    case net::TLSMode::kStartTLS:
      return "STARTTLS";
    case net::TLSMode::kImplicit:
      return "SSL/TLS";
    case net::TLSMode::kNone:
      break;
  }
  return "None";
}

std::optional<net::TLSMode> TLSModeFromText(std::string_view text) {
  const std::string name = core::Trim(text);
  if (name.empty() || core::SameText(name, "None")) return net::TLSMode::kNone;
  if (core::SameText(name, "STARTTLS")) return net::TLSMode::kStartTLS;
  if (core::SameText(name, "SSL/TLS") || core::SameText(name, "TLS") ||
      core::SameText(name, "SSL")) {
    return net::TLSMode::kImplicit;
  }
  return std::nullopt;
}

int32_t UsualPort(Server server, net::TLSMode mode) {
  if (server == Server::kPop3) {
    return mode == net::TLSMode::kImplicit ? 995 : 110;
  }
  switch (mode) {
    case net::TLSMode::kStartTLS:
      return 587;
    case net::TLSMode::kImplicit:
      return 465;
    case net::TLSMode::kNone:
      break;
  }
  return 25;
}

ServerEncryption ReadEncryption(IniFile& ini, Server server) {
  ServerEncryption value;
  const std::string text =
      ini.ReadString(kEncryptionSection, ModeKey(server), "");
  if (const std::optional<net::TLSMode> mode = TLSModeFromText(text)) {
    value.mode = *mode;
  } else {
    value.unknown_mode = text;
  }
  value.fingerprint =
      ini.ReadString(kEncryptionSection, FingerprintKey(server), "");
  return value;
}

void WriteEncryption(IniFile& ini, Server server,
                     const ServerEncryption& value) {
  ini.WriteUnlessDefault(
      kEncryptionSection, ModeKey(server),
      value.unknown_mode.empty() ? TLSModeText(value.mode) : value.unknown_mode,
      "None");
  ini.WriteUnlessDefault(kEncryptionSection, FingerprintKey(server),
                         value.fingerprint, "");
}

void RequireKnownMode(const ServerEncryption& value, Server server) {
  if (value.unknown_mode.empty()) return;
  throw core::Exception(core::Format(
      "Settings.ini: [%s] %s=%s is not one of None, STARTTLS, SSL/TLS; "
      "nothing was sent",
      kEncryptionSection, ModeKey(server), value.unknown_mode.c_str()));
}

}  // namespace replyvane::responder
