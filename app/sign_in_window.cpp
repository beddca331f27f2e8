#include "app/sign_in_window.h"

#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QUrl>

#include "app/local_text.h"
#include "app/mailbox_panel.h"
#include "app/message_boxes.h"
#include "app/pictures.h"
#include "app/settings_window.h"
#include "app/window_helpers.h"
#include "auth/loopback_sign_in.h"
#include "net/responsive_call.h"
#include "responder/oauth_access.h"

namespace replyvane::app {

namespace {

constexpr int kWidth = 460;
constexpr int kHeight = 318;
// How long a browser sign-in may take.
constexpr std::chrono::minutes kBrowserWait{10};

constexpr const char* kMethods[] = {"Password", "OAuth 2.0 (Microsoft)",
                                    "OAuth 2.0 (Google)", "OAuth 2.0 (other)"};

QLineEdit* AddRow(QWidget* parent, const char* label, const char* name, int y) {
  AddLabel(parent, label, 8, y + 4);
  return AddEdit(parent, name, 136, y, kWidth - 144);
}

}  // namespace

SignInWindow::SignInWindow(SettingsWindow& form1, bool smtp, std::string folder)
    : QWidget(&form1, Qt::Window),
      form1_(form1),
      smtp_(smtp),
      folder_(std::move(folder)) {
  QWidget* content =
      SetUpSettingsWindow(this, smtp ? "SmtpSignIn" : "MailboxSignIn",
                          smtp ? "SMTP Sign-in" : "Mailbox Sign-in", kWidth,
                          kHeight, ConnectionBackground());
  AddLabel(content, "Authentication:", 8, 12);
  method_ = new QComboBox(content);
  method_->setObjectName("SignInMethod");
  for (const char* method : kMethods) method_->addItem(method);
  method_->setGeometry(136, 8, kWidth - 144, kEditHeight);
  client_id_ = AddRow(content, "Client ID:", "ClientId", 40);
  client_secret_ = AddRow(content, "Client secret:", "ClientSecret", 68);
  scopes_ = AddRow(content, "Scopes:", "Scopes", 96);
  device_endpoint_ = AddRow(content, "Device endpoint:", "DeviceEndpoint", 124);
  token_endpoint_ = AddRow(content, "Token endpoint:", "TokenEndpoint", 152);
  authorization_endpoint_ =
      AddRow(content, "Authorization endpoint:", "AuthorizationEndpoint", 180);
  status_ = new QLabel(content);
  status_->setObjectName("SignInStatus");
  status_->setTextFormat(Qt::PlainText);
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  status_->setGeometry(8, 210, kWidth - 16, 64);
  sign_in_ = AddButton(content, "SignIn", "Sign in…", 8, kHeight - 33, 91, 25);
  sign_out_ =
      AddButton(content, "SignOut", "Sign out", 106, kHeight - 33, 91, 25);
  QPushButton* close = AddButton(content, "SignInClose", "Close", kWidth - 99,
                                 kHeight - 33, 91, 25);
  open_page = [](const QString& page) {
    QDesktopServices::openUrl(QUrl(page));
  };

  const auto changed = [this] { TakeSettings(); };
  connect(method_, &QComboBox::currentIndexChanged, this, changed);
  for (QLineEdit* box : {client_id_, client_secret_, scopes_, device_endpoint_,
                         token_endpoint_, authorization_endpoint_}) {
    connect(box, &QLineEdit::textChanged, this, changed);
  }
  connect(sign_in_, &QPushButton::clicked, this, &SignInWindow::StartSignIn);
  connect(sign_out_, &QPushButton::clicked, this, [this] {
    stop_ && (*stop_ = true);
    const std::string key = auth::TokenStore::Key(
        smtp_, ToBytes((smtp_ ? form1_.Edit4() : form1_.Edit2())->text()));
    // The desktop's secret store may take seconds; the window is gone
    // meanwhile if it was closed.
    QPointer<SignInWindow> self(this);
    ReportFailures([&, folder = folder_] {
      net::CallResponsively([&] { auth::TokenStore(folder).Forget(key); });
      if (self) status_->setText("Signed out.");
    });
  });
  connect(close, &QPushButton::clicked, this, [this] { this->close(); });
  CloseOnEscape(this);
}

SignInWindow::~SignInWindow() {
  if (stop_) *stop_ = true;
  JoinWorker();
}

void SignInWindow::JoinWorker() {
  if (worker_.joinable()) worker_.join();
}

void SignInWindow::showEvent(QShowEvent* event) {
  ShowSettings();
  QWidget::showEvent(event);
}

void SignInWindow::ShowSettings() {
  const responder::OAuthSettings settings = form1_.OAuth(smtp_);
  // Taken back once, whole, below.
  const QSignalBlocker blocks[] = {QSignalBlocker(method_),
                                   QSignalBlocker(client_id_),
                                   QSignalBlocker(client_secret_),
                                   QSignalBlocker(scopes_),
                                   QSignalBlocker(device_endpoint_),
                                   QSignalBlocker(token_endpoint_),
                                   QSignalBlocker(authorization_endpoint_)};
  method_->setCurrentIndex(int(settings.provider));
  client_id_->setText(FromBytes(settings.client_id));
  client_secret_->setText(FromBytes(settings.client_secret));
  scopes_->setText(FromBytes(settings.scopes));
  device_endpoint_->setText(FromBytes(settings.device_endpoint));
  token_endpoint_->setText(FromBytes(settings.token_endpoint));
  authorization_endpoint_->setText(FromBytes(settings.authorization_endpoint));
  TakeSettings();
}

void SignInWindow::TakeSettings() {
  responder::OAuthSettings settings;
  settings.provider = responder::OAuthProvider(method_->currentIndex());
  settings.client_id = ToBytes(client_id_->text().trimmed());
  settings.client_secret = ToBytes(client_secret_->text().trimmed());
  settings.scopes = ToBytes(scopes_->text().trimmed());
  settings.device_endpoint = ToBytes(device_endpoint_->text().trimmed());
  settings.token_endpoint = ToBytes(token_endpoint_->text().trimmed());
  settings.authorization_endpoint =
      ToBytes(authorization_endpoint_->text().trimmed());
  form1_.SetOAuth(smtp_, settings);
  const bool oauth = settings.On();
  const bool other = settings.provider == responder::OAuthProvider::kOther;
  for (QLineEdit* box : {client_id_, client_secret_, scopes_}) {
    box->setEnabled(oauth);
  }
  for (QLineEdit* box :
       {device_endpoint_, token_endpoint_, authorization_endpoint_}) {
    box->setEnabled(other);
  }
  sign_in_->setEnabled(oauth && !SigningIn());
  sign_out_->setEnabled(oauth);
}

void SignInWindow::StartSignIn() {
  TakeSettings();
  const responder::OAuthSettings settings = form1_.OAuth(smtp_);
  if (!settings.On() || SigningIn()) return;
  const std::string user =
      ToBytes((smtp_ ? form1_.Edit4() : form1_.Edit2())->text());
  const auth::OAuthClient client = responder::OAuthClientFor(
      settings, smtp_, form1_.Mailbox()->Value().kind);
  stop_ = std::make_shared<std::atomic<bool>>(false);
  sign_in_->setEnabled(false);
  QPointer<SignInWindow> self(this);
  const auto report = [self](bool signed_in, QString text) {
    QMetaObject::invokeMethod(
        qApp,
        [self, signed_in, text] {
          if (self) self->Finish(signed_in, text);
        },
        Qt::QueuedConnection);
  };
  const auto show = [self](QString text, QString page) {
    QMetaObject::invokeMethod(
        qApp,
        [self, text, page] {
          if (!self) return;
          self->status_->setText(text);
          if (!page.isEmpty()) self->open_page(page);
        },
        Qt::QueuedConnection);
  };
  const std::string folder = folder_;
  const bool smtp = smtp_;
  std::shared_ptr<std::atomic<bool>> stop = stop_;
  // Google gives the mail scope only to the browser sign-in.
  const bool browser = settings.provider == responder::OAuthProvider::kGoogle ||
                       (settings.provider == responder::OAuthProvider::kOther &&
                        !settings.authorization_endpoint.empty() &&
                        settings.device_endpoint.empty());
  std::string authorization_endpoint =
      settings.provider == responder::OAuthProvider::kGoogle
          ? "https://accounts.google.com/o/oauth2/v2/auth"
          : settings.authorization_endpoint;
  status_->setText("Signing in…");
  worker_ = std::thread([=] {
    try {
      auth::OAuthTokens tokens;
      if (browser) {
        auth::LoopbackSignIn loopback(client, authorization_endpoint);
        show("Sign in to " + FromBytes(client.provider_name) +
                 " in the browser window that opened.",
             FromBytes(loopback.AuthorizationUrl()));
        tokens = loopback.Wait(
            kBrowserWait, [stop] { return bool(*stop); }, ::time(nullptr));
      } else {
        auth::DeviceAuthorization authorization =
            auth::StartDeviceAuthorization(client, ::time(nullptr));
        show(FromBytes("Open " + authorization.verification_uri +
                       " and enter the code " + authorization.user_code),
             FromBytes(authorization.verification_uri));
        while (auth::PollDeviceToken(client, authorization, ::time(nullptr),
                                     tokens) == auth::DevicePoll::kPending) {
          // The provider's interval, in slices the stop can cut short.
          for (int i = 0; i < authorization.interval_seconds * 10; ++i) {
            if (*stop) {
              report(false, "The sign-in was stopped.");
              return;
            }
            ::usleep(100000);
          }
        }
      }
      auth::TokenStore store(folder);
      responder::StoreSignIn(store, smtp, user, tokens);
      report(true, "Signed in to " + FromBytes(client.provider_name) + ".");
    } catch (const std::exception& failure) {
      report(false, FromBytes(failure.what()));
    }
  });
}

void SignInWindow::Finish(bool /*signed_in*/, const QString& text) {
  JoinWorker();
  status_->setText(text);
  TakeSettings();
}

}  // namespace replyvane::app
