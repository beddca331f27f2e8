#include "responder/config_files.h"

#include <iterator>

#include "core/private_file.h"
#include "responder/data_files.h"
#include "responder/ini_file.h"
#include "responder/mailbox_settings.h"
#include "responder/oauth_settings.h"
#include "responder/response_lines.h"
#include "responder/schedule.h"
#include "responder/sender_lists.h"

namespace replyvane::responder {

namespace {

constexpr Server kServers[] = {Server::kPop3, Server::kSmtp};

template <typename C>
auto& EncryptionOf(C& config, Server server) {
  return server == Server::kPop3 ? config.pop3_encryption
                                 : config.smtp_encryption;
}

}  // namespace

void ReadConfigSettings(const std::string& folder, Config& config) {
  IniFile ini(folder + kSettingsFileName);
  for (size_t i = 0; i < std::size(kOptionFields); ++i) {
    config.*kOptionFields[i] =
        ini.ReadString(kOptionsSection, std::to_string(i + 1), "");
  }
  config.authentication = ini.ReadInteger(kOptionsSection, "10", 0);
  for (Server server : kServers) {
    EncryptionOf(config, server) = ReadEncryption(ini, server);
  }
  config.mailbox = ReadMailboxSettings(ini);
  config.mailbox_oauth = ReadOAuthSettings(ini, kMailboxOAuthSection);
  config.smtp_oauth = ReadOAuthSettings(ini, kSmtpOAuthSection);
  config.read_timeout_seconds = ReadTimeoutSeconds(ini);
  config.from_name = ini.ReadString(kResponderSection, "1", "");
  config.from_address = ini.ReadString(kResponderSection, "2", "");
  config.subject = ini.ReadString(kResponderSection, "3", "");
  config.forward = ini.ReadBool(kResponderSection, "4", true);
  config.forward_address = ini.ReadString(kResponderSection, "5", "");
  config.auto_reply_rules =
      ini.ReadBool(kAutoRepliesSection, kFollowRulesKey, true);
  config.once_per_sender_text =
      ini.ReadString(kAutoRepliesSection, kOncePerSenderKey, "0");
  config.fill_placeholders =
      ini.ReadBool(kResponseSection, kPlaceholdersKey, false);
  config.history_days_text =
      ini.ReadString(kHistorySection, kHistoryDaysKey, "30");
  config.schedule = ReadSchedule(ini);
}

void ReadConfigData(const std::string& folder, Config& config) {
  config.response_text = ReadResponseFile(folder + kResponseFileName);
  config.response_lines.reset();
  if (config.response_text) {
    config.response_lines =
        ReadResponseLines(folder + kResponseLinesName, *config.response_text);
  }
  config.attachment_paths = ReadAttachFile(folder + kAttachFileName);
  config.response_html = ReadResponseFile(folder + kResponseHtmlName);
  // The sender lists are lines files of the same form as attach.dat.
  config.never_answer = ReadAttachFile(folder + kNeverAnswerName);
  config.only_answer = ReadAttachFile(folder + kOnlyAnswerName);
}

void WriteConfig(const std::string& folder, const Config& config) {
  const std::string response = config.response_text.value_or("");
  WriteResponseFile(folder + kResponseFileName, response);
  if (config.response_lines) {
    WriteResponseLines(folder + kResponseLinesName, response,
                       *config.response_lines);
  }
  WriteAttachFile(folder + kAttachFileName,
                  config.attachment_paths.value_or(std::vector<std::string>()));

  // A folder that never had an HTML version or the lists gets no files
  // for them.
  if (const std::string path = folder + kResponseHtmlName;
      config.response_html &&
      (!config.response_html->empty() || core::FileExists(path))) {
    WriteResponseFile(path, *config.response_html);
  }
  for (const auto& [name, list] :
       {std::pair{kNeverAnswerName, &config.never_answer},
        {kOnlyAnswerName, &config.only_answer}}) {
    const std::string path = folder + name;
    if (list->has_value() && (!(*list)->empty() || core::FileExists(path))) {
      WriteAttachFile(path, **list);
    }
  }

  IniFile ini(folder + kSettingsFileName);
  for (size_t i = 0; i < std::size(kOptionFields); ++i) {
    ini.WriteString(kOptionsSection, std::to_string(i + 1),
                    config.*kOptionFields[i]);
  }
  ini.WriteInteger(kOptionsSection, "10", config.authentication);
  ini.WriteString(kResponderSection, "1", config.from_name);
  ini.WriteString(kResponderSection, "2", config.from_address);
  ini.WriteString(kResponderSection, "3", config.subject);
  ini.WriteBool(kResponderSection, "4", config.forward);
  ini.WriteString(kResponderSection, "5", config.forward_address);
  // A file that never had them stays as it was: the keys beyond the
  // specified ones are written once they differ from their defaults.
  ini.WriteUnlessDefault(kAutoRepliesSection, kFollowRulesKey,
                         config.auto_reply_rules ? "1" : "0", "1");
  ini.WriteUnlessDefault(kAutoRepliesSection, kOncePerSenderKey,
                         config.once_per_sender_text, "0");
  ini.WriteUnlessDefault(kResponseSection, kPlaceholdersKey,
                         config.fill_placeholders ? "1" : "0", "0");
  ini.WriteUnlessDefault(kHistorySection, kHistoryDaysKey,
                         config.history_days_text, "30");
  for (Server server : kServers) {
    WriteEncryption(ini, server, EncryptionOf(config, server));
  }
  WriteMailboxSettings(ini, config.mailbox);
  WriteOAuthSettings(ini, kMailboxOAuthSection, config.mailbox_oauth);
  WriteOAuthSettings(ini, kSmtpOAuthSection, config.smtp_oauth);
  WriteSchedule(ini, config.schedule);
  ini.UpdateFile();
}

}  // namespace replyvane::responder
