// The encryption settings in the settings window and Settings.ini: keys
// written only once chosen, read back by the window and the unattended
// run, a mode's usual port proposed, and port boxes that reach 65535.
#include "responder/encryption_settings.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/main_window.h"
#include "app/numeric_box.h"
#include "app/program.h"
#include "app/settings_window.h"
#include "responder/settings_files.h"
#include "tests/app/file_helpers.h"
#include "tests/app/responder_harness.h"
#include "tests/support/socket_util.h"

namespace replyvane::app {
namespace {

const char kSettings[] =
    "[Options]\r\n1=smtp.example.org\r\n2=pop.example.org\r\n3=jo\r\n"
    "4=pw\r\n5=15\r\n6=jo@example.org\r\n7=pw\r\n8=110\r\n9=25\r\n10=1\r\n"
    "[Reponder]\r\n1=Jo\r\n2=jo@example.org\r\n3=Re: away\r\n4=0\r\n5=\r\n";
const char kPin[] =
    "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:"
    "AB:CD:EF:01:23:45:67:89";

}  // namespace

class EncryptionSettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void KeysAreWrittenOnlyOnceChosenAndReadBack() {
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/";
    const std::string ini = path + "Settings.ini";
    Put(ini, kSettings);
    {
      Program program(path);
      QCOMPARE(program.Form1().Pop3Mode()->currentText(), QString("None"));
      QVERIFY(program.frmMain().close());
    }
    QCOMPARE(Slurp(ini), std::string(kSettings));
    {
      Program program(path);
      program.Form1().Pop3Mode()->setCurrentIndex(2);
      program.Form1().SmtpMode()->setCurrentIndex(1);
      program.Form1().Pop3Fingerprint()->setText(QString(" ") + kPin);
      QVERIFY(program.frmMain().close());
    }
    QCOMPARE(Slurp(ini), std::string(kSettings) +
                             "[Encryption]\r\nPop3Mode=SSL/TLS\r\n"
                             "Pop3Fingerprint=" +
                             kPin + "\r\nSmtpMode=STARTTLS\r\n");
    const responder::Settings saved = responder::ReadSavedSettings(path);
    QVERIFY(saved.pop3_encryption.mode == net::TLSMode::kImplicit);
    QCOMPARE(saved.pop3_encryption.fingerprint, std::string(kPin));
    QVERIFY(saved.smtp_encryption.mode == net::TLSMode::kStartTLS);
    QCOMPARE(saved.smtp_encryption.fingerprint, std::string());
    {
      Program program(path);
      QCOMPARE(program.Form1().Pop3Mode()->currentText(), QString("SSL/TLS"));
      QCOMPARE(program.Form1().SmtpMode()->currentText(), QString("STARTTLS"));
      QCOMPARE(program.Form1().Pop3Fingerprint()->text(), QString(kPin));
      // Back to the defaults: the keys there say so.
      program.Form1().Pop3Mode()->setCurrentIndex(0);
      program.Form1().SmtpMode()->setCurrentIndex(0);
      program.Form1().Pop3Fingerprint()->clear();
      QVERIFY(program.frmMain().close());
    }
    QCOMPARE(Slurp(ini), std::string(kSettings) +
                             "[Encryption]\r\nPop3Mode=None\r\n"
                             "Pop3Fingerprint=\r\nSmtpMode=None\r\n");
  }

  // A typo in a mode ("SSL-TLS") once sent the password in the clear: the
  // check is refused before any connection, the window and --check alike,
  // and the file keeps what the user wrote until a mode is chosen.
  void AnUnknownModeIsRefusedNotTakenForNone() {
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/";
    const std::string ini = path + "Settings.ini";
    const int listener = testing::ClosedPort();
    std::string settings = kSettings;
    settings.replace(settings.find("2=pop.example.org"), 17,
                     "2=127.0.0.1\r\n8=" + std::to_string(listener));
    const std::string with_typo =
        settings + "[Encryption]\r\nPop3Mode=SSL-TLS\r\n";
    Put(ini, with_typo);
    const char kRefusal[] =
        "Settings.ini: [Encryption] Pop3Mode=SSL-TLS is not one of None, "
        "STARTTLS, SSL/TLS; nothing was sent";
    try {
      responder::RequireKnownMode(
          responder::ReadSavedSettings(path).pop3_encryption,
          responder::Server::kPop3);
      QFAIL("no refusal");
    } catch (const core::Exception& failure) {
      QCOMPARE(failure.Message(), std::string(kRefusal));
    }
    {
      Program program(path);
      QCOMPARE(program.Form1().Pop3Mode()->currentIndex(), -1);
      testing::BoxCloser boxes;
      program.frmMain().Button1()->click();
      QCOMPARE(boxes.Texts(), QStringList({QString(kRefusal) + "."}));
      QVERIFY(program.frmMain().close());
    }
    QCOMPARE(Slurp(ini), with_typo);
  }

  void ChoosingAModeProposesItsUsualPort() {
    struct Row {
      bool pop3;
      const char* port;
      int mode;
      const char* expected;
    } rows[] = {
        {true, "110", 2, "995"},    {true, "995", 0, "110"},
        {true, "995", 1, "110"},    {true, "1110", 2, "1110"},
        {false, "25", 1, "587"},    {false, "25", 2, "465"},
        {false, "587", 2, "465"},   {false, "465", 0, "25"},
        {false, "2525", 2, "2525"}, {false, "587", 1, "587"},
    };
    QTemporaryDir dir;
    Program program(dir.path().toStdString() + "/");
    SettingsWindow& form1 = program.Form1();
    for (const Row& row : rows) {
      NumericBox* port = row.pop3 ? form1.SpinEdit2() : form1.SpinEdit3();
      QComboBox* mode = row.pop3 ? form1.Pop3Mode() : form1.SmtpMode();
      port->setText(row.port);
      mode->setCurrentIndex(row.mode);
      emit mode->activated(row.mode);
      QCOMPARE(port->text(), QString(row.expected));
    }
    // The port boxes take every TCP port.
    for (NumericBox* port : {form1.SpinEdit2(), form1.SpinEdit3()}) {
      port->SetValue(70000);
      QCOMPARE(port->text(), QString("65535"));
      port->SetValue(0);
      QCOMPARE(port->text(), QString("1"));
    }
    QVERIFY(program.frmMain().close());
  }
};

}  // namespace replyvane::app

QTEST_MAIN(replyvane::app::EncryptionSettingsTest)
#include "encryption_settings_test.moc"
