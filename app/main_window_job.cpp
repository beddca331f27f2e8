// The main window as the view of the responder job: "Check Now" and the
// Disconnect action drive the job; the job reads the settings from the two
// settings windows when a check starts and at each message, and its rows,
// status texts, connect failure and pause become the list, the status bar, the
// error dialog and the box "1".
#include <QAction>
#include <QCoreApplication>
#include <QDate>
#include <QLocale>
#include <QMessageBox>
#include <QTreeWidget>

#include "app/local_text.h"
#include "app/main_window.h"
#include "app/message_boxes.h"
#include "app/settings_store.h"
#include "message/date_time.h"
#include "responder/responder_job.h"

namespace replyvane::app {

namespace {

// The date part of a day-count date-time in the locale's short form.
QString ShortDate(message::DateTime value) {
  const message::DateTimeFields fields = message::DecodeDateTime(value);
  return QLocale().toString(QDate(fields.year, fields.month, fields.day),
                            QLocale::ShortFormat);
}

// The sub-items of a row: From, To, Date, Size and the status.
QStringList SubItems(const responder::ListedMessage& row) {
  return {FromBytes(row.from), FromBytes(row.to), ShortDate(row.date),
          QString::number(row.size), FromBytes(row.status)};
}

}  // namespace

void MainWindow::AccountsClick() {
  job_->Check();
  ShowSchedule();
}

void MainWindow::DisconnectExecute() { job_->Disconnect(); }

bool MainWindow::Checking() const { return job_->Checking(); }
int32_t MainWindow::MessageCount() const { return job_->MessageCount(); }

responder::Settings MainWindow::CurrentSettings() {
  return responder::SettingsFrom(EditedConfig(*form1_, *form2_));
}

void MainWindow::ProcessEvents() { QCoreApplication::processEvents(); }

void MainWindow::ShowStatusText(const std::string& text) {
  ShowStatus(FromBytes(text));
}

void MainWindow::WritePanel(int panel, const std::string& text) {
  SetPanelText(panel, FromBytes(text));
}

void MainWindow::ConnectFailed(const std::string& text) {
  ShowErrorDialog(text);
}

void MainWindow::MailboxListed() {
  connection_settings1_->setEnabled(true);
  response_settings1_->setEnabled(true);
}

void MainWindow::Notice(const std::string& text) {
  // Not modal: a notice must not hold a check that runs unattended.
  auto* box = new QMessageBox(QMessageBox::Warning, kApplicationTitle,
                              FromBytes(text), QMessageBox::Ok, this);
  box->setObjectName("NoticeBox");
  box->setTextFormat(Qt::PlainText);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
}

void MainWindow::RowsCleared() { lv_headers_->clear(); }

void MainWindow::RowAdded(const responder::ListedMessage& row) {
  AppendRow(FromBytes(row.subject), SubItems(row));
}

void MainWindow::RowRemoved(int index) {
  delete lv_headers_->takeTopLevelItem(index);
}

void MainWindow::RowChanged(int index, const responder::ListedMessage& row) {
  QTreeWidgetItem* item = lv_headers_->topLevelItem(index);
  if (item == nullptr) return;
  item->setText(0, FromBytes(row.subject));
  const QStringList sub_items = SubItems(row);
  for (int i = 0; i < sub_items.size(); ++i) item->setText(i + 1, sub_items[i]);
}

void MainWindow::Pause() { ShowMessage("1"); }

void MainWindow::RunFinished(int answered, int not_answered) {
  SetPanelText(2, QString("Answered: %1, not answered: %2")
                      .arg(answered)
                      .arg(not_answered));
}

}  // namespace replyvane::app
