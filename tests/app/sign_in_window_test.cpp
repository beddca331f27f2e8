// The sign-in windows of the settings: the device sign-in against the local
// authorization server shows the code and opens the page, waits out the
// provider while the window stays responsive, and keeps the tokens in
// their own file; Sign out forgets them; the choices are saved in
// Settings.ini's OAuth sections and shown again at the next start; a
// declined sign-in says so. The browser sign-in (as Google's) opens the
// provider's page, takes the browser's redirect to the loopback address
// and keeps the tokens; a declined one says so.
#include "app/sign_in_window.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/program.h"
#include "app/settings_window.h"
#include "tests/app/responder_harness.h"
#include "tests/support/browser_stand_in.h"
#include "tests/support/mail_scripts.h"
#include "tests/support/oauth_server.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_certificates.h"

namespace replyvane::testing {

class SignInWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void DeviceSignInKeepsTheTokensAndTheChoices();
  void BrowserSignInThroughTheLoopbackRedirect();
  void ASlowTokenServerLeavesTheWindowResponsive();
  void init();
  void cleanup();

 private:
  // The provider "other" at the local authorization server, as `client`.
  void UseServer(app::SignInWindow& window, const QString& client) const {
    window.Method()->setCurrentIndex(3);
    window.ClientId()->setText(client);
    window.TokenEndpoint()->setText(Url("/token"));
  }
  QString Url(const std::string& path) const {
    return QString::fromStdString(server_->Url(path));
  }

  std::unique_ptr<TestCertificates> certificates_;
  std::unique_ptr<TrustScope> trust_;
  std::unique_ptr<OAuthServer> server_;
};

// Each test has the local authorization server, trusted by the test CA.
void SignInWindowTest::init() {
  certificates_ = std::make_unique<TestCertificates>();
  trust_ = std::make_unique<TrustScope>(certificates_->CaFile());
  server_ = std::make_unique<OAuthServer>(*certificates_);
  QVERIFY(server_->Start());
}

void SignInWindowTest::cleanup() {
  server_.reset();
  trust_.reset();
  certificates_.reset();
}

void SignInWindowTest::DeviceSignInKeepsTheTokensAndTheChoices() {
  Responder responder;
  responder.Form1().Edit2()->setText("jo@example.com");
  responder.Form1().SignInButton(false)->click();
  app::SignInWindow* window = responder.Form1().SignIn(false);
  QVERIFY(window->isVisible());
  QVERIFY(!window->SignInButton()->isEnabled());  // a password by default
  QStringList opened;
  window->open_page = [&](const QString& page) { opened << page; };
  UseServer(*window, "pending2");
  window->DeviceEndpoint()->setText(Url("/devicecode"));
  window->Scopes()->setText("mail offline_access");
  QVERIFY(window->SignInButton()->isEnabled());
  window->SignInButton()->click();
  QVERIFY(WaitFor(
      [&] { return window->Status()->text().startsWith("Open https://"); },
      10000));
  QCOMPARE(window->Status()->text(),
           QString("Open https://127.0.0.1/device and enter the code "
                   "ABCD-EFGH"));
  QCOMPARE(opened, QStringList{"https://127.0.0.1/device"});
  QVERIFY(WaitFor([&] { return !window->SigningIn(); }, 20000));
  QCOMPARE(window->Status()->text(), QString("Signed in to the provider."));
  const std::string tokens = responder.Dir().File("oauth-tokens.dat");
  QVERIFY(ReadFile(tokens).starts_with("mailbox jo@example.com\tr1\ta1\t"));

  window->SignOutButton()->click();
  QCOMPARE(window->Status()->text(), QString("Signed out."));
  QCOMPARE(ReadFile(tokens), std::string());

  // Signing out while the provider is still asked ends the asking ("slow"
  // makes the next question wait six seconds).
  window->ClientId()->setText("slow");
  window->SignInButton()->click();
  QVERIFY(WaitFor(
      [&] { return window->Status()->text().startsWith("Open https://"); },
      10000));
  window->SignOutButton()->click();
  QVERIFY(WaitFor([&] { return !window->SigningIn(); }, 10000));
  QCOMPARE(window->Status()->text(), QString("The sign-in was stopped."));
  QVERIFY(window->SignInButton()->isEnabled());
  QCOMPARE(ReadFile(tokens), std::string());

  window->ClientId()->setText("denied");
  window->SignInButton()->click();
  QVERIFY(WaitFor([&] { return !window->SigningIn(); }, 20000));
  QVERIFY(WaitFor([&] { return window->Status()->text().contains("declined"); },
                  5000));
  QCOMPARE(window->Status()->text(),
           QString("Sign in again to the provider: the sign-in was declined"));

  QVERIFY(responder.Close());
  const std::string ini = ReadFile(responder.Dir().File("Settings.ini"));
  QVERIFY2(ini.find("[OAuth Mailbox]\r\nProvider=Other\r\nClientId=denied\r\n"
                    "Scopes=mail offline_access\r\n") != std::string::npos,
           ini.c_str());
  QVERIFY(ini.find("[OAuth SMTP]") == std::string::npos);
  app::Program again(responder.Dir().Path());
  again.Form1().SignInButton(false)->click();
  QCOMPARE(again.Form1().SignIn(false)->Method()->currentIndex(), 3);
  QCOMPARE(again.Form1().SignIn(false)->ClientId()->text(), QString("denied"));
}

void SignInWindowTest::BrowserSignInThroughTheLoopbackRedirect() {
  Responder responder;
  responder.Form1().Edit4()->setText("sm@example.com");
  responder.Form1().SignInButton(true)->click();
  app::SignInWindow* window = responder.Form1().SignIn(true);
  QVERIFY(window->isVisible());
  // The browser, as the desktop opens it: on a thread of its own, since
  // the window waits for its redirect.
  std::thread browser;
  std::pair<long, std::string> browsed;
  QString opened;
  window->open_page = [&](const QString& page) {
    opened = page;
    browser = std::thread([&, url = page.toStdString()] {
      browsed = Browse(url, certificates_->CaFile());
    });
  };
  UseServer(*window, "ok");
  window->ClientSecret()->setText("desktop-secret");
  window->AuthorizationEndpoint()->setText(Url("/authorize"));
  window->Scopes()->setText("https://mail.google.com/");
  window->SignInButton()->click();
  QVERIFY(WaitFor([&] { return !window->SigningIn(); }, 30000));
  if (browser.joinable()) browser.join();
  QCOMPARE(window->Status()->text(), QString("Signed in to the provider."));
  QVERIFY2(opened.startsWith(Url("/authorize") + "?"), qPrintable(opened));
  QVERIFY(opened.contains("code_challenge_method=S256"));
  QCOMPARE(browsed.first, 200L);
  QCOMPARE(browsed.second,
           std::string("Replyvane is signed in. You can close this page.\n"));
  const std::string tokens = responder.Dir().File("oauth-tokens.dat");
  QVERIFY2(ReadFile(tokens).starts_with("smtp sm@example.com\tr1\ta1\t"),
           ReadFile(tokens).c_str());
  const std::string exchange = server_->Requests().back();
  QVERIFY(exchange.find("\"grant_type\": \"authorization_code\"") !=
          std::string::npos);
  QVERIFY(exchange.find("\"client_secret\": \"desktop-secret\"") !=
          std::string::npos);

  window->ClientId()->setText("decline");
  window->SignInButton()->click();
  QVERIFY(WaitFor([&] { return !window->SigningIn(); }, 30000));
  if (browser.joinable()) browser.join();
  QVERIFY2(window->Status()->text().contains("declined"),
           qPrintable(window->Status()->text()));
  // The earlier sign-in stays.
  QVERIFY(ReadFile(tokens).starts_with("smtp sm@example.com\tr1\ta1\t"));
}

// The window's check asks the token server off the window's thread: a
// refresh that takes two seconds leaves the window handling its events.
void SignInWindowTest::ASlowTokenServerLeavesTheWindowResponsive() {
  ScriptedServer pop(Pop3TokenCheck("dXNlcj11AWF1dGg9QmVhcmVyIGEyAQE="));
  Responder responder;
  responder.SetPop3(pop.Port());
  responder.Form1().SignInButton(false)->click();
  app::SignInWindow* window = responder.Form1().SignIn(false);
  UseServer(*window, "ok");
  window->close();
  WriteFile(responder.Dir().File("oauth-tokens.dat"), "mailbox u\tlate\t\t0\n");
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(100);
  QElapsedTimer clock;
  clock.start();
  responder.Check();
  QVERIFY(WaitFor([&] { return !responder.Main().Checking(); }, 20000));
  QVERIFY2(pop.Played(), pop.Report().c_str());
  QVERIFY(clock.elapsed() >= 2000);
  // About one tick every 100 ms of the two seconds the server took.
  QVERIFY2(ticks >= 12, qPrintable(QString::number(ticks)));
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::SignInWindowTest)
#include "sign_in_window_test.moc"
