// The encryption settings of the two servers: mode and pinned certificate,
// how they are named in Settings.ini (section "Encryption", after the
// specified ones) and the usual port of each mode. The keys are written only
// when they differ from their defaults or are in the file already, so the
// file of a user who never touches them stays exactly as it was; a missing
// key means the default.
#ifndef REPLYVANE_RESPONDER_ENCRYPTION_SETTINGS_H_
#define REPLYVANE_RESPONDER_ENCRYPTION_SETTINGS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/tls_session.h"

namespace replyvane::responder {

class IniFile;

inline constexpr char kEncryptionSection[] = "Encryption";

struct ServerEncryption {
  net::TLSMode mode = net::TLSMode::kNone;
  // SHA-256 fingerprint of the one certificate accepted; empty: verified
  // as usual.
  std::string fingerprint;
  // The stored mode text when it names no mode (a typo such as "SSL-TLS"):
  // the server is then not used at all, rather than in the clear.
  std::string unknown_mode;
};

enum class Server { kPop3, kSmtp };

// "None", "STARTTLS", "SSL/TLS": the texts of the settings window's choices
// and of the file.
const char* TLSModeText(net::TLSMode mode);
// The mode a text names, in any case; "TLS" and "SSL" also name SSL/TLS,
// and the empty text None. nullopt for any other text.
std::optional<net::TLSMode> TLSModeFromText(std::string_view text);
// POP3: 110, 110 (STLS), 995; SMTP: 25, 587 (STARTTLS), 465.
int32_t UsualPort(Server server, net::TLSMode mode);

// Keys Pop3Mode, Pop3Fingerprint, SmtpMode, SmtpFingerprint. A mode text
// that names no mode is kept in `unknown_mode` and written back as it was.
ServerEncryption ReadEncryption(IniFile& ini, Server server);
void WriteEncryption(IniFile& ini, Server server,
                     const ServerEncryption& value);

// Raises core::Exception naming the key and its value when `value` holds a
// mode text that names no mode: "Settings.ini: [Encryption] Pop3Mode=SSL-TLS
// is not one of None, STARTTLS, SSL/TLS; nothing was sent".
void RequireKnownMode(const ServerEncryption& value, Server server);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_ENCRYPTION_SETTINGS_H_
