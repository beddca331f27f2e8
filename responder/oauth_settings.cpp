#include "responder/oauth_settings.h"

#include "core/text.h"
#include "responder/ini_file.h"

namespace replyvane::responder {

namespace {

constexpr char kMicrosoftBase[] =
    "https://login.microsoftonline.com/common/oauth2/v2.0/";
constexpr char kOutlookScope[] = "https://outlook.office.com/";

struct Key {
  const char* name;
  std::string OAuthSettings::*field;
};
constexpr Key kKeys[] = {
    {"ClientId", &OAuthSettings::client_id},
    {"ClientSecret", &OAuthSettings::client_secret},
    {"Scopes", &OAuthSettings::scopes},
    {"DeviceEndpoint", &OAuthSettings::device_endpoint},
    {"TokenEndpoint", &OAuthSettings::token_endpoint},
    {"AuthorizationEndpoint", &OAuthSettings::authorization_endpoint},
};

}  // namespace

const char* OAuthProviderText(OAuthProvider provider) {
  switch (provider) {
    case OAuthProvider::kMicrosoft:
      return "Microsoft";
    case OAuthProvider::kGoogle:
      return "Google";
    case OAuthProvider::kOther:
      return "Other";
    case OAuthProvider::kNone:
      break;
  }
  return "";
}

OAuthSettings ReadOAuthSettings(IniFile& ini, const char* section) {
  OAuthSettings settings;
  const std::string provider = ini.ReadString(section, "Provider", "");
  for (OAuthProvider known : {OAuthProvider::kMicrosoft, OAuthProvider::kGoogle,
                              OAuthProvider::kOther}) {
    if (core::SameText(provider, OAuthProviderText(known))) {
      settings.provider = known;
    }
  }
  for (const Key& key : kKeys) {
    settings.*key.field = core::Trim(ini.ReadString(section, key.name, ""));
  }
  return settings;
}

void WriteOAuthSettings(IniFile& ini, const char* section,
                        const OAuthSettings& value) {
  ini.WriteUnlessDefault(section, "Provider", OAuthProviderText(value.provider),
                         "");
  for (const Key& key : kKeys) {
    ini.WriteUnlessDefault(section, key.name, value.*key.field, "");
  }
}

auth::OAuthClient OAuthClientFor(const OAuthSettings& settings, bool smtp,
                                 MailboxKind kind) {
  auth::OAuthClient client;
  client.provider_name = OAuthProviderText(settings.provider);
  client.client_id = settings.client_id;
  client.client_secret = settings.client_secret;
  switch (settings.provider) {
    case OAuthProvider::kMicrosoft:
      client.device_endpoint = std::string(kMicrosoftBase) + "devicecode";
      client.token_endpoint = std::string(kMicrosoftBase) + "token";
      client.scopes = std::string(kOutlookScope) +
                      (smtp                         ? "SMTP.Send"
                       : kind == MailboxKind::kImap ? "IMAP.AccessAsUser.All"
                                                    : "POP.AccessAsUser.All") +
                      " offline_access";
      break;
    case OAuthProvider::kGoogle:
      client.device_endpoint = "https://oauth2.googleapis.com/device/code";
      client.token_endpoint = "https://oauth2.googleapis.com/token";
      client.scopes = "https://mail.google.com/";
      break;
    case OAuthProvider::kOther:
      client.provider_name = "the provider";
      break;
    case OAuthProvider::kNone:
      break;
  }
  if (!settings.device_endpoint.empty()) {
    client.device_endpoint = settings.device_endpoint;
  }
  if (!settings.token_endpoint.empty()) {
    client.token_endpoint = settings.token_endpoint;
  }
  if (!settings.scopes.empty()) client.scopes = settings.scopes;
  return client;
}

}  // namespace replyvane::responder
