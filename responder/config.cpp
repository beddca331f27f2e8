#include "responder/config.h"

#include <algorithm>

#include "core/text.h"
#include "responder/integer_text.h"

namespace replyvane::responder {

namespace {

// The lowest value the port boxes take; their reading of a text that is no
// number.
constexpr int32_t kPortMinimum = 1;

}  // namespace

Settings SettingsFrom(const Config& config) {
  auto port = [](const std::string& text) {
    return ParseSettingInteger(text).value_or(kPortMinimum);
  };
  Settings settings;
  settings.smtp_host = config.smtp_host;
  settings.pop3_host = config.pop3_host;
  settings.pop3_user = config.pop3_user;
  settings.pop3_password = config.pop3_password;
  settings.smtp_user = config.smtp_user;
  settings.smtp_password = config.smtp_password;
  settings.pop3_port = port(config.pop3_port_text);
  settings.smtp_port = port(config.smtp_port_text);
  settings.smtp_authentication = config.authentication == 0
                                     ? mail::AuthenticationType::atNone
                                     : mail::AuthenticationType::atLogin;
  settings.pop3_encryption = config.pop3_encryption;
  settings.smtp_encryption = config.smtp_encryption;
  settings.mailbox = config.mailbox;
  settings.mailbox_oauth = config.mailbox_oauth;
  settings.smtp_oauth = config.smtp_oauth;
  settings.read_timeout_seconds = config.read_timeout_seconds;
  settings.from_name = config.from_name;
  settings.from_address = config.from_address;
  settings.subject = config.subject;
  settings.forward = config.forward;
  settings.forward_address = config.forward_address;
  settings.auto_reply_rules = config.auto_reply_rules;
  settings.fill_placeholders = config.fill_placeholders;
  settings.schedule = config.schedule;
  settings.once_per_sender_days =
      std::clamp(ParseSettingInteger(config.once_per_sender_text).value_or(0),
                 0, kMaxOncePerSenderDays);
  settings.history_days =
      std::clamp(ParseSettingInteger(config.history_days_text)
                     .value_or(kDefaultHistoryDays),
                 1, kMaxHistoryDays);
  if (config.response_lines) {
    settings.response_body = *config.response_lines;
  } else if (config.response_text) {
    settings.response_body = core::SplitLines(*config.response_text);
  }
  if (config.attachment_paths) {
    settings.attachment_paths = *config.attachment_paths;
  }
  settings.response_html = config.response_html.value_or("");
  settings.never_answer =
      config.never_answer.value_or(std::vector<std::string>());
  settings.only_answer =
      config.only_answer.value_or(std::vector<std::string>());
  return settings;
}

}  // namespace replyvane::responder
