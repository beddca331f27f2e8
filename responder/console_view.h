// The job's view without a window, for the unattended runs (--check,
// --watch): the saved settings, one line per message on `out` once its
// disposal holds ("<local time>\t<what was done>\t<sender>\t<subject>"),
// failures and notices on `err`.
#ifndef REPLYVANE_RESPONDER_CONSOLE_VIEW_H_
#define REPLYVANE_RESPONDER_CONSOLE_VIEW_H_

#include <ostream>
#include <string>
#include <vector>

#include "responder/job_view.h"
#include "responder/settings.h"

namespace replyvane::responder {

// `text` fit for one field of a terminal line: control bytes (tabs, line
// ends, escapes) become blanks.
std::string PrintableField(const std::string& text);

// The job's view without a window: the saved settings, lines for what was
// done, failures to `err`.
class ConsoleView : public JobView {
 public:
  // The local time as the lines show it ("2026-12-09 04:30:00").
  static std::string LocalTimeText();

  ConsoleView(Settings settings, std::ostream& out, std::ostream& err)
      : settings_(std::move(settings)), out_(out), err_(err) {}

  bool Failed() const { return failed_; }
  // For the next check of a run that checks again (--watch).
  void Renew(Settings settings) {
    settings_ = std::move(settings);
    failed_ = false;
  }

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

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_CONSOLE_VIEW_H_
