// The responder's job, apart from any window: the mailbox check (log-in to
// the mailbox source, one listed message per waiting message) and the
// response run (for every listed message, last to first: the response, the
// forward when switched on, the message disposed of; then the end of the
// session, which makes the dispositions hold). It owns the mailbox source
// (POP3: pop3_source.h), the SMTP client and the messages for the whole life
// of the program,
// and the list of waiting messages between a check and its run. It reads its
// settings from the view when a check starts and at each message of the run,
// reports everything it does to the view, and reads nothing else back.
//
// Failures: a failed log-in is reported to the view and the run still
// follows (with the rows of an earlier check removed). Any other failure
// (a refused or dropped connection, a -ERR, a refused SMTP command, an
// attachment that cannot be read) raises and ends the check where it
// arose: the rows still ahead and the mailbox session stay as they are.
// Nothing about a message's own content stops the run.
//
// Not thread-safe: one thread drives it; the view may re-enter it through
// Disconnect while a network wait serves pending input.
#ifndef REPLYVANE_RESPONDER_RESPONDER_JOB_H_
#define REPLYVANE_RESPONDER_RESPONDER_JOB_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/exception.h"
#include "responder/answer_history.h"
#include "responder/compose.h"
#include "responder/job_view.h"
#include "responder/journal.h"
#include "responder/listed_message.h"
#include "responder/mailbox_source.h"
#include "responder/pop3_source.h"
#include "responder/response_rules.h"

namespace replyvane::mail {
class SMTP;
}  // namespace replyvane::mail
namespace replyvane::message {
class Message;
}  // namespace replyvane::message

namespace replyvane::responder {

class ResponderJob {
 public:
  // The status of a message that names nobody to answer.
  static constexpr char kNoSenderText[] = "No sender address: not answered";
  // The status of a message answered at an earlier check.
  static constexpr char kAlreadyAnsweredText[] = "Already answered: deleting";

  // `view` must outlive the job.
  explicit ResponderJob(JobView& view);
  ~ResponderJob();
  ResponderJob(const ResponderJob&) = delete;
  ResponderJob& operator=(const ResponderJob&) = delete;

  // The status text of a check that did not start because another process
  // checks the same mailbox.
  static constexpr char kBusyText[] =
      "Another Replyvane is checking this mailbox";

  // One mailbox check and its response run. A call made while one is in
  // progress (from a network wait) returns at once; so does one while
  // another process holds the check lock (after showing kBusyText) and one
  // outside the settings' schedule (after showing OutsideScheduleText).
  // False when no check ran; SkippedBecause then says why (empty: one was
  // in progress).
  bool Check();
  const std::string& SkippedBecause() const { return skipped_because_; }
  // The lock file that keeps checks of other processes out (see
  // check_lock.h); none by default.
  void SetCheckLockPath(std::string path) { lock_path_ = std::move(path); }
  // The answered-message journal's file (see journal.h); without one the
  // journal lives in memory for the life of the job.
  void SetJournalPath(std::string path) {
    journal_ = AnsweredJournal(path);
    journal_path_ = std::move(path);
    const std::string folder = SettingsFolder();
    history_ = AnswerHistory(folder.empty() ? "" : folder + kHistoryName);
  }
  // The mailbox the checks read; a POP3 source (pop3_source.h) unless
  // another is set here before the first check.
  void SetMailboxSource(std::unique_ptr<MailboxSource> source) {
    source_ = std::move(source);
    own_source_ = false;
  }
  // What the rows of one check may hold in all (listed_fields.h); tests
  // set a small one.
  void SetListingBudget(size_t bytes) { listing_budget_ = bytes; }
  // Waits for new mail in the mailbox of the last check (see
  // MailboxSource::WaitForNewMail).
  MailWait WaitForNewMail(std::chrono::milliseconds limit,
                          const std::function<bool()>& stop);
  // Ends an open mailbox session without making its dispositions hold
  // (POP3: RSET, QUIT) and forgets the listed messages.
  void Disconnect();

  // The response run over the listed messages, last to first; then the
  // end of the session.
  void ProcessMessages();

  bool Checking() const { return checking_; }
  int32_t MessageCount() const { return message_count_; }
  // True when the mailbox log-in of the last check failed.
  bool ConnectionFailed() const { return connection_failed_; }
  const std::vector<ListedMessage>& Rows() const { return rows_; }
  // The SMTP client, for a caller that watches its status.
  mail::SMTP& SMTP() const { return *smtp_; }

 private:
  void CheckMailbox();
  // The source of the settings' mailbox kind (unless one was set).
  void UseMailboxKind(MailboxKind kind);
  // Logs in to the mailbox with the current settings; false after
  // reporting any failure of the connect.
  bool OpenMailbox();
  // Reads the header of every listed message into a row.
  // `listing_bytes`: what the listing took of the budget already.
  void ListHeaders(const std::vector<MessageRef>& refs, size_t listing_bytes);
  void RemoveAllRows();
  void RemoveRow(int index);
  // False when the row is gone: the list was emptied while pending input
  // was served.
  bool ProcessRow(int row);
  // Ends the session; raises (POP3: DeletionsUnconfirmed) when the server
  // did not confirm the dispositions of the run.
  void EndSession();
  // The response's parts of `settings`.
  // The response the rules choose for `listed`; nullptr: the default.
  const NamedResponse* ChooseResponseFor(const ListedMessage& listed);
  static void UseNamedResponse(const NamedResponse& chosen,
                               ResponseText& response);
  static ResponseText TakeResponseText(const Settings& settings);
  // Configures SMTP from the current settings, connects, sends `msg`, calls
  // `accepted` as soon as the server took it, and closes; the close also
  // when the send fails.
  void SendThroughSmtp(message::Message& msg,
                       const std::function<void()>& accepted);
  // The identity of a listed message within the account: its UIDL or, where
  // the server gives none, a hash of its listed header fields and size.
  std::string Identity(const MessageRef& ref, int32_t size,
                       const message::Message& listed);
  // Why the rules keep `listed` from being answered now; empty: answer it.
  std::string WhyNotAnswered(const ListedMessage& listed);
  // Adds the message's entry to the history.
  void RecordHistory(const ListedMessage& listed, const MessageOutcome& outcome,
                     const std::string& response);
  // Reports a journal failure (once per text) to the view.
  void Notice(const std::string& text);

  JobView& view_;
  // The settings in use: read from the view when a check starts and again
  // at each message of its run.
  Settings settings_;
  std::string lock_path_;
  AnsweredJournal journal_{""};
  // Beside the journal; none without a journal file.
  AnswerHistory history_{""};
  size_t listing_budget_;
  int answered_count_ = 0;
  int not_answered_count_ = 0;
  int deleted_count_ = 0;
  std::string last_notice_;
  // The mailbox of this check, which scopes its messages in the journal.
  std::string account_scope_;
  bool checking_ = false;
  std::string skipped_because_;
  int32_t message_count_ = 0;
  bool connection_failed_ = false;
  std::vector<ListedMessage> rows_;

  std::unique_ptr<MailboxSource> source_;
  MailboxKind source_kind_ = MailboxKind::kPop3;
  bool own_source_ = true;
  std::string journal_path_;
  // The folder of the journal (with its "/"), where the settings are;
  // empty without a journal file.
  std::string SettingsFolder() const;
  // The access token of the mailbox's or SMTP's sign-in (oauth_access.h).
  std::string AccessToken(bool smtp);
  // responses.txt there, as this check read it.
  ResponseRules response_rules_;
  std::unique_ptr<mail::SMTP> smtp_;
  std::unique_ptr<message::Message> msg_;
  std::unique_ptr<message::Message> msg_send_;
  std::unique_ptr<message::Message> forward_msg_;
};

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_RESPONDER_JOB_H_
