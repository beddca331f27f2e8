#include "app/settings_store.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTextEdit>
#include <algorithm>
#include <vector>

#include "app/local_text.h"
#include "app/numeric_box.h"
#include "app/responder_settings_window.h"
#include "app/settings_window.h"
#include "responder/data_files.h"
#include "responder/encryption_settings.h"
#include "responder/ini_file.h"
#include "responder/response_lines.h"
#include "responder/settings_files.h"
#include "responder/timeout_settings.h"

namespace replyvane::app {

namespace {

using responder::IniFile;
using responder::ReadAttachFile;
using responder::ReadResponseFile;
using responder::WriteAttachFile;
using responder::WriteResponseFile;

constexpr char kOptions[] = "Options";
constexpr char kResponder[] = "Reponder";

// The text boxes of "Options" keys 1 to 9, in key order.
std::vector<QLineEdit*> OptionBoxes(const SettingsWindow& form1) {
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

}  // namespace

SettingsStore::SettingsStore(std::string directory)
    : directory_(std::move(directory)) {
  if (directory_.empty() || directory_.back() != '/') directory_ += '/';
}

std::string SettingsStore::SettingsFileName() const {
  return directory_ + "Settings.ini";
}
std::string SettingsStore::ResponseFileName() const {
  return directory_ + "response.dat";
}
std::string SettingsStore::AttachFileName() const {
  return directory_ + "attach.dat";
}

void SettingsStore::Load(SettingsWindow& form1,
                         ResponderSettingsWindow& form2) const {
  {
    IniFile ini(SettingsFileName());
    std::vector<QLineEdit*> options = OptionBoxes(form1);
    for (size_t i = 0; i < options.size(); ++i) {
      options[i]->setText(
          FromBytes(ini.ReadString(kOptions, std::to_string(i + 1), "")));
    }
    SelectAuthentication(form1.ComboBox1(), ini.ReadInteger(kOptions, "10", 0));
    for (responder::Server server : kServers) {
      form1.SetEncryption(server, responder::ReadEncryption(ini, server));
    }
    form1.SetReadTimeoutSeconds(responder::ReadTimeoutSeconds(ini));
    auto text = [&](const char* key) {
      return FromBytes(ini.ReadString(kResponder, key, ""));
    };
    form2.Edit1()->setText(text("1"));
    form2.Edit2()->setText(text("2"));
    form2.Edit3()->setText(text("3"));
    form2.CheckBox1()->setChecked(ini.ReadBool(kResponder, "4", true));
    form2.Edit4()->setText(text("5"));
    form2.AutoReplyRules()->setChecked(ini.ReadBool(
        responder::kAutoRepliesSection, responder::kFollowRulesKey, true));
    form2.OncePerSender()->setText(FromBytes(ini.ReadString(
        responder::kAutoRepliesSection, responder::kOncePerSenderKey, "0")));
  }
  if (auto text = ReadResponseFile(ResponseFileName())) {
    QString memo = FromBytes(*text);
    memo.replace("\r\n", "\n");
    if (memo != form2.Memo1Text()) form2.Memo1()->setPlainText(memo);
  }
  if (auto entries = ReadAttachFile(AttachFileName())) {
    form2.ListBox1()->clear();
    for (const std::string& entry : *entries) {
      form2.ListBox1()->addItem(FromBytes(entry));
    }
  }
}

void SettingsStore::Save(const SettingsWindow& form1,
                         const ResponderSettingsWindow& form2) const {
  QString memo = form2.Memo1Text();
  memo.replace("\n", "\r\n");
  const std::string response = ToBytes(memo);
  WriteResponseFile(ResponseFileName(), response);
  // The lines as the text area wraps them, for the unattended check.
  responder::WriteResponseLines(directory_ + responder::kResponseLinesName,
                                response, ToBytes(form2.Memo1Lines()));

  std::vector<std::string> entries;
  for (int i = 0; i < form2.ListBox1()->count(); ++i) {
    entries.push_back(ToBytes(form2.ListBox1()->item(i)->text()));
  }
  WriteAttachFile(AttachFileName(), entries);

  IniFile ini(SettingsFileName());
  std::vector<QLineEdit*> options = OptionBoxes(form1);
  for (size_t i = 0; i < options.size(); ++i) {
    ini.WriteString(kOptions, std::to_string(i + 1),
                    ToBytes(options[i]->text()));
  }
  ini.WriteInteger(kOptions, "10", SelectedAuthentication(form1.ComboBox1()));
  auto text = [&](const char* key, const QLineEdit* box) {
    ini.WriteString(kResponder, key, ToBytes(box->text()));
  };
  text("1", form2.Edit1());
  text("2", form2.Edit2());
  text("3", form2.Edit3());
  ini.WriteBool(kResponder, "4", form2.CheckBox1()->isChecked());
  text("5", form2.Edit4());
  // A file that never had them stays as it was: the keys of the automatic-
  // reply rules are written once they differ from their defaults.
  auto unless_default = [&](const char* key, const std::string& value,
                            const std::string& default_value) {
    const bool present =
        ini.ReadString(responder::kAutoRepliesSection, key, "\x01") != "\x01";
    if (present || value != default_value) {
      ini.WriteString(responder::kAutoRepliesSection, key, value);
    }
  };
  unless_default(responder::kFollowRulesKey,
                 form2.AutoReplyRules()->isChecked() ? "1" : "0", "1");
  unless_default(responder::kOncePerSenderKey,
                 std::to_string(form2.OncePerSender()->Value()), "0");
  for (responder::Server server : kServers) {
    responder::WriteEncryption(ini, server, form1.Encryption(server));
  }
  ini.UpdateFile();
}

}  // namespace replyvane::app
