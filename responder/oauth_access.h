// The access token a check logs in with: the stored one while it is good
// for another minute, else a fresh one from the refresh token (a rotated
// refresh token is stored before the token is used). Without a stored
// sign-in, or when the provider refuses the refresh for good, raises
// SignInRefused, so that the check ends before anything is sent.
#ifndef REPLYVANE_RESPONDER_OAUTH_ACCESS_H_
#define REPLYVANE_RESPONDER_OAUTH_ACCESS_H_

#include <chrono>
#include <cstdint>
#include <string>

#include "auth/token_store.h"
#include "responder/oauth_settings.h"

namespace replyvane::responder {

inline constexpr int64_t kTokenMarginSeconds = 60;
// How long a check waits for another process's refresh of the same
// sign-in: its token request and secret-store calls are bounded below it.
inline constexpr std::chrono::seconds kRefreshLockWait{90};

std::string CurrentAccessToken(const OAuthSettings& settings, bool smtp,
                               MailboxKind kind, const std::string& user,
                               auth::TokenStore& store, int64_t now);

// Keeps what a sign-in gave for the server and account.
void StoreSignIn(auth::TokenStore& store, bool smtp, const std::string& user,
                 const auth::OAuthTokens& tokens);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_OAUTH_ACCESS_H_
