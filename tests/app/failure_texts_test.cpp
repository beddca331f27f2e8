// What the windows say when a check cannot do its work: the specified text
// in its box, then a line naming the server, its port and what happened.
#include <QtTest>

#include "tests/app/responder_harness.h"
#include "tests/support/failure_cases.h"

namespace replyvane::testing {

class FailureTextsTest : public QObject {
  Q_OBJECT

 private slots:
  void EachFailureSaysWhereAndWhy();
};

void FailureTextsTest::EachFailureSaysWhereAndWhy() {
  for (FailureKind kind : kFailureKinds) {
    FailureSetup failure = MakeFailure(kind);
    Responder responder;
    responder.SetPop3(failure.pop_port);
    responder.Form1().Edit1()->setText(Q(failure.pop_host));
    responder.SetSmtp(failure.smtp_port);
    responder.SetResponse("me@example.com", "Re", "Thanks.");
    responder.Form1().SetReadTimeoutSeconds(1);
    responder.Check();
    QCOMPARE(responder.Boxes().Seen().size(), size_t(1));
    const SeenBox& box = responder.Boxes().Seen()[0];
    // The error dialog shows the text as it is; the failure box ends it
    // with a full stop.
    QCOMPARE(box.name,
             QString(failure.pop_connect ? "ErrorDialog" : "FailureBox"));
    const QString cause = Q(failure.cause) + (failure.pop_connect ? "" : ".");
    QVERIFY2(
        box.text.endsWith(cause),
        qPrintable(QString::fromStdString(failure.name) + ": " + box.text));
  }
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::FailureTextsTest)
#include "failure_texts_test.moc"
