// One response run through the real windows over 10, 100 and 1,000 waiting
// messages, against the test fixtures' real servers on 127.0.0.1 (Dovecot
// POP3, aiosmtpd SMTP). Each message is listed, answered with a one-file
// attachment, forwarded and deleted; the box "1" is closed as soon as it is
// shown. Prints total time, time per message and the peak resident memory
// so far (sizes run in increasing order).
//
//   cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release
//   -DREPLYVANE_BUILD_BENCH=ON cmake --build build/bench --target
//   response_run_qtbench -j2 QT_QPA_PLATFORM=offscreen
//   build/bench/bench/response_run_qtbench [sizes...]
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/numeric_box.h"
#include "app/program.h"
#include "app/responder_settings_window.h"
#include "app/settings_window.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/temp_dir.h"

namespace {

using replyvane::testing::DovecotServer;
using replyvane::testing::SmtpServer;
using replyvane::testing::TempDir;

// Presses OK on every message box right after it is shown.
class BoxPresser : public QObject {
 public:
  int Pressed() const { return pressed_; }
  int Failures() const { return failures_; }
  // Time the boxes were open, from their showing to their hiding.
  double OpenSeconds() const { return double(open_nanoseconds_) / 1e9; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* box = qobject_cast<QMessageBox*>(watched);
    if (box != nullptr && event->type() == QEvent::Hide) {
      open_nanoseconds_ += open_.nsecsElapsed();
    }
    if (box != nullptr && event->type() == QEvent::Show) {
      open_.start();
      if (box->text() != "1") ++failures_;
      ++pressed_;
      QMetaObject::invokeMethod(
          box, [box] { box->button(QMessageBox::Ok)->click(); },
          Qt::QueuedConnection);
    }
    return false;
  }

 private:
  int pressed_ = 0;
  int failures_ = 0;
  QElapsedTimer open_;
  qint64 open_nanoseconds_ = 0;
};

// Peak resident memory of this process so far, in KiB.
long PeakKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

std::string Sample(int i) {
  std::string text =
      "From: Sender " + std::to_string(i) + " <s" + std::to_string(i) +
      "@example.com>\r\nTo: help@example.com\r\n"
      "Subject: Question number " +
      std::to_string(i) + "\r\nDate: Tue, 01 Dec 2026 12:00:00 +0000\r\n\r\n";
  for (int line = 0; line < 40; ++line) {
    text += "Line " + std::to_string(line) +
            " of a message body of plain text, long enough to be typical.\r\n";
  }
  return text;
}

bool RunOnce(int count, BoxPresser& presser) {
  DovecotServer pop(DovecotServer::Options{.apop = false});
  SmtpServer smtp(SmtpServer::Options{.store_messages = false});
  for (int i = 0; i < count; ++i) pop.AddMessage(Sample(i));
  if (!pop.Start() || !smtp.Start()) {
    std::fprintf(stderr, "servers did not start\n");
    return false;
  }
  TempDir dir("bench");
  replyvane::testing::WriteFile(dir.File("prices.txt"),
                                std::string(20000, 'x') + "\r\n");
  replyvane::app::Program program(dir.Path());
  replyvane::app::SettingsWindow& form1 = program.Form1();
  replyvane::app::ResponderSettingsWindow& form2 = program.Form2();
  form1.Edit1()->setText("127.0.0.1");
  form1.SpinEdit2()->setText(QString::number(pop.Port()));
  form1.Edit2()->setText(QString::fromStdString(pop.User()));
  form1.Edit3()->setText(QString::fromStdString(pop.Password()));
  form1.Edit5()->setText("127.0.0.1");
  form1.SpinEdit3()->setText(QString::number(smtp.Port()));
  form1.ComboBox1()->setEditText("None");
  form2.Edit2()->setText("help@example.com");
  form2.Edit3()->setText("Thank you for your message");
  form2.Memo1()->setPlainText(
      "Hello,\n\nthank you for writing. We will answer within a day.\n");
  form2.ListBox1()->addItem(QString::fromStdString(dir.File("prices.txt")));
  form2.CheckBox1()->setChecked(true);
  form2.Edit4()->setText("team@example.com");

  const int pressed_before = presser.Pressed();
  const double open_before = presser.OpenSeconds();
  QElapsedTimer clock;
  clock.start();
  program.frmMain().Button1()->click();
  const double seconds = double(clock.nsecsElapsed()) / 1e9;
  const int boxes = presser.Pressed() - pressed_before;
  const double box_seconds = presser.OpenSeconds() - open_before;
  // Dovecot expunges after the QUIT, whose reply the client does not read.
  for (int i = 0; i < 500 && pop.MessageCount() != 0; ++i) QTest::qWait(10);
  const bool ok = boxes == count && presser.Failures() == 0 &&
                  pop.MessageCount() == 0 &&
                  smtp.MessageCount() == size_t(2 * count);
  std::printf(
      "%5d messages: %8.3f s total, %7.2f ms per message, box \"1\" open "
      "%6.2f ms per message, without it %7.2f ms, peak RSS %ld KiB\n",
      count, seconds, seconds * 1000 / count, box_seconds * 1000 / count,
      (seconds - box_seconds) * 1000 / count, PeakKiB());
  if (!ok) {
    std::printf("  incomplete: %d boxes, %d not \"1\", %d left, %zu sent\n",
                boxes, presser.Failures(), pop.MessageCount(),
                smtp.MessageCount());
  }
  std::fflush(stdout);
  return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::stoi(argv[i]));
  if (sizes.empty()) sizes = {10, 100, 1000};
  if (!DovecotServer::MissingReason().empty() ||
      !SmtpServer::MissingReason().empty()) {
    std::fprintf(stderr, "%s%s\n", DovecotServer::MissingReason().c_str(),
                 SmtpServer::MissingReason().c_str());
    return 1;
  }
  BoxPresser presser;
  application.installEventFilter(&presser);
  bool ok = true;
  for (int count : sizes) ok = RunOnce(count, presser) && ok;
  return ok ? 0 : 1;
}
