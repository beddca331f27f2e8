#include "responder/oauth_access.h"

#include <chrono>
#include <memory>
#include <optional>

namespace replyvane::responder {

std::string CurrentAccessToken(const OAuthSettings& settings, bool smtp,
                               MailboxKind kind, const std::string& user,
                               auth::TokenStore& store, int64_t now) {
  const auth::OAuthClient client = OAuthClientFor(settings, smtp, kind);
  const std::string key = auth::TokenStore::Key(smtp, user);
  std::optional<auth::StoredTokens> stored = store.Load(key);
  if (!stored || stored->refresh_token.empty()) {
    throw auth::SignInRefused(std::string("Sign in to ") +
                              client.provider_name + " for the " +
                              (smtp ? "SMTP" : "mailbox") +
                              " server first (\"Sign in…\" in the settings, or "
                              "replyvane --sign-in)" +
                              (store.SecretStoreProblem().empty()
                                   ? ""
                                   : "; " + store.SecretStoreProblem()) +
                              "; nothing was sent");
  }
  // Written so that a damaged expiry cannot overflow.
  const auto good = [&now](const std::optional<auth::StoredTokens>& tokens) {
    return tokens && !tokens->access_token.empty() &&
           tokens->expires_at > now + kTokenMarginSeconds;
  };
  if (good(stored)) return stored->access_token;
  // The window and an unattended run may both find the token run out: one
  // refreshes at a time, and the other takes what the first got, since a
  // provider that rotates refresh tokens may refuse the old one. A holder
  // that takes longer than the wait is not waited for further.
  const auto asked = std::chrono::steady_clock::now();
  const std::unique_ptr<core::FileLock> lock =
      store.LockForChange(kRefreshLockWait);
  if (lock) {
    now += std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::steady_clock::now() - asked)
               .count();
    std::optional<auth::StoredTokens> again = store.Load(key);
    if (good(again)) return again->access_token;
    if (again && !again->refresh_token.empty()) stored = again;
  }
  auth::OAuthTokens fresh;
  try {
    fresh = auth::RefreshAccessToken(client, stored->refresh_token, now);
  } catch (const auth::SignInRefused& refused) {
    throw auth::SignInRefused(refused.Message() + "; nothing was sent");
  }
  if (!fresh.refresh_token.empty()) stored->refresh_token = fresh.refresh_token;
  stored->access_token = fresh.access_token;
  stored->expires_at = fresh.expires_at;
  store.Save(key, *stored);
  return fresh.access_token;
}

void StoreSignIn(auth::TokenStore& store, bool smtp, const std::string& user,
                 const auth::OAuthTokens& tokens) {
  // After any refresh under way, which would otherwise put the old sign-in
  // back over this one.
  const auto lock = store.LockForChange(kRefreshLockWait);
  store.Save(auth::TokenStore::Key(smtp, user),
             {tokens.refresh_token, tokens.access_token, tokens.expires_at});
}

}  // namespace replyvane::responder
