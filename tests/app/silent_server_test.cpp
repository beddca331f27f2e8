// A silent server through the windows: "Check Now" returns after the read
// timeout with a box naming the server and what was awaited, the window
// stays usable, and the next check runs.
#include <QtTest>

#include "tests/app/responder_harness.h"
#include "tests/support/scripted_server.h"
#include "tests/support/silent_servers.h"

namespace replyvane::testing {

class SilentServerTest : public QObject {
  Q_OBJECT

 private slots:
  void TheCheckEndsAfterTheReadTimeout();
};

void SilentServerTest::TheCheckEndsAfterTheReadTimeout() {
  for (SilentCase& silent : SilentCases()) {
    Responder responder;
    ScriptedServer pop(silent.pop);
    ScriptedServer smtp(silent.smtp);
    responder.SetPop3(pop.Port());
    responder.SetSmtp(smtp.Port());
    responder.SetResponse("me@example.com", "Re", "Thanks.");
    responder.Form1().SetReadTimeoutSeconds(1);
    QElapsedTimer clock;
    clock.start();
    responder.Check();
    QVERIFY2(clock.elapsed() < kSilence.count(), silent.name);
    const int port =
        QString(silent.server) == "POP3" ? pop.Port() : smtp.Port();
    const QStringList texts = responder.Boxes().Texts();
    QVERIFY2(!texts.isEmpty(), silent.name);
    QVERIFY2(texts.last().contains(Q(SilenceText(silent, port))),
             qPrintable(texts.join(" | ")));
    QVERIFY(!responder.Main().Checking());
  }
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::SilentServerTest)
#include "silent_server_test.moc"
