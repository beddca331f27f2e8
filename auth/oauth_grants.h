// The OAuth 2.0 grants Replyvane uses at a provider's endpoints: the
// device authorization grant (RFC 8628) to sign in, the refresh token
// grant to get access tokens for each check, and the authorization code
// exchange of the loopback sign-in (RFC 7636 PKCE, RFC 8252). Qt-free;
// the window and the terminal only show what these return. Texts from the
// provider (error descriptions, the device message) are made one plain
// line of bounded length before anyone sees them.
#ifndef REPLYVANE_AUTH_OAUTH_GRANTS_H_
#define REPLYVANE_AUTH_OAUTH_GRANTS_H_

#include <cstdint>
#include <string>

#include "core/exception.h"

namespace replyvane::auth {

struct OAuthClient {
  std::string provider_name;  // "Microsoft", "Google": for texts
  std::string device_endpoint;
  std::string token_endpoint;
  std::string client_id;
  std::string client_secret;  // empty: none (a public client)
  std::string scopes;         // blank-separated
};

struct OAuthTokens {
  std::string access_token;
  int64_t expires_at = 0;     // seconds since 1970
  std::string refresh_token;  // empty: the provider kept the old one
};

struct DeviceAuthorization {
  std::string device_code;
  std::string user_code;
  std::string verification_uri;
  int64_t expires_at = 0;
  int32_t interval_seconds = 5;
};

// The provider refused the sign-in or the refresh for good
// (access_denied, expired_token, invalid_grant…): "Sign in again to
// <provider>: <what it said>". Nothing may be sent until the user signs in.
class SignInRefused : public core::Exception {
 public:
  using core::Exception::Exception;
};

// Starts the device flow: the code to show and where to enter it.
// Raises SignInRefused for an error answer, EndpointUnreachable
// (https_form_post.h) when there is none, core::Exception for an answer
// that is not what the grant defines.
DeviceAuthorization StartDeviceAuthorization(const OAuthClient& client,
                                             int64_t now);

// One poll of the token endpoint. kPending: ask again after
// `authorization.interval_seconds` (which slow_down raises by 5, as RFC
// 8628 asks); kSignedIn: `tokens` holds them.
enum class DevicePoll { kPending, kSignedIn };
DevicePoll PollDeviceToken(const OAuthClient& client,
                           DeviceAuthorization& authorization, int64_t now,
                           OAuthTokens& tokens);

// A fresh access token for `refresh_token`; a rotated refresh token comes
// back in the result.
OAuthTokens RefreshAccessToken(const OAuthClient& client,
                               const std::string& refresh_token, int64_t now);

// The loopback sign-in's exchange of the authorization code.
OAuthTokens ExchangeAuthorizationCode(const OAuthClient& client,
                                      const std::string& code,
                                      const std::string& code_verifier,
                                      const std::string& redirect_uri,
                                      int64_t now);

}  // namespace replyvane::auth

#endif  // REPLYVANE_AUTH_OAUTH_GRANTS_H_
