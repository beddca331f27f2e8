// The main window (object name "frmMain"): the banner with "Check Now",
// "Automatic Mode" and "Settings", the message list lvHeaders, and the status
// bar with four panels. It owns, for the whole run of the program, the state
// and components of the mailbox check, the response run and the automatic
// mode, and saves the settings when it closes.
//
// Slots connected to buttons, actions and the timer run inside
// ReportFailures: a core::Exception they raise ends that user action and is
// shown in the failure box.
#ifndef REPLYVANE_APP_MAIN_WINDOW_H_
#define REPLYVANE_APP_MAIN_WINDOW_H_

#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/window_timer.h"
#include "responder/job_view.h"
#include "responder/schedule.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QSystemTrayIcon;
class QTreeWidget;
class QTreeWidgetItem;

namespace replyvane::net {
class AntiFreezeBase;
}  // namespace replyvane::net

namespace replyvane::responder {
class ResponderJob;
}  // namespace replyvane::responder

namespace replyvane::app {

class HistoryWindow;
class ResponderSettingsWindow;
class SettingsStore;
class SettingsWindow;

// The view of the responder job: it hands the job the settings of the two
// settings windows, shows the listed messages and the status texts, and
// pauses after each message with the box "1".
class MainWindow : public QWidget, private responder::JobView {
  Q_OBJECT

 public:
  static constexpr int kWidth = 763;
  static constexpr int kHeight = 386;
  static constexpr int kPanelCount = 4;
  static constexpr int32_t kMillisecondsPerMinute = 60000;

  MainWindow();
  ~MainWindow() override;

  // Connects the settings windows (created after this one) and the store
  // that the close saves to. Until then the close saves nothing.
  void SetSettingsWindows(SettingsWindow* form1, ResponderSettingsWindow* form2,
                          const SettingsStore& store);

  // The wait cursor for the whole application when `busy`, else the default.
  void ShowBusy(bool busy) override;
  // Writes status panel 1 and repaints the status bar at once.
  void ShowStatus(const QString& text);
  // CheckMail enabled := !connected; Retrieve, Delete, Purge and Disconnect
  // := connected; then ShowStatus("Connected") or the empty text.
  void SetConnected(bool connected) override;

  QString PanelText(int panel) const;
  void SetPanelText(int panel, const QString& text);

  // Appends a row of the message list: the caption (subject) and the
  // sub-items From, To, Date, Size and a last one without a column; with a
  // check box and the row picture.
  QTreeWidgetItem* AppendRow(const QString& caption,
                             const QStringList& sub_items);

  int32_t MessageCount() const;

  SettingsWindow* Form1() const { return form1_; }
  ResponderSettingsWindow* Form2() const { return form2_; }

  QTreeWidget* lvHeaders() const { return lv_headers_; }
  QPushButton* Button1() const { return button1_; }  // "Check Now"
  QPushButton* Button2() const { return button2_; }  // "Automatic Mode"
  QPushButton* Button3() const { return button3_; }  // "Settings"
  QStatusBar* StatusBar1() const { return status_bar1_; }
  QMenu* PopupMenu1() const { return popup_menu1_; }
  QAction* ConnectionSettings1() const { return connection_settings1_; }
  QAction* ResponseSettings1() const { return response_settings1_; }
  // "History" in the Settings menu opens the History window (created at
  // its first opening; null until then).
  QAction* History1() const { return history1_; }
  HistoryWindow* History() const { return history_window_; }
  void ShowHistory();
  WindowTimer* Timer1() { return &timer1_; }
  QSystemTrayIcon* TrayIcon1() const { return tray_icon1_; }
  // While a schedule is set, "Answering until …" or "Outside the schedule
  // (…)": shown in the last status panel (which the checks leave alone),
  // shortened to its width, whole in its tool tip. Empty without one.
  const QString& ScheduleText() const { return schedule_text_; }
  QMenu* PopupMenu2() const { return popup_menu2_; }
  QAction* ShowWindow1() const { return show_window1_; }

  // The components of the check and the run, owned for the whole run of
  // the program.
  responder::ResponderJob& Job() const { return *job_; }
  net::AntiFreezeBase* AntiFreeze1() const { return anti_freeze1_.get(); }

  // The length of a minute of the check interval; kMillisecondsPerMinute
  // unless a test shortens it.
  int32_t MillisecondsPerMinute() const { return milliseconds_per_minute_; }
  void SetMillisecondsPerMinute(int32_t value) {
    milliseconds_per_minute_ = value;
  }
  // True from the start of a check to its end (or its failure).
  bool Checking() const;

  // The action list: none is attached to a control.
  QAction* CheckMail() const { return actions_[0]; }
  QAction* Retrieve() const { return actions_[1]; }
  QAction* Delete() const { return actions_[2]; }
  QAction* Purge() const { return actions_[3]; }
  QAction* Disconnect() const { return actions_[4]; }
  QAction* Setup() const { return actions_[5]; }
  QAction* Send() const { return actions_[6]; }

 public slots:
  // "Check Now": the mailbox check and the response run.
  virtual void AccountsClick();
  // "Automatic Mode": starts the timer.
  virtual void Button2Click();
  virtual void Timer1Timer();
  // The Disconnect action: ends an open POP3 conversation without making its
  // deletions final; always ends with ShowBusy(false).
  virtual void DisconnectExecute();
  void ConnectionSettings1Click();
  void ResponseSettings1Click();
  // Both restore the main window from the tray (which stays hidden).
  void TrayIcon1DblClick();
  void ShowWindow1Click();

 protected:
  // The close handler: executes Disconnect when enabled, then saves. A
  // failure is shown and the window closes all the same.
  void closeEvent(QCloseEvent* event) override;

 public:
  // Closes as the close button does, but for a signal from outside: a save
  // that fails is reported on standard error instead of in a box.
  void CloseUnattended();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void FormClose();
  bool closing_unattended_ = false;
  bool closed_ = false;  // the window was closed: waits for mail end
  // With a mailbox that tells of new mail (IMAP with IDLE): waits for it,
  // at most the check interval, serving input meanwhile; true when a check
  // should follow now. False at once for a mailbox that cannot tell.
  bool WaitForMail();
  void Button3MouseUp(const QPoint& position);
  QWidget* BuildTopPanel();
  QWidget* BuildListPanel();
  QStatusBar* BuildStatusBar();
  void BuildActions();
  void BuildPopupMenu();
  void BuildComponents();
  void BuildTrayIcon();
  void RestoreFromTray();

  // The schedule (main_window_schedule.cpp). Shows it in the last panel.
  responder::Schedule CurrentSchedule() const;
  void ShowSchedule();
  // Where now stands in the settings' schedule; kInside when there is none
  // or it cannot be read (the check says why).
  responder::ScheduleState ScheduleNow();
  // The end of the schedule in seconds since the epoch, if there is one.
  std::optional<int64_t> ScheduleEnd();
  // Arms schedule_end_ for the end of the schedule while Automatic Mode
  // runs; past it, ends Automatic Mode at once.
  void WatchScheduleEnd();
  void EndAutomaticMode();

  // The job's view (job_view.cpp).
  responder::Settings CurrentSettings() override;
  void ProcessEvents() override;
  void ShowStatusText(const std::string& text) override;
  void WritePanel(int panel, const std::string& text) override;
  void ConnectFailed(const std::string& text) override;
  void MailboxListed() override;
  void Notice(const std::string& text) override;
  void RowsCleared() override;
  void RowAdded(const responder::ListedMessage& row) override;
  void RowRemoved(int index) override;
  void RowChanged(int index, const responder::ListedMessage& row) override;
  void Pause() override;
  void RunFinished(int answered, int not_answered) override;
  // Connects `signal` of `sender` to `slot`, run inside ReportFailures.
  template <typename Sender, typename Signal>
  void ConnectReported(Sender* sender, Signal signal,
                       void (MainWindow::*slot)());

  int32_t milliseconds_per_minute_ = kMillisecondsPerMinute;

  std::unique_ptr<net::AntiFreezeBase> anti_freeze1_;
  std::unique_ptr<responder::ResponderJob> job_;

  SettingsWindow* form1_ = nullptr;
  ResponderSettingsWindow* form2_ = nullptr;
  std::unique_ptr<SettingsStore> store_;

  QTreeWidget* lv_headers_ = nullptr;
  QPushButton* button1_ = nullptr;
  QPushButton* button2_ = nullptr;
  QPushButton* button3_ = nullptr;
  QStatusBar* status_bar1_ = nullptr;
  std::array<QLabel*, kPanelCount> panels_{};
  QMenu* popup_menu1_ = nullptr;
  QAction* connection_settings1_ = nullptr;
  QAction* response_settings1_ = nullptr;
  QAction* history1_ = nullptr;
  HistoryWindow* history_window_ = nullptr;
  std::array<QAction*, 7> actions_{};
  WindowTimer timer1_;
  QTimer schedule_end_;
  QString schedule_text_;
  QSystemTrayIcon* tray_icon1_ = nullptr;
  QMenu* popup_menu2_ = nullptr;
  QAction* show_window1_ = nullptr;
};

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_MAIN_WINDOW_H_
