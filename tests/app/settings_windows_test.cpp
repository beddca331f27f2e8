// What a newcomer trusts in the two settings windows: passwords show as
// dots unless "Show passwords" is ticked, and both windows close with
// their Close button and with Escape.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/program.h"
#include "app/responder_settings_window.h"
#include "app/settings_window.h"

namespace replyvane::app {

class SettingsWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void PasswordsShowAsDotsUntilAskedFor() {
    QTemporaryDir dir;
    Program program(dir.path().toStdString() + "/");
    SettingsWindow& form1 = program.Form1();
    for (QLineEdit* password : {form1.Edit3(), form1.Edit6()}) {
      QCOMPARE(password->echoMode(), QLineEdit::Password);
    }
    form1.ShowPasswords()->setChecked(true);
    for (QLineEdit* password : {form1.Edit3(), form1.Edit6()}) {
      QCOMPARE(password->echoMode(), QLineEdit::Normal);
    }
    form1.ShowPasswords()->setChecked(false);
    QCOMPARE(form1.Edit6()->echoMode(), QLineEdit::Password);
    // The other boxes show their text.
    QCOMPARE(form1.Edit2()->echoMode(), QLineEdit::Normal);
  }

  void BothWindowsCloseWithCloseAndEscape() {
    QTemporaryDir dir;
    Program program(dir.path().toStdString() + "/");
    for (QWidget* window : {static_cast<QWidget*>(&program.Form1()),
                            static_cast<QWidget*>(&program.Form2())}) {
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(window));
      window->activateWindow();
      QTest::keyClick(window, Qt::Key_Escape);
      QTRY_VERIFY(!window->isVisible());
    }
    program.Form2().show();
    program.Form2().CloseButton()->click();
    QVERIFY(!program.Form2().isVisible());
    program.Form1().show();
    program.Form1().Button1()->click();
    QVERIFY(!program.Form1().isVisible());
  }
};

}  // namespace replyvane::app

QTEST_MAIN(replyvane::app::SettingsWindowsTest)
#include "settings_windows_test.moc"
