// The response run: for every listed row, last to first, the response to
// the row's sender, the forward when switched on, DELE and the row's
// removal, and the box "1"; then QUIT. No failure is handled here: the first
// one ends the run and leaves the rows still ahead, the wait cursor, the
// status texts and the POP3 connection as they are.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <QVariant>
#include <exception>

#include "app/compose.h"
#include "app/local_text.h"
#include "app/main_window.h"
#include "app/message_boxes.h"
#include "app/numeric_box.h"
#include "app/responder_settings_window.h"
#include "app/settings_window.h"
#include "core/text.h"
#include "mail/pop3.h"
#include "mail/smtp.h"
#include "message/message.h"
#include "net/exceptions.h"

namespace replyvane::app {

namespace {

constexpr char kNoSenderText[] = "No sender address: not answered";

// Raised when the server refuses the RETR of a message to forward: sending
// a forward without the message and then deleting it would lose the mail.
[[noreturn]] void RaiseForwardFetchFailure(mail::POP3& pop, int number) {
  std::string reply;
  for (const std::string& line : pop.LastReply().Text()) {
    if (!reply.empty()) reply += ' ';
    reply += line;
  }
  throw net::ProtocolReplyError(
      pop.LastReply().NumericCode(),
      core::Format("Could not retrieve message %d to forward it: %s", number,
                   core::Trim(reply).c_str()));
}

}  // namespace

void MainWindow::ProcessMessages() {
  for (int row = lv_headers_->topLevelItemCount() - 1; row >= 0; --row) {
    if (!ProcessRow(row)) break;
  }
  pop_->CloseConnection();
  SetConnected(false);
}

bool MainWindow::ProcessRow(int row) {
  QCoreApplication::processEvents();
  const QTreeWidgetItem* item = lv_headers_->topLevelItem(row);
  if (item == nullptr) return false;
  const QVariant reply_to = item->data(kReplyToColumn, kReplyToRole);
  const std::string recipient =
      ToBytes(reply_to.isValid() ? reply_to.toString() : item->text(1));
  if (recipient.empty()) {
    // Nothing to answer and nobody to name in a forward: the message stays
    // on the server for its owner, and the run goes on.
    SetPanelText(0, kNoSenderText);
    lv_headers_->topLevelItem(row)->setText(5, kNoSenderText);
    return true;
  }
  SetPanelText(0, "Processing " + item->text(0));
  ShowBusy(true);
  const std::string sender = ToBytes(item->text(1));
  ComposeResponse(*msg_send_, ReadResponseText(), recipient);
  SendThroughSmtp(*msg_send_);
  if (form2_->CheckBox1()->isChecked()) {
    msg_send_->ResetMessage();
    const int number = row + 1;
    if (!pop_->FetchMessage(number, *msg_send_)) {
      RaiseForwardFetchFailure(*pop_, number);
    }
    ComposeForward(*forward_msg_, *msg_send_, sender,
                   ToBytes(form2_->Edit4()->text()),
                   ToBytes(form2_->Edit2()->text()));
    SendThroughSmtp(*forward_msg_);
  }
  if (pop_->DeleteMessage(row + 1)) delete lv_headers_->takeTopLevelItem(row);
  ShowMessage("1");
  SetPanelText(0, "");
  SetPanelText(1, "");
  ShowBusy(false);
  return true;
}

ResponseText MainWindow::ReadResponseText() const {
  ResponseText response;
  const QListWidget* list = form2_->ListBox1();
  for (int i = 0; i < list->count(); ++i) {
    response.attachment_paths.push_back(ToBytes(list->item(i)->text()));
  }
  response.body = ToBytes(form2_->Memo1Lines());
  response.from_address = ToBytes(form2_->Edit2()->text());
  response.subject = ToBytes(form2_->Edit3()->text());
  return response;
}

void MainWindow::ConfigureSmtp() {
  smtp_->SetAuthenticationType(form1_->ComboBox1()->currentText() == "None"
                                   ? mail::AuthenticationType::atNone
                                   : mail::AuthenticationType::atLogin);
  smtp_->SetUsername(ToBytes(form1_->Edit4()->text()));
  smtp_->SetPassword(ToBytes(form1_->Edit6()->text()));
  smtp_->SetHost(ToBytes(form1_->Edit5()->text()));
  smtp_->SetPort(form1_->SpinEdit3()->Value());
}

void MainWindow::SendThroughSmtp(message::Message& msg) {
  ConfigureSmtp();
  smtp_->ConnectToHost(-1);
  try {
    smtp_->SendMessage(msg);
  } catch (...) {
    smtp_->CloseConnection();
    throw;
  }
  smtp_->CloseConnection();
}

}  // namespace replyvane::app
