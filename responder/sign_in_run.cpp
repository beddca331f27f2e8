#include "responder/sign_in_run.h"

#include <time.h>
#include <unistd.h>

#include "auth/https_form_post.h"
#include "responder/oauth_access.h"
#include "responder/settings_files.h"
#include "responder/unattended_check.h"

namespace replyvane::responder {

namespace {

// One server's sign-in; false (said on `err`) when it failed.
bool SignInServer(const OAuthSettings& oauth, bool smtp, MailboxKind kind,
                  const std::string& user, auth::TokenStore& store,
                  std::ostream& out, std::ostream& err) {
  const auth::OAuthClient client = OAuthClientFor(oauth, smtp, kind);
  const char* server = smtp ? "the SMTP server" : "the mailbox server";
  try {
    auth::DeviceAuthorization authorization =
        auth::StartDeviceAuthorization(client, ::time(nullptr));
    out << "To sign in to " << client.provider_name << " for " << server << " ("
        << user << "), open " << authorization.verification_uri
        << " and enter the code " << authorization.user_code << std::endl;
    auth::OAuthTokens tokens;
    // The provider sets the pace of the asking: waiting out its interval
    // is the only event there is.
    while (auth::PollDeviceToken(client, authorization, ::time(nullptr),
                                 tokens) == auth::DevicePoll::kPending) {
      ::sleep(unsigned(authorization.interval_seconds));
    }
    if (tokens.refresh_token.empty()) {
      err << "replyvane: " << client.provider_name
          << " gave no refresh token: is offline_access among the scopes?"
          << std::endl;
      return false;
    }
    StoreSignIn(store, smtp, user, tokens);
    out << "Signed in to " << client.provider_name << " for " << server << "."
        << std::endl;
    return true;
  } catch (const std::exception& failure) {
    err << "replyvane: " << failure.what() << std::endl;
    return false;
  }
}

}  // namespace

int RunSignIn(const std::string& folder, std::ostream& out, std::ostream& err) {
  std::string folder_path;
  Settings settings;
  if (!ReadSettingsForRun(folder, folder_path, settings, err)) {
    return kExitNoSettings;
  }
  if (!settings.mailbox_oauth.On() && !settings.smtp_oauth.On()) {
    err << "replyvane: no server signs in with OAuth 2.0: choose a provider "
           "in the settings first"
        << std::endl;
    return kExitNoSettings;
  }
  auth::TokenStore store(folder_path);
  bool all = true;
  if (settings.mailbox_oauth.On()) {
    all = SignInServer(settings.mailbox_oauth, false, settings.mailbox.kind,
                       settings.pop3_user, store, out, err) &&
          all;
  }
  if (settings.smtp_oauth.On()) {
    all = SignInServer(settings.smtp_oauth, true, settings.mailbox.kind,
                       settings.smtp_user, store, out, err) &&
          all;
  }
  return all ? kExitCompleted : kExitFailed;
}

}  // namespace replyvane::responder
