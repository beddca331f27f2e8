// The History window over history.dat: newest first, sorted by a column,
// filtered by a text, hostile texts shown as typed, exported to a CSV file
// that a standard CSV reader reads back; the days it keeps are a setting
// written only when changed; and a "Check Now" adds the rows it dealt with.
#include "app/history_window.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>
#include <filesystem>
#include <string>

#include "app/history_model.h"
#include "app/numeric_box.h"
#include "app/program.h"
#include "responder/answer_history.h"
#include "tests/app/responder_harness.h"
#include "tests/support/decoded_message.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"

namespace replyvane::testing {

using responder::HistoryEntry;

class HistoryWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void ShowsSortsFiltersAndExports();
  void KeepDaysIsASettingWrittenOnlyWhenChanged();
  void ACheckAddsItsMessages();
};

namespace {

HistoryEntry Entry(int64_t at, const std::string& address,
                   const std::string& subject) {
  HistoryEntry entry;
  entry.at = at;
  entry.sender_address = address;
  entry.subject = subject;
  return entry;
}

QString Shown(const app::HistoryWindow& window, int row, int column) {
  return window.Model()
      ->data(window.Model()->index(row, column), Qt::DisplayRole)
      .toString();
}

}  // namespace

void HistoryWindowTest::ShowsSortsFiltersAndExports() {
  Responder responder;
  const int64_t now = ::time(nullptr);
  responder::AnswerHistory history(responder.Dir().File("history.dat"));
  HistoryEntry ann = Entry(now - 300, "ann@example.com", "=HYPERLINK(\"x\")");
  ann.sender_name = "Ann";
  ann.response = "Billing";
  ann.forwarded = true;
  QCOMPARE(history.Append(ann), std::string());
  HistoryEntry bob = Entry(now - 200, "bob@example.com", "<b>bold</b>, \"q\"");
  bob.outcome = HistoryEntry::Outcome::kNotAnswered;
  bob.why_not = "mailing list";
  QCOMPARE(history.Append(bob), std::string());
  QCOMPARE(history.Append(Entry(now - 100, "carl@example.com", "Zebra")),
           std::string());

  responder.Main().History1()->trigger();
  app::HistoryWindow* window = responder.Main().History();
  QVERIFY(window != nullptr && window->isVisible());
  QCOMPARE(window->Model()->rowCount(), 3);
  QCOMPARE(window->CountText()->text(), QString("3 entries"));
  // Newest first.
  QCOMPARE(Shown(*window, 0, app::HistoryModel::kSender),
           QString("carl@example.com"));
  QCOMPARE(Shown(*window, 0, app::HistoryModel::kResponse),
           QString("(default)"));
  QCOMPARE(Shown(*window, 1, app::HistoryModel::kResult),
           QString("Not answered: mailing list"));
  QCOMPARE(Shown(*window, 1, app::HistoryModel::kResponse), QString());
  QCOMPARE(Shown(*window, 2, app::HistoryModel::kSender),
           QString("Ann <ann@example.com>"));
  QCOMPARE(Shown(*window, 2, app::HistoryModel::kForwarded), QString("yes"));
  // Markup is text: the tool tip escapes it.
  const QString tip = window->Model()
                          ->data(window->Model()->index(1, 2), Qt::ToolTipRole)
                          .toString();
  QVERIFY2(tip.contains("&lt;b&gt;bold&lt;/b&gt;"), qPrintable(tip));

  window->Table()->sortByColumn(app::HistoryModel::kSubject,
                                Qt::AscendingOrder);
  QCOMPARE(Shown(*window, 0, app::HistoryModel::kSubject),
           QString("<b>bold</b>, \"q\""));
  QCOMPARE(Shown(*window, 2, app::HistoryModel::kSubject), QString("Zebra"));

  window->Filter()->setText("BILLING");
  QCOMPARE(window->Model()->rowCount(), 1);
  QCOMPARE(window->CountText()->text(), QString("1 of 3 entries"));
  window->Filter()->setText("example.com");
  QCOMPARE(window->Model()->rowCount(), 3);

  // The export, read back by Python's csv module: every field as shown,
  // the formula made text.
  const std::string csv = responder.Dir().File("out.csv");
  window->ExportCsv(csv);
  const std::string read =
      DecodedByPython(responder.Dir(), ReadFile(csv), "csv_rows.py");
  QCOMPARE(QString::fromStdString(read),
           QString("Date|Sender|Subject|Response|Forwarded|Result\n"
                   "%1|bob@example.com|<b>bold</b>, \"q\"|||Not answered: "
                   "mailing list\n"
                   "%2|Ann <ann@example.com>|'=HYPERLINK(\"x\")|Billing|yes|"
                   "Answered\n"
                   "%3|carl@example.com|Zebra|(default)||Answered\n")
               .arg(Shown(*window, 0, 0), Shown(*window, 1, 0),
                    Shown(*window, 2, 0)));

  // Opened again, it reads the file afresh and keeps the sort and filter.
  window->close();
  QCOMPARE(history.Append(Entry(now, "dora@example.com", "(first)")),
           std::string());
  responder.Main().History1()->trigger();
  QCOMPARE(window->Model()->rowCount(), 4);
  QCOMPARE(Shown(*window, 0, app::HistoryModel::kSubject), QString("(first)"));
}

void HistoryWindowTest::KeepDaysIsASettingWrittenOnlyWhenChanged() {
  Responder untouched;
  QCOMPARE(untouched.Form2().HistoryDays()->Value(), 30);
  QVERIFY(untouched.Close());
  QVERIFY(ReadFile(untouched.Dir().File("Settings.ini")).find("[History]") ==
          std::string::npos);

  Responder responder;
  responder.Form2().HistoryDays()->setText("90");
  QVERIFY(responder.Close());
  const std::string ini = ReadFile(responder.Dir().File("Settings.ini"));
  QVERIFY2(ini.find("[History]\r\nKeepDays=90\r\n") != std::string::npos,
           ini.c_str());
  app::Program again(responder.Dir().Path());
  QCOMPARE(again.Form2().HistoryDays()->Value(), 90);
}

void HistoryWindowTest::ACheckAddsItsMessages() {
  const std::string missing =
      DovecotServer::MissingReason() + SmtpServer::MissingReason();
  if (!missing.empty()) QSKIP(missing.c_str());
  DovecotServer pop;
  SmtpServer smtp;
  pop.AddMessage("From: Ann <ann@example.com>\r\nSubject: one\r\n\r\nHi.\r\n");
  pop.AddMessage(
      "From: list@example.com\r\nSubject: two\r\nList-Id: <l.example>\r\n"
      "\r\nHi.\r\n");
  QVERIFY(pop.Start());
  QVERIFY(smtp.Start());
  Responder responder;
  responder.SetPop3(pop.Port(), Q(pop.User()), Q(pop.Password()));
  responder.SetSmtp(smtp.Port());
  responder.SetResponse("me@example.com", "Re", "Thanks.");
  responder.Check();
  QVERIFY(WaitFor([&] { return pop.MessageCount() == 0; }, 20000));
  responder.Main().History1()->trigger();
  app::HistoryWindow* window = responder.Main().History();
  QVERIFY(WaitFor(
      [&] {
        window->Reload();
        return window->Model()->rowCount() == 2;
      },
      10000));
  window->Table()->sortByColumn(app::HistoryModel::kSubject,
                                Qt::AscendingOrder);
  QCOMPARE(Shown(*window, 0, app::HistoryModel::kSender),
           QString("Ann <ann@example.com>"));
  QCOMPARE(Shown(*window, 0, app::HistoryModel::kResult), QString("Answered"));
  QCOMPARE(Shown(*window, 1, app::HistoryModel::kResult),
           QString("Not answered: mailing list"));
}

}  // namespace replyvane::testing

QTEST_MAIN(replyvane::testing::HistoryWindowTest)
#include "history_window_test.moc"
