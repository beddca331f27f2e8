// Every failure of a user action ends in the failure box, never in an abort:
// failures of any class, raised in an action run by ReportFailures and in a
// slot that nothing wraps (Application catches those).
#include <QTimer>
#include <QtTest>
#include <functional>
#include <new>
#include <stdexcept>
#include <system_error>

#include "app/application.h"
#include "app/message_boxes.h"
#include "core/exception.h"
#include "tests/app/box_closer.h"

namespace replyvane::app {

class FailureBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void EveryFailureIsShownInTheFailureBox();
};

void FailureBoxTest::EveryFailureIsShownInTheFailureBox() {
  const std::system_error no_thread(
      std::make_error_code(std::errc::resource_unavailable_try_again),
      "thread");
  struct Row {
    const char* name;
    std::function<void()> raise;
    QString text;
  };
  const Row rows[] = {
      {"out of memory", [] { throw std::bad_alloc(); }, "Out of memory."},
      {"no thread", [&] { throw no_thread; },
       QString::fromLocal8Bit(no_thread.what()) + "."},
      {"failure of the program",
       [] { throw core::Exception("Connection Closed Gracefully."); },
       "Connection Closed Gracefully."},
      {"other standard exception", [] { throw std::logic_error("broken"); },
       "broken."},
      {"not an exception class", [] { throw 7; }, "Unknown failure."},
  };
  for (const Row& row : rows) {
    {
      BoxCloser closer;
      QVERIFY2(!ReportFailures(row.raise), row.name);
      QCOMPARE(closer.Boxes().size(), 1);
      QCOMPARE(closer.Boxes()[0].object_name, QString("FailureBox"));
      QCOMPARE(closer.Boxes()[0].text, row.text);
    }
    {
      BoxCloser closer;
      QTimer timer;
      timer.setSingleShot(true);
      QObject::connect(&timer, &QTimer::timeout, row.raise);
      timer.start(0);
      QTRY_COMPARE_WITH_TIMEOUT(closer.Boxes().size(), 1, 10000);
      QCOMPARE(closer.Boxes()[0].object_name, QString("FailureBox"));
      QCOMPARE(closer.Boxes()[0].text, row.text);
    }
  }
}

}  // namespace replyvane::app

int main(int argc, char** argv) {
  replyvane::app::Application application(argc, argv);
  replyvane::app::FailureBoxTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "failure_box_test.moc"
