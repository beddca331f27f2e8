// The settings window names the folder the settings are read from and saved
// to, on a line of its own below the specified controls.
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/program.h"
#include "app/settings_window.h"

namespace replyvane::app {

class SettingsFolderShownTest : public QObject {
  Q_OBJECT

 private slots:
  void ShowsTheFolderInUseBelowTheControls() {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    Program program(dir.path().toStdString());
    SettingsWindow& form1 = program.Form1();
    QLabel* label = form1.findChild<QLabel*>("SettingsFolder");
    QVERIFY(label != nullptr);
    QCOMPARE(label->text(), "Settings folder: " + folder);
    form1.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form1));
    // Below the lowest control, and inside the window.
    const QRect button = form1.Button1()->geometry();
    QVERIFY(label->geometry().top() >= button.bottom());
    QVERIFY(form1.rect().contains(
        QRect(label->mapTo(&form1, QPoint(0, 0)), label->size())));
  }
};

}  // namespace replyvane::app

QTEST_MAIN(replyvane::app::SettingsFolderShownTest)
#include "settings_folder_shown_test.moc"
