// The schedule in the main window: its text in the last status panel, and
// Automatic Mode ended at its end, whether the timer or a wait for mail is
// running then (the wall clock is asked, so a clock set forward past the
// end is seen too). The checks themselves skip outside it (the job).
#include <QLabel>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <algorithm>
#include <ctime>
#include <exception>

#include "app/local_text.h"
#include "app/main_window.h"
#include "app/responder_settings_window.h"
#include "app/schedule_panel.h"
#include "app/window_helpers.h"

namespace replyvane::app {

namespace {

// The longest single wait of the end's timer (about 24 days); a later end
// is waited for in steps.
constexpr int64_t kLongestTimerMs = 2'000'000'000;

}  // namespace

// The schedule as the panel holds it (the rest of the settings is not
// needed, and reading all of them lays out the response text).
responder::Schedule MainWindow::CurrentSchedule() const {
  return form2_ == nullptr ? responder::Schedule()
                           : form2_->Schedule()->Value();
}

responder::ScheduleState MainWindow::ScheduleNow() {
  const responder::Schedule schedule = CurrentSchedule();
  if (!schedule.IsSet()) return responder::ScheduleState::kInside;
  try {
    return responder::StateAt(schedule, ::time(nullptr));
  } catch (const std::exception&) {
    return responder::ScheduleState::kInside;
  }
}

std::optional<int64_t> MainWindow::ScheduleEnd() {
  return responder::ParseScheduleTime(CurrentSchedule().until);
}

void MainWindow::ShowSchedule() {
  const responder::Schedule schedule = CurrentSchedule();
  QString text;
  if (schedule.IsSet()) {
    text = FromBytes(ScheduleNow() == responder::ScheduleState::kInside
                         ? responder::AnsweringUntilText(schedule)
                         : responder::OutsideScheduleText(schedule));
  }
  schedule_text_ = text;
  QLabel* panel = panels_[kPanelCount - 1];
  const int room = panel->contentsRect().width() - 2 * panel->margin() - 4;
  panel->setText(panel->fontMetrics().elidedText(text, Qt::ElideRight, room));
  panel->setToolTip(text.isEmpty() ? QString() : PlainToolTip(text));
}

void MainWindow::WatchScheduleEnd() {
  schedule_end_.stop();
  ShowSchedule();
  if (!timer1_.Enabled()) return;
  if (ScheduleNow() == responder::ScheduleState::kAfter) {
    EndAutomaticMode();
    return;
  }
  const std::optional<int64_t> end = ScheduleEnd();
  if (!end) return;
  const int64_t ms =
      std::clamp<int64_t>((*end - ::time(nullptr)) * 1000, 0, kLongestTimerMs);
  schedule_end_.start(int(ms));
}

void MainWindow::EndAutomaticMode() {
  timer1_.SetEnabled(false);
  schedule_end_.stop();
  const QString text =
      "Automatic Mode ended: " +
      FromBytes(responder::OutsideScheduleText(CurrentSchedule()));
  tray_icon1_->setToolTip(text);
  ShowStatus(text);
  ShowSchedule();
}

}  // namespace replyvane::app
