// Drives the real program windows from a Qt test: a Program over a private
// settings directory, the settings typed into the two settings windows, a
// click on "Check Now", and every modal box closed by the test as it
// appears (its name, caption, text and icon are recorded). Only 127.0.0.1
// servers are used; every wait is bounded.
#ifndef REPLYVANE_TESTS_APP_RESPONDER_HARNESS_H_
#define REPLYVANE_TESTS_APP_RESPONDER_HARNESS_H_

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
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/mailbox_panel.h"
#include "app/main_window.h"
#include "app/numeric_box.h"
#include "app/program.h"
#include "app/responder_settings_window.h"
#include "app/settings_window.h"
#include "tests/support/temp_dir.h"

namespace replyvane::testing {

// A modal box as it was shown.
struct SeenBox {
  QString name;  // "FailureBox", "MessageBox" or "ErrorDialog"
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Polls for the active modal box every few milliseconds (the boxes run
// their own event loops, so the poll runs while one is open), records it,
// calls `on_box` and presses its OK button.
class BoxCloser : public QObject {
 public:
  explicit BoxCloser(std::function<void(const SeenBox&)> on_box = {})
      : on_box_(std::move(on_box)) {
    poll_.setInterval(5);
    QObject::connect(&poll_, &QTimer::timeout, this, [this] { Poll(); });
    poll_.start();
  }

  void SetOnBox(std::function<void(const SeenBox&)> on_box) {
    on_box_ = std::move(on_box);
  }
  const std::vector<SeenBox>& Seen() const { return seen_; }
  void Clear() { seen_.clear(); }
  // The texts of the boxes seen, in order.
  QStringList Texts() const {
    QStringList texts;
    for (const SeenBox& box : seen_) texts << box.text;
    return texts;
  }

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || box->property("closed_by_test").toBool()) return;
    box->setProperty("closed_by_test", true);
    SeenBox seen{box->objectName(), box->windowTitle(), box->text(),
                 box->icon()};
    seen_.push_back(seen);
    if (on_box_) on_box_(seen);
    box->button(QMessageBox::Ok)->click();
  }

  QTimer poll_;
  std::function<void(const SeenBox&)> on_box_;
  std::vector<SeenBox> seen_;
};

// The program with its three windows over a fresh settings directory.
class Responder {
 public:
  Responder()
      : dir_("responder"),
        program_(std::make_unique<app::Program>(dir_.Path())) {
    SetForward(false);  // on by default with no settings file
  }

  app::MainWindow& Main() const { return program_->frmMain(); }
  app::SettingsWindow& Form1() const { return program_->Form1(); }
  app::ResponderSettingsWindow& Form2() const { return program_->Form2(); }
  BoxCloser& Boxes() { return boxes_; }
  const TempDir& Dir() const { return dir_; }

  void SetPop3(int port, const QString& user = "u",
               const QString& password = "p") {
    Form1().Edit1()->setText("127.0.0.1");
    Form1().SpinEdit2()->setText(QString::number(port));
    Form1().Edit2()->setText(user);
    Form1().Edit3()->setText(password);
  }
  // The POP3 boxes naming an IMAP mailbox (the folder INBOX, messages
  // kept).
  void SetImap(int port, const QString& user, const QString& password) {
    SetPop3(port, user, password);
    responder::MailboxSettings mailbox;
    mailbox.kind = responder::MailboxKind::kImap;
    Form1().Mailbox()->SetValue(mailbox);
  }
  void SetSmtp(int port, const QString& authentication = "None",
               const QString& user = "su", const QString& password = "sp") {
    Form1().Edit5()->setText("127.0.0.1");
    Form1().SpinEdit3()->setText(QString::number(port));
    Form1().ComboBox1()->setEditText(authentication);
    Form1().Edit4()->setText(user);
    Form1().Edit6()->setText(password);
  }
  void SetResponse(const QString& from, const QString& subject,
                   const QString& text, const QStringList& attachments = {}) {
    Form2().Edit2()->setText(from);
    Form2().Edit3()->setText(subject);
    Form2().Memo1()->setPlainText(text);
    Form2().ListBox1()->clear();
    Form2().ListBox1()->addItems(attachments);
  }
  void SetForward(bool on, const QString& address = "") {
    Form2().CheckBox1()->setChecked(on);
    Form2().Edit4()->setText(address);
  }

  // A click on "Check Now"; returns when the check and its run ended.
  void Check() { Main().Button1()->click(); }

  int Rows() const { return Main().lvHeaders()->topLevelItemCount(); }
  QStringList Row(int index) const {
    QStringList texts;
    QTreeWidgetItem* item = Main().lvHeaders()->topLevelItem(index);
    if (item == nullptr) return texts;
    for (int column = 0; column < item->columnCount(); ++column) {
      texts << item->text(column);
    }
    return texts;
  }

  // Closes the main window as the user would; true when it closed.
  bool Close() { return Main().close(); }

 private:
  TempDir dir_;
  std::unique_ptr<app::Program> program_;
  BoxCloser boxes_;
};

// Runs the event loop until `done` holds or `timeout_ms` passed; true when
// it holds.
inline bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeout_ms) return false;
    QTest::qWait(2);
  }
  return true;
}

inline QString Q(const std::string& bytes) {
  return QString::fromStdString(bytes);
}

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_APP_RESPONDER_HARNESS_H_
