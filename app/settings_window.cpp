#include "app/settings_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "app/local_text.h"
#include "app/mailbox_panel.h"
#include "app/numeric_box.h"
#include "app/pictures.h"
#include "app/sign_in_window.h"
#include "app/window_helpers.h"
#include "responder/encryption_settings.h"

namespace replyvane::app {

namespace {

constexpr int kContentWidth = 545;
// The specified window's contents, the encryption of each server below
// them, then a line for the settings folder.
constexpr int kSpecifiedHeight = 201;
constexpr int kEncryptionTop = kSpecifiedHeight;
constexpr int kEncryptionHeight = 84;
constexpr int kMailboxTop = kEncryptionTop + kEncryptionHeight;
constexpr int kFolderLineTop = kMailboxTop + MailboxPanel::kHeight;
constexpr int kFolderLineHeight = 20;
constexpr int kContentHeight = kFolderLineTop + kFolderLineHeight;

NumericBox* AddNumericBox(QWidget* parent, const char* name, int x, int y,
                          int width, int min_value, int max_value) {
  auto* box = new NumericBox(parent);
  box->setObjectName(name);
  box->setGeometry(x, y, width, kNumericBoxHeight);
  box->SetMinValue(min_value);
  box->SetMaxValue(max_value);
  return box;
}

// The choice of a server's encryption, in the order of net::TLSMode.
QComboBox* AddModeBox(QWidget* parent, const char* name, int x, int y) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  for (net::TLSMode mode : {net::TLSMode::kNone, net::TLSMode::kStartTLS,
                            net::TLSMode::kImplicit}) {
    box->addItem(responder::TLSModeText(mode));
  }
  box->setGeometry(x, y, 97, kEditHeight);
  return box;
}

constexpr net::TLSMode kModes[] = {net::TLSMode::kNone, net::TLSMode::kStartTLS,
                                   net::TLSMode::kImplicit};

// A new mode, or a new kind of mailbox, proposes its usual port while the
// box holds the usual port of another choice; a port the user chose stays.
void ProposePort(NumericBox* port,
                 const std::function<int32_t(int, net::TLSMode)>& usual,
                 int kind, int old_kind, net::TLSMode mode) {
  const int32_t current = port->Value();
  for (net::TLSMode other : kModes) {
    if ((other != mode || kind != old_kind) &&
        current == usual(old_kind, other)) {
      port->SetValue(usual(kind, mode));
      return;
    }
  }
}

// The usual port of the mailbox server: POP3's or IMAP's (kind 1).
int32_t MailboxPort(int kind, net::TLSMode mode) {
  return responder::UsualMailboxPort(responder::MailboxKind(kind), mode);
}

int32_t SmtpPort(int, net::TLSMode mode) {
  return responder::UsualPort(responder::Server::kSmtp, mode);
}

}  // namespace

SettingsWindow::SettingsWindow() {
  QWidget* content =
      SetUpSettingsWindow(this, "Form1", "Settings", kContentWidth,
                          kContentHeight, ConnectionBackground());
  AddFrame(content, 8, 8, 257, 153);
  AddFrame(content, 272, 8, 265, 153);
  BuildPop3Side(content);
  BuildSmtpSide(content);
  BuildEncryption(content);
  mailbox_ = new MailboxPanel(content);
  mailbox_->setGeometry(8, kMailboxTop, 529, MailboxPanel::kHeight);
  mailbox_->on_kind_chosen = [this](responder::MailboxKind kind) {
    const net::TLSMode mode = pop3_mode_->currentIndex() >= 0
                                  ? net::TLSMode(pop3_mode_->currentIndex())
                                  : net::TLSMode::kNone;
    ProposePort(spin_edit2_, MailboxPort, int(kind), 1 - int(kind), mode);
  };
  button1_ = AddButton(content, "Button1", "Close", 448, 172, 91, 25);
  connect(button1_, &QPushButton::clicked, this, &SettingsWindow::Button1Click);
  // Passwords show as dots unless asked for.
  show_passwords_ = new QCheckBox("Show passwords", content);
  show_passwords_->setObjectName("ShowPasswords");
  show_passwords_->setGeometry(16, 176, 200, 17);
  for (QLineEdit* password : {edit3_, edit6_}) {
    password->setEchoMode(QLineEdit::Password);
  }
  connect(show_passwords_, &QCheckBox::toggled, this, [this](bool shown) {
    for (QLineEdit* password : {edit3_, edit6_}) {
      password->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    }
  });
  CloseOnEscape(this);
  settings_folder_ = new QLabel(content);
  settings_folder_->setObjectName("SettingsFolder");
  settings_folder_->setTextFormat(Qt::PlainText);
  settings_folder_->setGeometry(8, kFolderLineTop, kContentWidth - 16,
                                kFolderLineHeight - 4);
  // Selectable, so the path can be copied.
  settings_folder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  SetTabOrder({edit5_,
               edit1_,
               edit2_,
               edit3_,
               spin_edit1_,
               edit4_,
               edit6_,
               spin_edit2_,
               spin_edit3_,
               button1_,
               combo_box1_,
               pop3_mode_,
               pop3_fingerprint_,
               smtp_mode_,
               smtp_fingerprint_,
               mailbox_->Kind(),
               mailbox_->Folder(),
               mailbox_->AfterAnswering(),
               mailbox_->MoveFolder(),
               mailbox_->AnswerExisting(),
               show_passwords_});
}

void SettingsWindow::BuildPop3Side(QWidget* content) {
  AddLabel(content, "Pop3 Server:", 16, 22);
  edit1_ = AddEdit(content, "Edit1", 88, 20, 161);
  AddLabel(content, "Server Port:", 16, 50);
  spin_edit2_ = AddNumericBox(content, "SpinEdit2", 88, 48, 57, 1, 65535);
  AddLabel(content, "Username:", 16, 79);
  edit2_ = AddEdit(content, "Edit2", 88, 76, 161);
  AddLabel(content, "Password:", 18, 108);
  edit3_ = AddEdit(content, "Edit3", 88, 104, 161);
  AddLabel(content, "Check for new messages every", 12, 136);
  spin_edit1_ = AddNumericBox(content, "SpinEdit1", 176, 132, 33, 1, 120);
  AddLabel(content, "minutes", 216, 136);
}

void SettingsWindow::BuildSmtpSide(QWidget* content) {
  AddLabel(content, "Smtp server:", 289, 24);
  edit5_ = AddEdit(content, "Edit5", 368, 20, 161);
  AddLabel(content, "Server Port:", 289, 52);
  spin_edit3_ = AddNumericBox(content, "SpinEdit3", 369, 48, 57, 1, 65535);
  AddLabel(content, "Authentication:", 289, 81);
  combo_box1_ = new QComboBox(content);
  combo_box1_->setObjectName("ComboBox1");
  combo_box1_->setEditable(true);
  // Typed text stays exactly as typed: no completion, no new list items.
  combo_box1_->setCompleter(nullptr);
  combo_box1_->setInsertPolicy(QComboBox::NoInsert);
  combo_box1_->addItems({"None", "Simple Login"});
  combo_box1_->setGeometry(368, 78, 129, kEditHeight);
  AddLabel(content, "Username:", 289, 107);
  edit4_ = AddEdit(content, "Edit4", 368, 105, 161);
  AddLabel(content, "Password:", 289, 138);
  edit6_ = AddEdit(content, "Edit6", 368, 134, 161);
}

void SettingsWindow::BuildEncryption(QWidget* content) {
  const int top = kEncryptionTop;
  AddFrame(content, 8, top, 257, kEncryptionHeight - 8);
  AddFrame(content, 272, top, 265, kEncryptionHeight - 8);
  AddLabel(content, "Encryption:", 16, top + 10);
  pop3_mode_ = AddModeBox(content, "Pop3Mode", 88, top + 7);
  AddLabel(content, "Trusted certificate (SHA-256 fingerprint):", 16, top + 33);
  pop3_fingerprint_ = AddEdit(content, "Pop3Fingerprint", 16, top + 49, 233);
  AddLabel(content, "Encryption:", 289, top + 10);
  smtp_mode_ = AddModeBox(content, "SmtpMode", 368, top + 7);
  AddLabel(content, "Trusted certificate (SHA-256 fingerprint):", 289,
           top + 33);
  smtp_fingerprint_ = AddEdit(content, "SmtpFingerprint", 289, top + 49, 240);
  connect(pop3_mode_, &QComboBox::activated, this, [this](int index) {
    const int kind = int(mailbox_->Value().kind);
    ProposePort(spin_edit2_, MailboxPort, kind, kind, net::TLSMode(index));
  });
  connect(smtp_mode_, &QComboBox::activated, this, [this](int index) {
    ProposePort(spin_edit3_, SmtpPort, 0, 0, net::TLSMode(index));
  });
}

void SettingsWindow::ShowAndRaise() { app::ShowAndRaise(this); }

void SettingsWindow::SetUpSignIn(const std::string& folder) {
  QWidget* content = show_passwords_->parentWidget();
  for (const bool smtp : {false, true}) {
    auto* window = new SignInWindow(*this, smtp, folder);
    QPushButton* button =
        AddButton(content, smtp ? "SmtpSignInButton" : "MailboxSignInButton",
                  smtp ? "SMTP sign-in…" : "Mailbox sign-in…", smtp ? 336 : 224,
                  172, 105, 25);
    connect(button, &QPushButton::clicked, window,
            [window] { app::ShowAndRaise(window); });
    (smtp ? smtp_sign_in_ : mailbox_sign_in_) = window;
    (smtp ? smtp_sign_in_button_ : mailbox_sign_in_button_) = button;
  }
}

void SettingsWindow::ShowSettingsFolder(const QString& folder) {
  settings_folder_->setText("Settings folder: " + folder);
  settings_folder_->setToolTip(PlainToolTip(folder));
}

responder::ServerEncryption SettingsWindow::Encryption(
    responder::Server server) const {
  const bool pop3 = server == responder::Server::kPop3;
  const QComboBox* mode = pop3 ? pop3_mode_ : smtp_mode_;
  responder::ServerEncryption value;
  if (mode->currentIndex() >= 0) {
    value.mode = static_cast<net::TLSMode>(mode->currentIndex());
  } else {
    value.unknown_mode = pop3 ? pop3_unknown_mode_ : smtp_unknown_mode_;
  }
  value.fingerprint =
      ToBytes((pop3 ? pop3_fingerprint_ : smtp_fingerprint_)->text().trimmed());
  return value;
}

void SettingsWindow::SetEncryption(responder::Server server,
                                   const responder::ServerEncryption& value) {
  const bool pop3 = server == responder::Server::kPop3;
  (pop3 ? pop3_unknown_mode_ : smtp_unknown_mode_) = value.unknown_mode;
  (pop3 ? pop3_mode_ : smtp_mode_)
      ->setCurrentIndex(
          value.unknown_mode.empty() ? static_cast<int>(value.mode) : -1);
  (pop3 ? pop3_fingerprint_ : smtp_fingerprint_)
      ->setText(FromBytes(value.fingerprint));
}

void SettingsWindow::Button1Click() { close(); }

}  // namespace replyvane::app
