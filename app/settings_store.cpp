#include "app/settings_store.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <array>
#include <vector>

#include "app/html_response_window.h"
#include "app/local_text.h"
#include "app/mailbox_panel.h"
#include "app/numeric_box.h"
#include "app/responder_settings_window.h"
#include "app/responses_window.h"
#include "app/schedule_panel.h"
#include "app/settings_window.h"
#include "responder/config_files.h"
#include "responder/sender_lists.h"

namespace replyvane::app {

namespace {

static_assert(std::size(responder::kOptionFields) == 9);

// The text boxes of "Options" keys 1 to 9, in key order (as
// responder::kOptionFields).
std::array<QLineEdit*, 9> OptionBoxes(const SettingsWindow& form1) {
  return {form1.Edit5(), form1.Edit1(),     form1.Edit2(),
          form1.Edit3(), form1.SpinEdit1(), form1.Edit4(),
          form1.Edit6(), form1.SpinEdit2(), form1.SpinEdit3()};
}

void SelectAuthentication(QComboBox* box, int32_t index) {
  if (index >= 0 && index < box->count()) {
    box->setCurrentIndex(index);
  } else {
    box->setCurrentIndex(-1);
    box->setEditText(QString());
  }
}

// The item whose text the box shows, or -1: typed text that is no item
// reads back as no selection (and so keeps meaning "log in") rather than as
// the item picked before the typing.
int32_t SelectedAuthentication(const QComboBox* box) {
  return box->findText(box->currentText(),
                       Qt::MatchFixedString | Qt::MatchCaseSensitive);
}

constexpr responder::Server kServers[] = {responder::Server::kPop3,
                                          responder::Server::kSmtp};

// Settings.ini's part of `config` into the controls.
void ShowSettings(const responder::Config& config, SettingsWindow& form1,
                  ResponderSettingsWindow& form2) {
  const std::array<QLineEdit*, 9> boxes = OptionBoxes(form1);
  for (size_t i = 0; i < boxes.size(); ++i) {
    boxes[i]->setText(FromBytes(config.*responder::kOptionFields[i]));
  }
  SelectAuthentication(form1.ComboBox1(), config.authentication);
  for (responder::Server server : kServers) {
    form1.SetEncryption(server, server == responder::Server::kPop3
                                    ? config.pop3_encryption
                                    : config.smtp_encryption);
  }
  form1.SetReadTimeoutSeconds(config.read_timeout_seconds);
  form1.Mailbox()->SetValue(config.mailbox);
  form1.SetOAuth(false, config.mailbox_oauth);
  form1.SetOAuth(true, config.smtp_oauth);
  form2.Edit1()->setText(FromBytes(config.from_name));
  form2.Edit2()->setText(FromBytes(config.from_address));
  form2.Edit3()->setText(FromBytes(config.subject));
  form2.CheckBox1()->setChecked(config.forward);
  form2.Edit4()->setText(FromBytes(config.forward_address));
  form2.AutoReplyRules()->setChecked(config.auto_reply_rules);
  form2.OncePerSender()->setText(FromBytes(config.once_per_sender_text));
  form2.FillPlaceholders()->setChecked(config.fill_placeholders);
  form2.HistoryDays()->setText(FromBytes(config.history_days_text));
  form2.Schedule()->SetValue(config.schedule);
}

// The data files' part of `config` into the controls; a file that is not
// there leaves its control as it is.
void ShowData(const responder::Config& config, ResponderSettingsWindow& form2) {
  if (config.response_text) {
    QString memo = FromBytes(*config.response_text);
    memo.replace("\r\n", "\n");
    if (memo != form2.Memo1Text()) form2.Memo1()->setPlainText(memo);
  }
  if (config.attachment_paths) {
    form2.ListBox1()->clear();
    for (const std::string& entry : *config.attachment_paths) {
      form2.ListBox1()->addItem(FromBytes(entry));
    }
  }
  if (config.response_html) {
    form2.HtmlWindow()->SetHtml(*config.response_html);
  }
  for (const auto& [list, box] :
       {std::pair{&config.never_answer, form2.NeverAnswer()},
        {&config.only_answer, form2.OnlyAnswer()}}) {
    if (!*list) continue;
    QStringList lines;
    for (const std::string& entry : **list) lines << FromBytes(entry);
    box->setPlainText(lines.join('\n'));
  }
}

}  // namespace

responder::Config EditedConfig(const SettingsWindow& form1,
                               const ResponderSettingsWindow& form2) {
  responder::Config config;
  const std::array<QLineEdit*, 9> boxes = OptionBoxes(form1);
  for (size_t i = 0; i < boxes.size(); ++i) {
    config.*responder::kOptionFields[i] = ToBytes(boxes[i]->text());
  }
  config.authentication = SelectedAuthentication(form1.ComboBox1());
  config.pop3_encryption = form1.Encryption(responder::Server::kPop3);
  config.smtp_encryption = form1.Encryption(responder::Server::kSmtp);
  config.read_timeout_seconds = form1.ReadTimeoutSeconds();
  config.mailbox = form1.Mailbox()->Value();
  config.mailbox_oauth = form1.OAuth(false);
  config.smtp_oauth = form1.OAuth(true);
  config.from_name = ToBytes(form2.Edit1()->text());
  config.from_address = ToBytes(form2.Edit2()->text());
  config.subject = ToBytes(form2.Edit3()->text());
  config.forward = form2.CheckBox1()->isChecked();
  config.forward_address = ToBytes(form2.Edit4()->text());
  config.auto_reply_rules = form2.AutoReplyRules()->isChecked();
  // The box's reading of its text is what is stored.
  config.once_per_sender_text = std::to_string(form2.OncePerSender()->Value());
  config.fill_placeholders = form2.FillPlaceholders()->isChecked();
  config.history_days_text = std::to_string(form2.HistoryDays()->Value());
  config.schedule = form2.Schedule()->Value();
  QString memo = form2.Memo1Text();
  memo.replace("\n", "\r\n");
  config.response_text = ToBytes(memo);
  config.response_lines = ToBytes(form2.Memo1Lines());
  std::vector<std::string> entries;
  for (int i = 0; i < form2.ListBox1()->count(); ++i) {
    entries.push_back(ToBytes(form2.ListBox1()->item(i)->text()));
  }
  config.attachment_paths = std::move(entries);
  config.response_html = form2.HtmlWindow()->Html();
  config.never_answer =
      responder::SenderListEntries(ToBytes(form2.NeverAnswer()->toPlainText()));
  config.only_answer =
      responder::SenderListEntries(ToBytes(form2.OnlyAnswer()->toPlainText()));
  return config;
}

SettingsStore::SettingsStore(std::string directory)
    : directory_(std::move(directory)) {
  if (directory_.empty() || directory_.back() != '/') directory_ += '/';
}

std::string SettingsStore::SettingsFileName() const {
  return directory_ + responder::kSettingsFileName;
}
std::string SettingsStore::ResponseFileName() const {
  return directory_ + responder::kResponseFileName;
}
std::string SettingsStore::AttachFileName() const {
  return directory_ + responder::kAttachFileName;
}

void SettingsStore::Load(SettingsWindow& form1,
                         ResponderSettingsWindow& form2) const {
  responder::Config config;
  responder::ReadConfigSettings(directory_, config);
  ShowSettings(config, form1, form2);
  // A data file that cannot be read leaves the settings above shown.
  responder::ReadConfigData(directory_, config);
  ShowData(config, form2);
}

void SettingsStore::Save(const SettingsWindow& form1,
                         const ResponderSettingsWindow& form2) const {
  responder::WriteConfig(directory_, EditedConfig(form1, form2));
  form2.Responses()->SaveEdits();
}

}  // namespace replyvane::app
