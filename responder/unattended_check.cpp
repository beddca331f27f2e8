#include "responder/unattended_check.h"

#include <time.h>

#include <exception>
#include <vector>

#include "core/exception.h"
#include "mail/temp_file.h"
#include "responder/check_lock.h"
#include "responder/console_view.h"
#include "responder/job_view.h"
#include "responder/journal.h"
#include "responder/responder_job.h"
#include "responder/settings_files.h"

namespace replyvane::responder {

int RunUnattendedCheck(const std::string& folder, std::ostream& out,
                       std::ostream& err) {
  mail::RemoveStaleTempFiles(mail::TempDirectory());
  std::string folder_path;
  Settings settings;
  if (!ReadSettingsForRun(folder, folder_path, settings, err)) {
    return kExitNoSettings;
  }
  const std::string lock_path = folder_path + kCheckLockName;

  ConsoleView view(std::move(settings), out, err);
  try {
    ResponderJob job(view);
    job.SetCheckLockPath(lock_path);
    job.SetJournalPath(folder_path + kJournalName);
    if (!job.Check()) {
      // Another process holds this mailbox's check, or it is outside the
      // schedule.
      out << ConsoleView::LocalTimeText()
          << "\tskipped: " << job.SkippedBecause() << std::endl;
    }
  } catch (const std::exception& failure) {
    view.PrintHeld(false);
    err << "replyvane: " << PrintableField(failure.what()) << std::endl;
    return kExitFailed;
  }
  view.PrintHeld(false);
  return view.Failed() ? kExitFailed : kExitCompleted;
}

}  // namespace replyvane::responder
