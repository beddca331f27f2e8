#include "responder/oauth_access.h"

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
  if (!stored->access_token.empty() &&
      stored->expires_at > now + kTokenMarginSeconds) {
    return stored->access_token;
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
  store.Save(auth::TokenStore::Key(smtp, user),
             {tokens.refresh_token, tokens.access_token, tokens.expires_at});
}

}  // namespace replyvane::responder
