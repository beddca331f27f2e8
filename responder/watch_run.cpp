#include "responder/watch_run.h"

#include <signal.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <thread>

#include "mail/temp_file.h"
#include "responder/check_lock.h"
#include "responder/config.h"
#include "responder/console_view.h"
#include "responder/integer_text.h"
#include "responder/journal.h"
#include "responder/responder_job.h"
#include "responder/schedule.h"
#include "responder/settings_files.h"
#include "responder/unattended_check.h"

namespace replyvane::responder {

namespace {

using std::chrono::milliseconds;
using std::chrono::minutes;
using std::chrono::seconds;

// Re-issued before the 30 minutes after which a server may end an idle
// session.
constexpr minutes kIdleLimit{29};
constexpr seconds kFirstPause{1};
constexpr minutes kLongestPause{5};

std::atomic<bool>* signalled = nullptr;

extern "C" void OnStopSignal(int) {
  if (signalled != nullptr) signalled->store(true);
}

// Waits `pause`, or less when `stop` says so.
void Pause(std::chrono::steady_clock::duration pause,
           const std::function<bool()>& stop) {
  const auto end = std::chrono::steady_clock::now() + pause;
  while (!stop() && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(milliseconds(100));
  }
}

// The check interval of the settings, in minutes (the window's box: 1 to
// 120; 10 when no number).
minutes Interval(const std::string& folder) {
  Config config;
  ReadConfigSettings(folder, config);
  return minutes(std::clamp(
      ParseSettingInteger(config.interval_text).value_or(10), 1, 120));
}

}  // namespace

int RunWatch(const std::string& folder, std::ostream& out, std::ostream& err) {
  static std::atomic<bool> stop{false};
  signalled = &stop;
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  return RunWatch(folder, out, err, stop);
}

int RunWatch(const std::string& folder, std::ostream& out, std::ostream& err,
             std::atomic<bool>& stop) {
  mail::RemoveStaleTempFiles(mail::TempDirectory());
  std::string folder_path;
  Settings settings;
  if (!ReadSettingsForRun(folder, folder_path, settings, err)) {
    return kExitNoSettings;
  }
  if (settings.mailbox.kind != MailboxKind::kImap) {
    err << "replyvane: --watch needs an IMAP mailbox ([Mailbox] Kind=IMAP "
           "in Settings.ini, or Mailbox: IMAP in the Settings window)"
        << std::endl;
    return kExitNoSettings;
  }
  ConsoleView view(settings, out, err);
  ResponderJob job(view);
  job.SetCheckLockPath(folder_path + kCheckLockName);
  job.SetJournalPath(folder_path + kJournalName);
  const auto stopped = [&stop] { return stop.load(); };
  std::chrono::steady_clock::duration pause = kFirstPause;
  std::string skipped;  // the last reason printed, said once
  while (!stop) {
    try {
      // The settings are read afresh for every check: the window may have
      // saved new ones.
      const Settings current = ReadSavedSettings(folder_path);
      view.Renew(current);
      const bool checked = job.Check();
      if (!checked && job.SkippedBecause() != skipped) {
        out << ConsoleView::LocalTimeText()
            << "\tskipped: " << job.SkippedBecause() << std::endl;
      }
      skipped = checked ? "" : job.SkippedBecause();
      view.PrintHeld(false);
      if (view.Failed()) throw core::Exception("the log-in failed");
      pause = kFirstPause;
      if (stop) break;
      // The wall clock is asked each time, so that a clock set forward
      // (or a resume from sleep) past the end is seen at once.
      const Schedule& schedule = current.schedule;
      const int64_t now = ::time(nullptr);
      auto limit = std::chrono::duration_cast<seconds>(kIdleLimit);
      std::optional<int64_t> until;
      if (schedule.IsSet()) {
        const ScheduleState state = StateAt(schedule, now);
        if (state == ScheduleState::kAfter) break;  // the schedule is over
        if (state == ScheduleState::kBefore) {
          // Asked again each minute: the settings may change meanwhile.
          const int64_t from = ParseScheduleTime(schedule.from).value_or(now);
          Pause(std::min<seconds>(seconds(from - now), minutes(1)), stopped);
          continue;
        }
        until = ParseScheduleTime(schedule.until);
        if (until) limit = std::min(limit, seconds(*until - now));
      }
      const auto stopped_or_over = [&] {
        return stop.load() || (until && ::time(nullptr) >= *until);
      };
      if (job.WaitForNewMail(limit, stopped_or_over) == MailWait::kCannotWait) {
        Pause(std::min<std::chrono::steady_clock::duration>(
                  Interval(folder_path), limit),
              stopped_or_over);
      }
    } catch (const std::exception& failure) {
      view.PrintHeld(false);
      if (!view.Failed()) {
        err << "replyvane: " << PrintableField(failure.what()) << std::endl;
      }
      // A server that went away is tried again, less often each time.
      Pause(pause, stopped);
      pause = std::min<std::chrono::steady_clock::duration>(pause * 2,
                                                            kLongestPause);
    }
  }
  return kExitCompleted;
}

}  // namespace replyvane::responder
