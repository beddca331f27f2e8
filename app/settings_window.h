// The POP3/SMTP settings window (object name "Form1", caption "Settings").
// Its controls are the live store of the server settings: the mailbox check
// and the response run read them when they need them. Shown modeless from the
// settings menu; closing hides it and keeps every value.
#ifndef REPLYVANE_APP_SETTINGS_WINDOW_H_
#define REPLYVANE_APP_SETTINGS_WINDOW_H_

#include <QWidget>

#include "responder/encryption_settings.h"
#include "responder/oauth_settings.h"
#include "responder/timeout_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace replyvane::app {

class SignInWindow;

class MailboxPanel;

class NumericBox;

class SettingsWindow : public QWidget {
  Q_OBJECT

 public:
  SettingsWindow();

  // Makes the window visible and brings it to the front.
  void ShowAndRaise();
  // Shows `folder` as the settings folder in use, below the controls.
  void ShowSettingsFolder(const QString& folder);
  // The "Mailbox sign-in…" and "SMTP sign-in…" buttons and their windows,
  // which keep the tokens in `folder` (ending in "/").
  void SetUpSignIn(const std::string& folder);
  SignInWindow* SignIn(bool smtp) const {
    return smtp ? smtp_sign_in_ : mailbox_sign_in_;
  }
  QPushButton* SignInButton(bool smtp) const {
    return smtp ? smtp_sign_in_button_ : mailbox_sign_in_button_;
  }

  QLineEdit* Edit1() const { return edit1_; }            // POP3 server host
  QLineEdit* Edit2() const { return edit2_; }            // POP3 user name
  QLineEdit* Edit3() const { return edit3_; }            // POP3 password
  QLineEdit* Edit4() const { return edit4_; }            // SMTP user name
  QLineEdit* Edit5() const { return edit5_; }            // SMTP server host
  QLineEdit* Edit6() const { return edit6_; }            // SMTP password
  NumericBox* SpinEdit1() const { return spin_edit1_; }  // check interval
  NumericBox* SpinEdit2() const { return spin_edit2_; }  // POP3 port
  NumericBox* SpinEdit3() const { return spin_edit3_; }  // SMTP port
  QComboBox* ComboBox1() const { return combo_box1_; }   // authentication
  QPushButton* Button1() const { return button1_; }      // "Close"
  // "Show passwords": the two password boxes show dots until it is ticked.
  QCheckBox* ShowPasswords() const { return show_passwords_; }
  QLabel* SettingsFolder() const { return settings_folder_; }
  // Below the specified controls: each server's encryption ("None",
  // "STARTTLS", "SSL/TLS"; choosing one proposes its usual port) and its
  // pinned certificate.
  QComboBox* Pop3Mode() const { return pop3_mode_; }
  QLineEdit* Pop3Fingerprint() const { return pop3_fingerprint_; }
  QComboBox* SmtpMode() const { return smtp_mode_; }
  QLineEdit* SmtpFingerprint() const { return smtp_fingerprint_; }
  // A server's encryption as its two controls show it. A stored mode that
  // names no mode leaves the mode box without a choice and is kept, so
  // that the server is not used until a mode is chosen.
  responder::ServerEncryption Encryption(responder::Server server) const;
  void SetEncryption(responder::Server server,
                     const responder::ServerEncryption& value);
  // Below the encryption: the mailbox's kind and, for IMAP, its folder and
  // what happens to an answered message.
  MailboxPanel* Mailbox() const { return mailbox_; }
  // The OAuth 2.0 sign-in settings of the mailbox's and SMTP's server
  // (responder/oauth_settings.h), kept as read so that saving the window
  // writes them back as they were.
  const responder::OAuthSettings& OAuth(bool smtp) const {
    return smtp ? smtp_oauth_ : mailbox_oauth_;
  }
  void SetOAuth(bool smtp, const responder::OAuthSettings& value) {
    (smtp ? smtp_oauth_ : mailbox_oauth_) = value;
  }
  // Kept in the file without a control: the read timeout in seconds.
  int ReadTimeoutSeconds() const { return read_timeout_seconds_; }
  void SetReadTimeoutSeconds(int value) { read_timeout_seconds_ = value; }

 public slots:
  void Button1Click();

 private:
  void BuildPop3Side(QWidget* content);
  void BuildSmtpSide(QWidget* content);
  void BuildEncryption(QWidget* content);

  QLineEdit* edit1_ = nullptr;
  QLineEdit* edit2_ = nullptr;
  QLineEdit* edit3_ = nullptr;
  QLineEdit* edit4_ = nullptr;
  QLineEdit* edit5_ = nullptr;
  QLineEdit* edit6_ = nullptr;
  NumericBox* spin_edit1_ = nullptr;
  NumericBox* spin_edit2_ = nullptr;
  NumericBox* spin_edit3_ = nullptr;
  QComboBox* combo_box1_ = nullptr;
  QPushButton* button1_ = nullptr;
  QCheckBox* show_passwords_ = nullptr;
  QLabel* settings_folder_ = nullptr;
  QComboBox* pop3_mode_ = nullptr;
  QLineEdit* pop3_fingerprint_ = nullptr;
  QComboBox* smtp_mode_ = nullptr;
  QLineEdit* smtp_fingerprint_ = nullptr;
  MailboxPanel* mailbox_ = nullptr;
  SignInWindow* mailbox_sign_in_ = nullptr;
  SignInWindow* smtp_sign_in_ = nullptr;
  QPushButton* mailbox_sign_in_button_ = nullptr;
  QPushButton* smtp_sign_in_button_ = nullptr;
  responder::OAuthSettings mailbox_oauth_;
  responder::OAuthSettings smtp_oauth_;
  int read_timeout_seconds_ = responder::kDefaultReadTimeoutSeconds;
  std::string pop3_unknown_mode_;
  std::string smtp_unknown_mode_;
};

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_SETTINGS_WINDOW_H_
