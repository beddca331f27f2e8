// The schedule in the windows: the panel saves an end the user left alone
// byte for byte (and one that is not a time as it was), a user who never
// sets one gets no [Schedule] section, and Automatic Mode over IMAP ends
// by itself when the end passes while it waits on IDLE: the tray icon's
// tooltip and the status bar say so, and mail after the end is not
// answered.
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QSystemTrayIcon>
#include <QtTest>
#include <ctime>
#include <memory>

#include "app/mailbox_panel.h"
#include "app/schedule_panel.h"
#include "app/settings_window.h"
#include "tests/app/responder_harness.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"

namespace replyvane::testing {

class ScheduleWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void ThePanelKeepsWhatTheUserLeftAlone();
  void NoScheduleWritesNoSection();
  void AutomaticModeEndsAtTheEndWhileIdling();
};

void ScheduleWindowTest::ThePanelKeepsWhatTheUserLeftAlone() {
  Responder responder;
  app::SchedulePanel& panel = *responder.Form2().Schedule();
  // Stored in another zone's offset: the same instant keeps its text.
  const responder::Schedule stored{"2026-12-20 08:00 -0500", "tomorrow"};
  panel.SetValue(stored);
  QVERIFY(panel.FromBox()->isChecked());
  QVERIFY(!panel.UntilBox()->isChecked());
  QCOMPARE(panel.From()->dateTime().toSecsSinceEpoch(),
           *responder::ParseScheduleTime(stored.from));
  QCOMPARE(panel.Value().from, stored.from);
  // Not a time: kept, for the check to name, until the user picks one.
  QCOMPARE(panel.Value().until, std::string("tomorrow"));
  panel.UntilBox()->setChecked(true);
  const QDateTime chosen(QDate(2027, 1, 4), QTime(9, 30));
  panel.Until()->setDateTime(chosen);
  QCOMPARE(panel.Value().until,
           responder::ScheduleTimeText(chosen.toSecsSinceEpoch()));
  // A moved start is written in this zone's offset.
  panel.From()->setDateTime(chosen.addDays(-1));
  QCOMPARE(panel.Value().from,
           responder::ScheduleTimeText(chosen.addDays(-1).toSecsSinceEpoch()));
  panel.FromBox()->setChecked(false);
  panel.UntilBox()->setChecked(false);
  QVERIFY(!panel.Value().IsSet());
}

void ScheduleWindowTest::NoScheduleWritesNoSection() {
  Responder responder;
  QVERIFY(responder.Main().ScheduleText().isEmpty());
  QVERIFY(responder.Main().PanelText(3).isEmpty());
  QVERIFY(responder.Close());
  const std::string saved = ReadFile(responder.Dir().File("Settings.ini"));
  QVERIFY2(saved.find("[Schedule]") == std::string::npos, saved.c_str());
  QVERIFY2(saved.find("[Response]") == std::string::npos, saved.c_str());
}

void ScheduleWindowTest::AutomaticModeEndsAtTheEndWhileIdling() {
  const std::string missing =
      DovecotServer::MissingImapReason() + SmtpServer::MissingReason();
  if (!missing.empty()) QSKIP(missing.c_str());
  DovecotServer::Options options;
  options.imap = true;
  std::unique_ptr<DovecotServer> imap = DovecotServer::UnderTmp(options);
  QVERIFY(imap->Start());
  SmtpServer smtp;
  QVERIFY(smtp.Start());
  Responder responder;
  app::MainWindow& main = responder.Main();
  responder.SetImap(imap->Port(), Q(imap->User()), Q(imap->Password()));
  responder.SetSmtp(smtp.Port());
  responder.SetResponse("me@example.com", "Re", "Thanks.");
  const int64_t end = ::time(nullptr) + 5;
  responder.Form2().Schedule()->SetValue(
      {"", responder::ScheduleTimeText(end)});
  QVERIFY(main.ScheduleText().startsWith("Answering until "));
  QVERIFY(main.PanelText(3).startsWith("Answering until"));
  // Only IDLE or the end can end a wait of 30 s.
  main.SetMillisecondsPerMinute(30000);
  responder.Form1().SpinEdit1()->setText("1");
  main.Button2()->click();
  QTimer::singleShot(0, &main, [&] { main.Timer1Timer(); });
  QVERIFY(WaitFor(
      [&] { return !main.Timer1()->Enabled() && ::time(nullptr) >= end; },
      15000));
  QVERIFY2(::time(nullptr) - end < 5,
           qPrintable(QString::number(::time(nullptr) - end)));
  QVERIFY2(main.TrayIcon1()->toolTip().startsWith(
               "Automatic Mode ended: Outside the schedule (until "),
           qPrintable(main.TrayIcon1()->toolTip()));
  QVERIFY2(main.ScheduleText().startsWith("Outside the schedule (until "),
           qPrintable(main.ScheduleText()));

  // Past the end nothing is answered, by the timer or by "Check Now".
  imap->AddMessage("From: ann@example.com\r\nSubject: late\r\n\r\nHi.\r\n");
  QTest::qWait(1500);
  responder.Check();
  QVERIFY(main.PanelText(1).startsWith("Outside the schedule (until "));
  QCOMPARE(smtp.MessageCount(), size_t(0));
  QVERIFY(!main.Timer1()->Enabled());
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::ScheduleWindowTest)
#include "schedule_window_test.moc"
