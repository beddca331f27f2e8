// A second start beside settings a first program already uses: it brings a
// hidden first window to the front and ends quietly, or shows the box and
// ends; a killed first program blocks nothing. The first program is this
// test process (a lock and a listener around a window) or the real program.
#include "app/single_instance.h"

#include <signal.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "app/program.h"
#include "responder/instance_lock.h"
#include "tests/app/box_closer.h"

namespace replyvane::app {

using responder::InstanceLock;

namespace {

// The program built beside this test.
QString ProgramPath() {
  return QCoreApplication::applicationDirPath() + "/../../app/replyvane";
}

// Waits (at most a minute) until a program other than this test holds the
// folder's lock.
bool WaitForProgram(const std::string& folder) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 60000) {
    if (!InstanceLock(folder).Held()) {
      return true;
    }
    QTest::qWait(50);
  }
  return false;
}

}  // namespace

class SingleInstanceTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    folder_ = dir_->path().toStdString() + "/";
  }

  void SecondStartGivesWay_data() {
    QTest::addColumn<QString>("first");  // the first window's state
    QTest::addColumn<bool>("box");
    QTest::newRow("hidden in the tray") << "hidden" << false;
    QTest::newRow("minimized") << "minimized" << false;
    QTest::newRow("in view") << "shown" << true;
  }

  void SecondStartGivesWay() {
    QFETCH(QString, first);
    QFETCH(bool, box);
    InstanceLock lock(folder_);
    QVERIFY(lock.Held());
    QWidget window;
    const InstanceListener listener(folder_, &window);
    QVERIFY(listener.IsListening());
    if (first == "minimized") window.showMinimized();
    if (first == "shown") window.show();

    BoxCloser closer;
    // A start that does not give way runs its window until this ends it.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
      QApplication::closeAllWindows();
      QCoreApplication::quit();
    });
    guard.start(10000);
    QCOMPARE(RunProgram(folder_), 0);  // the real start-up, as a second
    QVERIFY(guard.isActive());
    QVERIFY(window.isVisible());
    QVERIFY(!window.isMinimized());
    if (!box) {
      QCOMPARE(closer.Boxes().size(), 0);
      return;
    }
    QCOMPARE(closer.Boxes().size(), 1);
    const BoxCloser::Box& shown = closer.Boxes()[0];
    QCOMPARE(shown.text,
             QString("Replyvane is already running for these settings."));
    QCOMPARE(shown.title, QString("Replyvane"));
    QCOMPARE(shown.icon, QMessageBox::Information);
    QCOMPARE(shown.buttons, QStringList({"OK"}));
  }

  void NobodyListeningIsNoAnswerInTime() {
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(AskFirstInstanceToShow(folder_, 300),
             FirstInstanceAnswer::kNoAnswer);
    QVERIFY(clock.elapsed() < 3000);
    // Another folder's listener is not asked.
    QTemporaryDir other;
    QWidget window;
    const InstanceListener listener(other.path().toStdString(), &window);
    QCOMPARE(AskFirstInstanceToShow(folder_, 300),
             FirstInstanceAnswer::kNoAnswer);
    QVERIFY(!window.isVisible());
  }

  void RealProgramsBesideOneFolder() {
    if (!QFileInfo::exists(ProgramPath())) QSKIP("no program built");
    QProcess first;
    first.setProgram(ProgramPath());
    first.setArguments({"--settings", QString::fromStdString(folder_)});
    first.start();
    QVERIFY(first.waitForStarted(10000));
    QVERIFY(WaitForProgram(folder_));
    // Its window is in view: a second start says so in the box.
    {
      BoxCloser closer;
      QCOMPARE(GiveWayToFirstInstance(folder_), 0);
      QCOMPARE(closer.Boxes().size(), 1);
      QCOMPARE(closer.Boxes()[0].text,
               QString("Replyvane is already running for these settings."));
    }

    // Killed, it leaves its lock file and its socket: neither blocks.
    ::kill(pid_t(first.processId()), SIGKILL);
    QVERIFY(first.waitForFinished(10000));
    QVERIFY(InstanceLock(folder_).Held());
    QProcess next;
    next.setProgram(ProgramPath());
    next.setArguments(first.arguments());
    next.start();
    QVERIFY(next.waitForStarted(10000));
    QVERIFY(WaitForProgram(folder_));
    QCOMPARE(AskFirstInstanceToShow(folder_, 20000),
             FirstInstanceAnswer::kVisible);
    next.terminate();  // closes as the user would
    QVERIFY(next.waitForFinished(60000));
    QCOMPARE(next.exitStatus(), QProcess::NormalExit);
    QCOMPARE(next.exitCode(), 0);
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::string folder_;
};

}  // namespace replyvane::app

QTEST_MAIN(replyvane::app::SingleInstanceTest)
#include "single_instance_test.moc"
