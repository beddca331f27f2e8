// The mailbox check behind "Check Now": POP3 log-in with the settings of
// Form1, one list row per waiting message, then the response run. Only a
// failed connect is handled here (the error dialog); any other failure ends
// the check and leaves the connection and the rows as they are.
#include <QAction>
#include <QCoreApplication>
#include <QDate>
#include <QLineEdit>
#include <QLocale>
#include <QTreeWidget>
#include <exception>

#include "app/local_text.h"
#include "app/main_window.h"
#include "app/message_boxes.h"
#include "app/numeric_box.h"
#include "app/settings_window.h"
#include "core/text.h"
#include "mail/pop3.h"
#include "message/date_time.h"
#include "message/header_words.h"
#include "message/message.h"
#include "message/sender_address.h"

namespace replyvane::app {

namespace {

// The date part of a day-count date-time in the locale's short form.
QString ShortDate(message::DateTime value) {
  const message::DateTimeFields fields = message::DecodeDateTime(value);
  return QLocale().toString(QDate(fields.year, fields.month, fields.day),
                            QLocale::ShortFormat);
}

// The From column: the parsed sender when it holds an address, else the
// From text as received, so that the row shows what could be read.
std::string ListedSender(const message::Message& msg) {
  if (message::IsUsableAddress(msg.From().Address())) return msg.From().Text();
  std::string raw = msg.Headers().ValueOf("From");
  try {
    raw = message::DecodeHeaderWords(raw);
  } catch (const core::Exception&) {
  }
  return core::BlankLineBreaks(raw);
}

}  // namespace

void MainWindow::AccountsClick() {
  // A click or a timer event handled during a network wait must not start
  // a second check on the same connection and rows.
  if (checking_) return;
  checking_ = true;
  struct EndOfCheck {
    bool& flag;
    ~EndOfCheck() { flag = false; }
  } end_of_check{checking_};
  CheckMailbox();
}

void MainWindow::CheckMailbox() {
  SetConnectionFailed("false");
  ShowBusy(true);
  ShowStatus("Connecting....");
  if (!ConnectPop3()) {
    SetConnected(false);
    SetPanelText(1, "No connected");
    SetConnectionFailed("true");
    // Rows of an earlier, stopped check were answered already in part;
    // running over them again would answer their senders twice.
    RemoveAllRows();
  }
  if (ConnectionFailed() == "false") {
    SetPanelText(0, "No message selected");
    SetConnected(true);
    message_count_ = pop_->GetMessageCount();
    pop_->GetMailboxSize();
    if (message_count_ < 1) {
      ShowStatus("No messages found");
      RemoveAllRows();
    } else {
      ListHeaders(message_count_);
      connection_settings1_->setEnabled(true);
      response_settings1_->setEnabled(true);
    }
  }
  ShowBusy(false);
  ProcessMessages();
}

bool MainWindow::ConnectPop3() {
  if (pop_->IsConnected()) pop_->CloseConnection();
  pop_->SetHost(ToBytes(form1_->Edit1()->text()));
  pop_->SetPort(form1_->SpinEdit2()->Value());
  pop_->SetUsername(ToBytes(form1_->Edit2()->text()));
  pop_->SetPassword(ToBytes(form1_->Edit3()->text()));
  try {
    pop_->ConnectToHost(-1);
    return true;
  } catch (const std::exception&) {
    ShowConnectFailure();
    return false;
  }
}

void MainWindow::ShowConnectFailure() {
  ShowErrorDialog(
      "Could not connect with \"" + ToBytes(form1_->Edit1()->text()) +
      "\", check you are on the internet and your settings, username and "
      "password are correct");
}

void MainWindow::ListHeaders(int32_t count) {
  const QString remembered = PanelText(1);
  RemoveAllRows();
  SetPanelText(0, "No message selected");
  for (int32_t n = 1; n <= count; ++n) {
    ShowStatus(QString::asprintf("Messsage %d of %d", n, count));
    QCoreApplication::processEvents();
    msg_->ResetMessage();
    pop_->FetchHeader(n, *msg_);
    const QString subject = FromBytes(msg_->Subject());
    const QString from = FromBytes(ListedSender(*msg_));
    const QString to = FromBytes(msg_->Recipients().AddressesText());
    const QString date = ShortDate(msg_->Date());
    const QString size = QString::number(pop_->GetMessageSize(n));
    QTreeWidgetItem* row = AppendRow(subject, {from, to, date, size, "n/a"});
    row->setData(kReplyToColumn, kReplyToRole,
                 FromBytes(message::ReplyRecipient(*msg_)));
  }
  ShowStatus(remembered);
}

void MainWindow::DisconnectExecute() {
  if (pop_->IsConnected()) {
    try {
      pop_->ResetMailbox();
    } catch (const std::exception&) {
      ShowStatus("Your POP server doesn't have Reset feature");
    }
    pop_->CloseConnection();
    SetConnected(false);
    RemoveAllRows();
  }
  ShowBusy(false);
}

void MainWindow::RemoveAllRows() { lv_headers_->clear(); }

}  // namespace replyvane::app
