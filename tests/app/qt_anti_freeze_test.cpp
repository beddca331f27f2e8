// The Qt anti-freeze keeps timers running while a network read blocks the
// GUI thread.
#include "app/qt_anti_freeze.h"

#include <QCoreApplication>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <thread>

#include "net/tcp_client.h"
#include "tests/support/scripted_server.h"

namespace replyvane::app {

class QtAntiFreezeTest : public QObject {
  Q_OBJECT

 private slots:
  void HandlesPendingEventsWhenAsked() {
    AntiFreeze anti_freeze;
    int fired = 0;
    QTimer::singleShot(0, [&] { ++fired; });
    anti_freeze.ProcessPendingMessages();
    QCOMPARE(fired, 1);
  }

  void KeepsTimersRunningDuringABlockingRead() {
    // The stall runs from the accept; long enough for two slices even when
    // this thread is held up on a busy machine.
    testing::ScriptedServer server(testing::Script()
                                       .Stall(std::chrono::milliseconds(1500))
                                       .SendLine("late"));
    AntiFreeze anti_freeze;
    anti_freeze.SetOnlyWhenIdle(false);
    net::TCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.ConnectToHost();
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    QCOMPARE(QString::fromStdString(client.ReadTextLine()), QString("late"));
    // Slices of 250 ms: the timer is served at least after each of them.
    QVERIFY2(ticks >= 2, qPrintable(QString("ticks: %1").arg(ticks)));
    client.CloseConnection();
  }

  void IsNotUsedFromAnotherThread() {
    AntiFreeze anti_freeze;
    bool used = true;
    std::thread([&] { used = net::AntiFreezeBase::ShouldUse(); }).join();
    QVERIFY(!used);
    QVERIFY(net::AntiFreezeBase::ShouldUse());
  }
};

}  // namespace replyvane::app

QTEST_GUILESS_MAIN(replyvane::app::QtAntiFreezeTest)
#include "qt_anti_freeze_test.moc"
