// The settings as the user edits and the files keep them: one value that
// the settings windows are filled from and read back into, that the
// settings files are read into and written from (config_files.h), and
// from which the job's settings are made (SettingsFrom). Boxes whose state
// is their text (the numeric boxes, the port boxes) keep their text here,
// so that what was typed is stored as typed; what a text means is decided
// once, in SettingsFrom.
#ifndef REPLYVANE_RESPONDER_CONFIG_H_
#define REPLYVANE_RESPONDER_CONFIG_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "responder/encryption_settings.h"
#include "responder/oauth_settings.h"
#include "responder/settings.h"
#include "responder/timeout_settings.h"

namespace replyvane::responder {

struct Config {
  // [Options] 1 to 9 as texts, 10 as the authentication choice.
  std::string smtp_host;       // 1
  std::string pop3_host;       // 2
  std::string pop3_user;       // 3
  std::string pop3_password;   // 4
  std::string interval_text;   // 5: minutes between automatic checks
  std::string smtp_user;       // 6
  std::string smtp_password;   // 7
  std::string pop3_port_text;  // 8
  std::string smtp_port_text;  // 9
  int32_t authentication = 0;  // 10: 0 "None", else log in; -1 typed
  ServerEncryption pop3_encryption;
  ServerEncryption smtp_encryption;
  MailboxSettings mailbox;      // [Mailbox]
  OAuthSettings mailbox_oauth;  // [OAuth Mailbox]
  OAuthSettings smtp_oauth;     // [OAuth SMTP]
  int32_t read_timeout_seconds = kDefaultReadTimeoutSeconds;

  // [Reponder] 1 to 5.
  std::string from_name;
  std::string from_address;
  std::string subject;
  bool forward = true;
  std::string forward_address;

  // [AutoReplies]
  bool auto_reply_rules = true;
  std::string once_per_sender_text = "0";

  // [Response]
  bool fill_placeholders = false;

  // [History]
  std::string history_days_text = "30";

  // [Schedule]
  Schedule schedule;

  // response.dat (lines ended by CR LF) and attach.dat; nullopt when the
  // file is not there.
  std::optional<std::string> response_text;
  std::optional<std::vector<std::string>> attachment_paths;
  // The response's lines as they are sent (the window's text area wraps
  // long lines); nullopt: the lines of response_text.
  std::optional<std::vector<std::string>> response_lines;
  // response.html (CR LF line ends); nullopt when the file is not there.
  std::optional<std::string> response_html;
  // never-answer.txt and only-answer.txt (sender_lists.h); nullopt when
  // the file is not there.
  std::optional<std::vector<std::string>> never_answer;
  std::optional<std::vector<std::string>> only_answer;
};

// The longest once-per-sender period the settings take, in days.
inline constexpr int32_t kMaxOncePerSenderDays = 3650;

// What the configuration means for the job: a port as the numeric box
// reads its text (1 when it is no number), authentication "None" only for
// the first choice, the once-per-sender days within 0 to
// kMaxOncePerSenderDays (0 when no number).
Settings SettingsFrom(const Config& config);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_CONFIG_H_
