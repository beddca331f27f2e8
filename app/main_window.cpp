#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <iostream>

#include "app/history_window.h"
#include "app/message_boxes.h"
#include "app/pictures.h"
#include "app/qt_anti_freeze.h"
#include "app/responder_settings_window.h"
#include "app/schedule_panel.h"
#include "app/settings_store.h"
#include "app/settings_window.h"
#include "app/window_helpers.h"
#include "net/anti_freeze.h"
#include "responder/check_lock.h"
#include "responder/journal.h"
#include "responder/responder_job.h"

namespace replyvane::app {

namespace {

constexpr int kTopPanelHeight = 41;
constexpr int kStripHeight = 10;
constexpr int kPanelWidths[MainWindow::kPanelCount] = {220, 160, 170, 160};

}  // namespace

MainWindow::MainWindow() {
  setFont(LayoutFont());
  setWindowTitle(kApplicationTitle);
  setWindowIcon(ApplicationIcon());
  resize(kWidth, kHeight);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kBorderWidth, kBorderWidth, kBorderWidth,
                             kBorderWidth);
  layout->setSpacing(0);
  layout->addWidget(BuildTopPanel());
  layout->addWidget(BuildListPanel(), 1);
  layout->addWidget(BuildStatusBar());
  BuildActions();
  BuildPopupMenu();
  timer1_.setObjectName("Timer1");
  timer1_.OnTimer = [this] { ReportFailures([this] { Timer1Timer(); }); };
  schedule_end_.setSingleShot(true);
  connect(&schedule_end_, &QTimer::timeout, this,
          [this] { ReportFailures([this] { WatchScheduleEnd(); }); });
  BuildComponents();
  BuildTrayIcon();
  CentreOnFirstShow(this);
  FormCreate();
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::BuildTopPanel() {
  auto* panel = new QWidget(this);
  panel->setObjectName("Panel1");
  panel->setFixedHeight(kTopPanelHeight);
  auto* banner = AddPicture(panel, "Image2", BannerPicture(), 0, 0, 0, 0);
  auto* fill = new QVBoxLayout(panel);
  fill->setContentsMargins(0, 0, 0, 0);
  fill->addWidget(banner);
  button1_ = AddButton(panel, "Button1", "Check Now", 448, 8, 97, 25);
  button2_ = AddButton(panel, "Button2", "Automatic Mode", 552, 8, 97, 25);
  button3_ = AddButton(panel, "Button3", "Settings", 656, 8, 81, 25);
  ConnectReported(button1_, &QPushButton::clicked, &MainWindow::AccountsClick);
  ConnectReported(button2_, &QPushButton::clicked, &MainWindow::Button2Click);
  button3_->installEventFilter(this);
  return panel;
}

QWidget* MainWindow::BuildListPanel() {
  auto* panel = new QWidget(this);
  panel->setObjectName("pnlTop");
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  lv_headers_ = new QTreeWidget(panel);
  lv_headers_->setObjectName("lvHeaders");
  lv_headers_->setColumnCount(5);
  lv_headers_->setHeaderLabels(
      {"Subject", "From", "To", "Date", "Size ( in Bytes)"});
  lv_headers_->setRootIsDecorated(false);
  lv_headers_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lv_headers_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lv_headers_->setIconSize(QSize(16, 16));
  QHeaderView* header = lv_headers_->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(0, QHeaderView::Stretch);
  const int widths[] = {140, 140, 80, 85};
  for (int column = 1; column <= 4; ++column) {
    lv_headers_->setColumnWidth(column, widths[column - 1]);
  }
  lv_headers_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(lv_headers_, &QTreeWidget::customContextMenuRequested, this,
          [this](const QPoint& position) {
            popup_menu1_->popup(lv_headers_->viewport()->mapToGlobal(position));
          });
  layout->addWidget(lv_headers_, 1);

  auto* strip = AddPicture(panel, "Image1", StripPicture(), 0, 0, 0, 0);
  strip->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  strip->setFixedHeight(kStripHeight);
  layout->addWidget(strip);
  return panel;
}

QStatusBar* MainWindow::BuildStatusBar() {
  status_bar1_ = new QStatusBar(this);
  status_bar1_->setObjectName("StatusBar1");
  status_bar1_->setSizeGripEnabled(false);
  // The panels keep their widths; a narrow window clips the last ones.
  status_bar1_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  for (int i = 0; i < kPanelCount; ++i) {
    auto* panel = new QLabel(status_bar1_);
    panel->setObjectName(QString("Panel%1").arg(i));
    panel->setFixedWidth(kPanelWidths[i]);
    // Panels show subjects and server texts: never read as markup.
    panel->setTextFormat(Qt::PlainText);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status_bar1_->addWidget(panel);
    panels_[size_t(i)] = panel;
  }
  return status_bar1_;
}

void MainWindow::BuildActions() {
  struct Entry {
    const char* name;
    const char* caption;
  };
  static constexpr Entry kEntries[] = {{"CheckMail", "Check mail"},
                                       {"Retrieve", "Retrieve"},
                                       {"Delete", "Delete"},
                                       {"Purge", "Purge "},
                                       {"Disconnect", "Disconnect"},
                                       {"Setup", "Setup"},
                                       {"Send", "Send"}};
  for (size_t i = 0; i < actions_.size(); ++i) {
    actions_[i] = new QAction(kEntries[i].caption, this);
    actions_[i]->setObjectName(kEntries[i].name);
  }
  ConnectReported(Disconnect(), &QAction::triggered,
                  &MainWindow::DisconnectExecute);
}

void MainWindow::BuildPopupMenu() {
  popup_menu1_ = new QMenu(this);
  popup_menu1_->setObjectName("PopupMenu1");
  connection_settings1_ = popup_menu1_->addAction("POP3/SMTP Settings");
  connection_settings1_->setObjectName("ConnectionSettings1");
  response_settings1_ = popup_menu1_->addAction("Response Settings");
  response_settings1_->setObjectName("ResponseSettings1");
  connect(connection_settings1_, &QAction::triggered, this,
          &MainWindow::ConnectionSettings1Click);
  connect(response_settings1_, &QAction::triggered, this,
          &MainWindow::ResponseSettings1Click);
  history1_ = popup_menu1_->addAction("History");
  history1_->setObjectName("History1");
  connect(history1_, &QAction::triggered, this, &MainWindow::ShowHistory);
}

void MainWindow::ShowHistory() {
  if (store_ == nullptr) return;
  if (history_window_ == nullptr) {
    history_window_ = new HistoryWindow(this, store_->SettingsDirectory());
  }
  ShowAndRaise(history_window_);
}

void MainWindow::BuildComponents() {
  // Keeps the windows served while the clients wait on the network.
  anti_freeze1_ = std::make_unique<AntiFreeze>();
  anti_freeze1_->SetOnlyWhenIdle(false);
  job_ = std::make_unique<responder::ResponderJob>(
      static_cast<responder::JobView&>(*this));
}

template <typename Sender, typename Signal>
void MainWindow::ConnectReported(Sender* sender, Signal signal,
                                 void (MainWindow::*slot)()) {
  connect(sender, signal, this,
          [this, slot] { ReportFailures([this, slot] { (this->*slot)(); }); });
}

void MainWindow::SetSettingsWindows(SettingsWindow* form1,
                                    ResponderSettingsWindow* form2,
                                    const SettingsStore& store) {
  form1_ = form1;
  form2_ = form2;
  store_ = std::make_unique<SettingsStore>(store);
  job_->SetCheckLockPath(store.SettingsDirectory() + responder::kCheckLockName);
  job_->SetJournalPath(store.SettingsDirectory() + responder::kJournalName);
  ShowSchedule();
  connect(form2_->Schedule(), &SchedulePanel::Changed, this,
          [this] { ReportFailures([this] { WatchScheduleEnd(); }); });
}

void MainWindow::FormCreate() {
  setObjectName("frmMain");
  ShowBusy(false);
}

void MainWindow::ShowBusy(bool busy) {
  if (busy) {
    if (QApplication::overrideCursor() != nullptr) {
      QApplication::changeOverrideCursor(Qt::WaitCursor);
    } else {
      QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    return;
  }
  while (QApplication::overrideCursor() != nullptr) {
    QApplication::restoreOverrideCursor();
  }
}

void MainWindow::ShowStatus(const QString& text) {
  panels_[1]->setText(text);
  status_bar1_->repaint();
}

void MainWindow::SetConnected(bool connected) {
  CheckMail()->setEnabled(!connected);
  Retrieve()->setEnabled(connected);
  Delete()->setEnabled(connected);
  Purge()->setEnabled(connected);
  Disconnect()->setEnabled(connected);
  ShowStatus(connected ? "Connected" : "");
}

QString MainWindow::PanelText(int panel) const {
  return panels_.at(size_t(panel))->text();
}

void MainWindow::SetPanelText(int panel, const QString& text) {
  panels_.at(size_t(panel))->setText(text);
}

QTreeWidgetItem* MainWindow::AppendRow(const QString& caption,
                                       const QStringList& sub_items) {
  auto* item = new QTreeWidgetItem(lv_headers_);
  item->setText(0, caption);
  for (int i = 0; i < sub_items.size(); ++i) item->setText(i + 1, sub_items[i]);
  item->setIcon(0, RowPicture());
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(0, Qt::Unchecked);
  return item;
}

void MainWindow::ConnectionSettings1Click() {
  if (form1_ != nullptr) form1_->ShowAndRaise();
}

void MainWindow::ResponseSettings1Click() {
  if (form2_ != nullptr) form2_->ShowAndRaise();
}

void MainWindow::Button3MouseUp(const QPoint& position) {
  popup_menu1_->popup(button3_->mapToGlobal(position));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == button3_ && event->type() == QEvent::MouseButtonRelease) {
    // Any mouse button: the right one opens the menu just as the left.
    Button3MouseUp(static_cast<QMouseEvent*>(event)->position().toPoint());
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::FormClose() {
  if (Disconnect()->isEnabled()) DisconnectExecute();
  if (store_ != nullptr && form1_ != nullptr && form2_ != nullptr) {
    store_->Save(*form1_, *form2_);
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  closed_ = true;
  // A failed save is shown, and the window closes all the same: a settings
  // folder that cannot be written must not keep the program from ending.
  // It goes to standard error too, where a session's log keeps it.
  std::string failure;
  try {
    FormClose();
  } catch (...) {
    failure = CurrentFailureText();
  }
  if (!failure.empty()) {
    std::cerr << "replyvane: the settings could not be saved and are lost: "
              << failure << std::endl;
    if (!closing_unattended_) ShowFailure(failure);
  }
  event->accept();
}

void MainWindow::CloseUnattended() {
  closing_unattended_ = true;
  close();
}

}  // namespace replyvane::app
