#include "responder/unattended_check.h"

#include <time.h>

#include <exception>
#include <vector>

#include "core/exception.h"
#include "mail/temp_file.h"
#include "responder/check_lock.h"
#include "responder/job_view.h"
#include "responder/journal.h"
#include "responder/responder_job.h"
#include "responder/settings_files.h"

namespace replyvane::responder {

namespace {

std::string LocalTimeText() {
  const time_t now = ::time(nullptr);
  struct tm local;
  ::localtime_r(&now, &local);
  char text[32];
  ::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

// The job's view without a window: the saved settings, lines for what was
// done, failures to `err`.
class ConsoleView : public JobView {
 public:
  ConsoleView(Settings settings, std::ostream& out, std::ostream& err)
      : settings_(std::move(settings)), out_(out), err_(err) {}

  bool Failed() const { return failed_; }

  Settings CurrentSettings() override { return settings_; }

  void ConnectFailed(const std::string& text) override {
    err_ << "replyvane: " << PrintableField(text) << std::endl;
    failed_ = true;
  }

  void Notice(const std::string& text) override {
    err_ << "replyvane: " << PrintableField(text) << std::endl;
  }

  // A message's line waits for the QUIT that makes its deletion final, so
  // that "deleted" is printed only once the server has said so.
  void MessageDone(const ListedMessage& row,
                   const MessageOutcome& outcome) override {
    held_.push_back({LocalTimeText(), row, outcome});
  }

  void DeletionsConfirmed() override { PrintHeld(true); }

  // Prints the lines still held; without the server's word, no "deleted".
  void PrintHeld(bool deletions_confirmed) {
    for (const Held& held : held_) {
      MessageOutcome outcome = held.outcome;
      outcome.deleted = outcome.deleted && deletions_confirmed;
      PrintLine(held.time, held.row, outcome);
    }
    held_.clear();
  }

 private:
  struct Held {
    std::string time;
    ListedMessage row;
    MessageOutcome outcome;
  };

  void PrintLine(const std::string& time, const ListedMessage& row,
                 const MessageOutcome& outcome) {
    std::string done;
    if (!outcome.not_answered.empty()) {
      done = "not answered: " + outcome.not_answered;
    } else {
      auto add = [&](bool happened, const char* word) {
        if (!happened) return;
        if (!done.empty()) done += ", ";
        done += word;
      };
      add(outcome.already_answered, "already answered");
      add(outcome.answered, "answered");
      add(outcome.forwarded, "forwarded");
      add(outcome.deleted, "deleted");
      add(!outcome.disposed.empty(), outcome.disposed.c_str());
    }
    out_ << time << '\t' << done << '\t' << PrintableField(row.from) << '\t'
         << PrintableField(row.subject) << std::endl;
  }

  Settings settings_;
  std::vector<Held> held_;
  std::ostream& out_;
  std::ostream& err_;
  bool failed_ = false;
};

}  // namespace

std::string PrintableField(const std::string& text) {
  std::string result = text;
  for (char& c : result) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = ' ';
  }
  return result;
}

int RunUnattendedCheck(const std::string& folder, std::ostream& out,
                       std::ostream& err) {
  mail::RemoveStaleTempFiles(mail::TempDirectory());
  Settings settings;
  try {
    settings = ReadSavedSettings(folder);
  } catch (const std::exception& failure) {
    err << "replyvane: " << failure.what() << std::endl;
    return kExitNoSettings;
  }
  std::string folder_path = folder;
  if (folder_path.empty() || folder_path.back() != '/') folder_path += '/';
  const std::string lock_path = folder_path + kCheckLockName;

  ConsoleView view(std::move(settings), out, err);
  try {
    ResponderJob job(view);
    job.SetCheckLockPath(lock_path);
    job.SetJournalPath(folder_path + kJournalName);
    if (!job.Check()) {
      // Another process holds this mailbox's check.
      out << LocalTimeText() << "\tskipped: " << ResponderJob::kBusyText
          << std::endl;
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
