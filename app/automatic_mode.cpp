// Automatic mode: "Automatic Mode" starts Timer1 with the check interval of
// Form1; each time it elapses the timer stops, a check runs, and the timer
// starts again, so the interval runs from the end of one check to the start
// of the next. With an IMAP mailbox whose server has IDLE, the time between
// checks is spent waiting on it instead, and new mail starts the next check
// at once. A failure of that check escapes Timer1Timer before the timer
// is enabled again, which ends the automatic mode. Also the hidden tray icon
// and its restore handlers.
#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <exception>

#include "app/mailbox_panel.h"
#include "app/main_window.h"
#include "app/numeric_box.h"
#include "app/pictures.h"
#include "app/settings_window.h"
#include "responder/responder_job.h"

namespace replyvane::app {

void MainWindow::Button2Click() {
  const int64_t minutes = form1_->SpinEdit1()->Value();
  // The product wraps as in 32-bit signed arithmetic; the timer never fires
  // for a result of 0 or below.
  const auto interval = static_cast<int32_t>(
      static_cast<uint32_t>(minutes * milliseconds_per_minute_));
  timer1_.SetInterval(interval);
  timer1_.SetEnabled(true);
  WatchScheduleEnd();
}

void MainWindow::Timer1Timer() {
  timer1_.SetEnabled(false);
  AccountsClick();
  // An IMAP mailbox tells of new mail: each check follows it at once, and
  // the interval still bounds every wait.
  while (WaitForMail()) AccountsClick();
  if (ScheduleNow() == responder::ScheduleState::kAfter) {
    EndAutomaticMode();
    return;
  }
  timer1_.SetEnabled(true);
  WatchScheduleEnd();
}

bool MainWindow::WaitForMail() {
  if (closed_ ||
      form1_->Mailbox()->Value().kind != responder::MailboxKind::kImap) {
    return false;
  }
  int64_t limit = timer1_.Interval();
  if (limit <= 0) return false;
  // The end of the schedule ends the wait too.
  const std::optional<int64_t> end = ScheduleEnd();
  if (end) limit = std::min<int64_t>(limit, (*end - ::time(nullptr)) * 1000);
  const auto over = [&] { return end && ::time(nullptr) >= *end; };
  if (limit <= 0 || over()) return false;
  try {
    const responder::MailWait waited =
        job_->WaitForNewMail(std::chrono::milliseconds(limit),
                             [this, &over] { return closed_ || over(); });
    return waited != responder::MailWait::kCannotWait && !closed_ && !over();
  } catch (const std::exception&) {
    // The server could not be waited on: the timer's next check tells why.
    return false;
  }
}

void MainWindow::BuildTrayIcon() {
  popup_menu2_ = new QMenu(this);
  popup_menu2_->setObjectName("PopupMenu2");
  show_window1_ = popup_menu2_->addAction("Show Window");
  show_window1_->setObjectName("ShowWindow1");
  connect(show_window1_, &QAction::triggered, this,
          &MainWindow::ShowWindow1Click);

  // Never shown: the component exists with its menu and handlers only.
  tray_icon1_ = new QSystemTrayIcon(ApplicationIcon(), this);
  tray_icon1_->setObjectName("TrayIcon1");
  tray_icon1_->setContextMenu(popup_menu2_);
  connect(tray_icon1_, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::DoubleClick) TrayIcon1DblClick();
          });
}

void MainWindow::TrayIcon1DblClick() { RestoreFromTray(); }

void MainWindow::ShowWindow1Click() { RestoreFromTray(); }

void MainWindow::RestoreFromTray() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

}  // namespace replyvane::app
