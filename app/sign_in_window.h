// "Sign-in" of one server (the mailbox's or SMTP's): a password (the
// settings window's) or OAuth 2.0 with Microsoft, Google or another
// provider, its client ID (and Google's client secret), and "Sign in…":
// Microsoft and other providers by the device sign-in (the code shown, the
// page opened in the browser, the provider asked at its interval), Google
// by the browser sign-in with a loopback redirect. The network waits run
// on a thread of their own, so the window stays responsive; "Sign out"
// forgets the tokens. What the provider says is shown as plain text.
#ifndef REPLYVANE_APP_SIGN_IN_WINDOW_H_
#define REPLYVANE_APP_SIGN_IN_WINDOW_H_

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "responder/oauth_settings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace replyvane::app {

class SettingsWindow;

class SignInWindow : public QWidget {
  Q_OBJECT

 public:
  SignInWindow(SettingsWindow& form1, bool smtp, std::string folder);
  ~SignInWindow() override;

  QComboBox* Method() const { return method_; }
  QLineEdit* ClientId() const { return client_id_; }
  QLineEdit* ClientSecret() const { return client_secret_; }
  QLineEdit* Scopes() const { return scopes_; }
  QLineEdit* DeviceEndpoint() const { return device_endpoint_; }
  QLineEdit* TokenEndpoint() const { return token_endpoint_; }
  QLineEdit* AuthorizationEndpoint() const { return authorization_endpoint_; }
  QLabel* Status() const { return status_; }
  QPushButton* SignInButton() const { return sign_in_; }
  QPushButton* SignOutButton() const { return sign_out_; }
  // True while a sign-in waits for the user.
  bool SigningIn() const { return worker_.joinable(); }

  // Opens a page in the browser; QDesktopServices by default.
  std::function<void(const QString&)> open_page;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowSettings();
  void TakeSettings();
  void StartSignIn();
  void Finish(bool signed_in, const QString& text);
  void JoinWorker();

  SettingsWindow& form1_;
  bool smtp_;
  std::string folder_;
  QComboBox* method_ = nullptr;
  QLineEdit* client_id_ = nullptr;
  QLineEdit* client_secret_ = nullptr;
  QLineEdit* scopes_ = nullptr;
  QLineEdit* device_endpoint_ = nullptr;
  QLineEdit* token_endpoint_ = nullptr;
  QLineEdit* authorization_endpoint_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* sign_in_ = nullptr;
  QPushButton* sign_out_ = nullptr;
  std::thread worker_;
  std::shared_ptr<std::atomic<bool>> stop_;
};

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_SIGN_IN_WINDOW_H_
