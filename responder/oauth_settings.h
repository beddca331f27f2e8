// Sign-in with OAuth 2.0 instead of a password, per server: the mailbox's
// (POP3 or IMAP) in Settings.ini's section "OAuth Mailbox", SMTP's in
// "OAuth SMTP", after the specified ones and written only when a provider
// is chosen:
//
//   [OAuth Mailbox]
//   Provider=Microsoft          (Microsoft, Google or Other)
//   ClientId=00000000-0000-0000-0000-000000000000
//   ClientSecret=               (Google's desktop clients have one)
//   Scopes=                     (empty: the provider's own for the server)
//   DeviceEndpoint=             (Other: the endpoints, https: only)
//   TokenEndpoint=
//   AuthorizationEndpoint=
//
// No token is ever kept here (see token_store.h).
#ifndef REPLYVANE_RESPONDER_OAUTH_SETTINGS_H_
#define REPLYVANE_RESPONDER_OAUTH_SETTINGS_H_

#include <string>

#include "auth/oauth_grants.h"
#include "responder/mailbox_settings.h"

namespace replyvane::responder {

class IniFile;

enum class OAuthProvider { kNone, kMicrosoft, kGoogle, kOther };

struct OAuthSettings {
  OAuthProvider provider = OAuthProvider::kNone;
  std::string client_id;
  std::string client_secret;
  std::string scopes;
  std::string device_endpoint;
  std::string token_endpoint;
  std::string authorization_endpoint;

  bool On() const { return provider != OAuthProvider::kNone; }
  bool operator==(const OAuthSettings&) const = default;
};

inline constexpr char kMailboxOAuthSection[] = "OAuth Mailbox";
inline constexpr char kSmtpOAuthSection[] = "OAuth SMTP";

// "Microsoft", "Google", "Other"; "" for kNone.
const char* OAuthProviderText(OAuthProvider provider);

OAuthSettings ReadOAuthSettings(IniFile& ini, const char* section);
void WriteOAuthSettings(IniFile& ini, const char* section,
                        const OAuthSettings& value);

// The endpoints and scopes for a server: the provider's own, any set in
// the settings taking their place. `smtp` picks SMTP's scope, else the
// mailbox `kind`'s.
auth::OAuthClient OAuthClientFor(const OAuthSettings& settings, bool smtp,
                                 MailboxKind kind);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_OAUTH_SETTINGS_H_
