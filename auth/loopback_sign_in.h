// The browser sign-in (Google's way for installed programs): the
// authorization code flow with PKCE (RFC 7636) and a redirect to a
// loopback address on a port chosen at run time (RFC 8252). The program
// listens on 127.0.0.1 only, takes one redirect whose `state` is the one
// it sent (others get a plain refusal page and are ignored), answers the
// browser with a plain-text page, and exchanges the code with its
// verifier. Qt-free: the window opens the address in the browser and
// waits through Wait's `stop`.
#ifndef REPLYVANE_AUTH_LOOPBACK_SIGN_IN_H_
#define REPLYVANE_AUTH_LOOPBACK_SIGN_IN_H_

#include <chrono>
#include <functional>
#include <string>

#include "auth/oauth_grants.h"

namespace replyvane::auth {

// A verifier of 43 characters from 32 random bytes, and its S256
// challenge.
struct Pkce {
  std::string verifier;
  std::string challenge;
};
Pkce MakePkce();
std::string S256Challenge(const std::string& verifier);
// base64url without padding.
std::string Base64Url(const std::string& bytes);

class LoopbackSignIn {
 public:
  // Listens on 127.0.0.1 at a free port; raises core::Exception when it
  // cannot.
  LoopbackSignIn(OAuthClient client, std::string authorization_endpoint);
  ~LoopbackSignIn();
  LoopbackSignIn(const LoopbackSignIn&) = delete;
  LoopbackSignIn& operator=(const LoopbackSignIn&) = delete;

  // "http://127.0.0.1:<port>/".
  const std::string& RedirectUri() const { return redirect_uri_; }
  // The page to open in the browser.
  std::string AuthorizationUrl() const;

  // Waits up to `limit` (asking `stop` about five times a second) for the
  // browser's redirect, then exchanges the code. Raises SignInRefused when
  // the user declined or the wait ended, and what the exchange raises.
  OAuthTokens Wait(std::chrono::milliseconds limit,
                   const std::function<bool()>& stop, int64_t now);

 private:
  // One request from the browser: the code when it is the redirect with
  // our state; empty else (refused ones raise).
  std::string Serve(int connection);

  OAuthClient client_;
  std::string authorization_endpoint_;
  Pkce pkce_;
  std::string state_;
  int listener_ = -1;
  std::string redirect_uri_;
};

}  // namespace replyvane::auth

#endif  // REPLYVANE_AUTH_LOOPBACK_SIGN_IN_H_
