#include "auth/oauth_grants.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "auth/https_form_post.h"
#include "core/text.h"

namespace replyvane::auth {

namespace {

using nlohmann::json;

constexpr size_t kLongestShownText = 300;

// A provider's text as one plain line of bounded length.
std::string ShownText(const std::string& text) {
  std::string line;
  for (unsigned char c : text) line += c < 0x20 || c == 0x7F ? ' ' : char(c);
  line = core::Trim(line);
  if (core::CutAtCharacter(line, kLongestShownText)) line += "…";
  return line;
}

std::string StringField(const json& object, const char* name) {
  const auto found = object.find(name);
  if (found == object.end() || !found->is_string()) return "";
  return found->get<std::string>();
}

// A number given as a number or as a string of digits; `fallback` else.
int64_t NumberField(const json& object, const char* name, int64_t fallback) {
  const auto found = object.find(name);
  if (found == object.end()) return fallback;
  if (found->is_number_integer()) return found->get<int64_t>();
  if (found->is_string()) {
    return core::ParseInt64(found->get<std::string>()).value_or(fallback);
  }
  return fallback;
}

// A lifetime in seconds, held to at most a year: a server's number is
// added to the clock.
int64_t LifetimeField(const json& object, const char* name, int64_t fallback) {
  constexpr int64_t kLongest = 366 * 24 * 60 * 60;
  return std::clamp<int64_t>(NumberField(object, name, fallback), 0, kLongest);
}

// A token as RFC 6749 allows it: printable ASCII. Anything else would not
// survive the token file nor belong in a log-in.
bool UsableToken(const std::string& token) {
  return std::all_of(token.begin(), token.end(),
                     [](unsigned char c) { return c >= 0x20 && c < 0x7F; });
}

struct Answer {
  long status = 0;
  json object;
  std::string error;  // the "error" code; empty: none
  std::string description;
};

Answer Post(const OAuthClient& client, const std::string& url,
            FormFields fields) {
  fields.emplace_back("client_id", client.client_id);
  if (!client.client_secret.empty()) {
    fields.emplace_back("client_secret", client.client_secret);
  }
  const HttpsAnswer raw = PostForm(url, fields);
  Answer answer;
  answer.status = raw.status;
  answer.object = json::parse(raw.body, nullptr, false);
  if (answer.object.is_discarded() || !answer.object.is_object()) {
    throw core::Exception(core::Format(
        "The sign-in server of %s answered with something that is not "
        "OAuth (HTTP status %ld)",
        client.provider_name.c_str(), raw.status));
  }
  answer.error = ShownText(StringField(answer.object, "error"));
  answer.description =
      ShownText(StringField(answer.object, "error_description"));
  if (answer.error.empty() && raw.status != 200) {
    throw core::Exception(
        core::Format("The sign-in server of %s refused the request (HTTP "
                     "status %ld)",
                     client.provider_name.c_str(), raw.status));
  }
  return answer;
}

std::string Described(const Answer& answer, const std::string& plain) {
  if (!answer.description.empty()) return plain + ": " + answer.description;
  return plain + " (" + answer.error + ")";
}

[[noreturn]] void RefuseSignIn(const OAuthClient& client,
                               const std::string& why) {
  throw SignInRefused("Sign in again to " + client.provider_name + ": " + why);
}

OAuthTokens TokensOf(const OAuthClient& client, const Answer& answer,
                     int64_t now) {
  OAuthTokens tokens;
  tokens.access_token = StringField(answer.object, "access_token");
  tokens.refresh_token = StringField(answer.object, "refresh_token");
  // Without a lifetime the token is taken as good for an hour, the usual.
  tokens.expires_at = now + LifetimeField(answer.object, "expires_in", 3600);
  const std::string type = StringField(answer.object, "token_type");
  if (tokens.access_token.empty() || !UsableToken(tokens.access_token) ||
      !UsableToken(tokens.refresh_token) ||
      (!type.empty() && !core::SameText(type, "Bearer"))) {
    throw core::Exception("The sign-in server of " + client.provider_name +
                          " gave no bearer access token");
  }
  return tokens;
}

}  // namespace

DeviceAuthorization StartDeviceAuthorization(const OAuthClient& client,
                                             int64_t now) {
  const Answer answer =
      Post(client, client.device_endpoint, {{"scope", client.scopes}});
  if (!answer.error.empty()) {
    RefuseSignIn(client, Described(answer, "the sign-in could not start"));
  }
  DeviceAuthorization authorization;
  authorization.device_code = StringField(answer.object, "device_code");
  authorization.user_code = ShownText(StringField(answer.object, "user_code"));
  // Microsoft says verification_url in its older endpoint.
  authorization.verification_uri =
      ShownText(StringField(answer.object, "verification_uri"));
  if (authorization.verification_uri.empty()) {
    authorization.verification_uri =
        ShownText(StringField(answer.object, "verification_url"));
  }
  authorization.expires_at =
      now + LifetimeField(answer.object, "expires_in", 900);
  authorization.interval_seconds = int32_t(
      std::clamp<int64_t>(NumberField(answer.object, "interval", 5), 1, 60));
  if (authorization.device_code.empty() ||
      !UsableToken(authorization.device_code) ||
      authorization.user_code.empty() ||
      !authorization.verification_uri.starts_with("https://")) {
    throw core::Exception("The sign-in server of " + client.provider_name +
                          " gave no code to enter, or no https: page for it");
  }
  return authorization;
}

DevicePoll PollDeviceToken(const OAuthClient& client,
                           DeviceAuthorization& authorization, int64_t now,
                           OAuthTokens& tokens) {
  if (now >= authorization.expires_at) {
    RefuseSignIn(client, "the code expired before it was entered");
  }
  const Answer answer =
      Post(client, client.token_endpoint,
           {{"grant_type", "urn:ietf:params:oauth:grant-type:device_code"},
            {"device_code", authorization.device_code}});
  if (answer.error == "authorization_pending") return DevicePoll::kPending;
  if (answer.error == "slow_down") {
    authorization.interval_seconds =
        std::min(authorization.interval_seconds + 5, 120);
    return DevicePoll::kPending;
  }
  if (answer.error == "expired_token") {
    RefuseSignIn(client, "the code expired before it was entered");
  }
  if (answer.error == "access_denied") {
    RefuseSignIn(client, "the sign-in was declined");
  }
  if (!answer.error.empty()) {
    RefuseSignIn(client, Described(answer, "the sign-in failed"));
  }
  tokens = TokensOf(client, answer, now);
  return DevicePoll::kSignedIn;
}

OAuthTokens RefreshAccessToken(const OAuthClient& client,
                               const std::string& refresh_token, int64_t now) {
  const Answer answer = Post(client, client.token_endpoint,
                             {{"grant_type", "refresh_token"},
                              {"refresh_token", refresh_token},
                              {"scope", client.scopes}});
  if (answer.error == "invalid_grant") {
    RefuseSignIn(client, Described(answer, "the sign-in is no longer valid"));
  }
  if (!answer.error.empty()) {
    throw core::Exception(
        "The sign-in server of " + client.provider_name +
        " gave no access token: " + Described(answer, "refused"));
  }
  return TokensOf(client, answer, now);
}

OAuthTokens ExchangeAuthorizationCode(const OAuthClient& client,
                                      const std::string& code,
                                      const std::string& code_verifier,
                                      const std::string& redirect_uri,
                                      int64_t now) {
  const Answer answer = Post(client, client.token_endpoint,
                             {{"grant_type", "authorization_code"},
                              {"code", code},
                              {"code_verifier", code_verifier},
                              {"redirect_uri", redirect_uri}});
  if (!answer.error.empty()) {
    RefuseSignIn(client, Described(answer, "the sign-in failed"));
  }
  return TokensOf(client, answer, now);
}

}  // namespace replyvane::auth
