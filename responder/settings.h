// The settings the job works with, as one plain value: the POP3 and SMTP
// log-ins, the response and the forward, as the job uses them. Made from a
// Config (config.h: SettingsFrom), which the windows edit and the settings
// files keep; the job asks for it when a check starts and at each message
// of its run.
#ifndef REPLYVANE_RESPONDER_SETTINGS_H_
#define REPLYVANE_RESPONDER_SETTINGS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "mail/smtp.h"
#include "responder/answer_history.h"
#include "responder/encryption_settings.h"
#include "responder/mailbox_settings.h"
#include "responder/oauth_settings.h"
#include "responder/schedule.h"
#include "responder/timeout_settings.h"

namespace replyvane::responder {

struct Settings {
  // The mailbox's kind (POP3 or IMAP); its server is the pop3_* one.
  MailboxSettings mailbox;
  // Sign-in by OAuth 2.0 instead of the passwords (oauth_settings.h).
  OAuthSettings mailbox_oauth;
  OAuthSettings smtp_oauth;
  // The access token the mailbox logs in with, set by the job for each
  // log-in; empty: the password.
  std::string mailbox_access_token;
  std::string pop3_host;
  int32_t pop3_port = 110;
  std::string pop3_user;
  std::string pop3_password;

  std::string smtp_host;
  int32_t smtp_port = 25;
  mail::AuthenticationType smtp_authentication =
      mail::AuthenticationType::atNone;
  std::string smtp_user;
  std::string smtp_password;
  ServerEncryption pop3_encryption;
  ServerEncryption smtp_encryption;

  std::vector<std::string> attachment_paths;  // one part each, in order
  std::vector<std::string> response_body;     // the response's lines
  std::string from_name;     // the display name of From; empty: none
  std::string from_address;  // From and Reply-To
  std::string subject;       // the response's subject
  bool forward = false;
  std::string forward_address;

  // The rules for automatic replies (auto_reply_rules.h); off, the
  // responses are exactly what they were before the rules.
  bool auto_reply_rules = true;
  // Each sender answered at most once in this many days; 0: every message.
  int32_t once_per_sender_days = 0;
  // "{subject}", "{name}" and the others in the subject and the text are
  // filled in from the message answered (placeholders.h).
  bool fill_placeholders = false;
  // When checks answer (schedule.h); not set: always.
  Schedule schedule;
  // The HTML version of the response; empty: plain text only.
  std::string response_html;
  // How long the history keeps its entries (answer_history.h).
  int32_t history_days = kDefaultHistoryDays;
  // Who is answered (sender_lists.h); empty: everyone.
  std::vector<std::string> never_answer;
  std::vector<std::string> only_answer;

  // The longest a server may stay silent while a reply is awaited.
  int32_t read_timeout_seconds = kDefaultReadTimeoutSeconds;
};

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_SETTINGS_H_
