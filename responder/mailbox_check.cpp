// The mailbox check: log-in to the mailbox with the current settings, one
// listed message per waiting message, then the response run. Only a failed
// connect is handled here; any other failure ends the check and leaves the
// connection and the rows as they are.
#include <time.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <set>

#include "core/reception_limits.h"
#include "core/text.h"
#include "mail/smtp.h"
#include "message/header_words.h"
#include "message/message.h"
#include "message/sender_address.h"
#include "net/responsive_call.h"
#include "responder/check_lock.h"
#include "responder/imap_source.h"
#include "responder/listed_fields.h"
#include "responder/oauth_access.h"
#include "responder/responder_job.h"
#include "responder/server_failure.h"

namespace replyvane::responder {

namespace {

// The From column: the parsed sender when it holds an address, else the
// From text as received, so that the row shows what could be read.
std::string ListedSender(const message::Message& msg) {
  if (message::FromParsedSoundly(msg)) return msg.From().Text();
  return message::DecodeReceivedHeaderWords(msg.Headers().ValueOf("From"));
}

}  // namespace

ResponderJob::ResponderJob(JobView& view)
    : view_(view), listing_budget_(kMaxListingBytes) {
  source_ = std::make_unique<Pop3Source>();

  smtp_ = std::make_unique<mail::SMTP>();
  smtp_->SetMaxLineAction(net::maException);
  smtp_->SetPort(25);
  smtp_->SetAuthenticationType(mail::AuthenticationType::atNone);

  msg_ = std::make_unique<message::Message>();
  msg_->SetAttachmentEncoding("MIME");
  msg_->SetContentType("text/plain");
  msg_->SetEncoding(message::meMIME);
  msg_send_ = std::make_unique<message::Message>();
  forward_msg_ = std::make_unique<message::Message>();
  for (message::Message* msg : {msg_send_.get(), forward_msg_.get()}) {
    msg->SetAttachmentEncoding("MIME");
    msg->SetEncoding(message::meMIME);
  }
}

ResponderJob::~ResponderJob() = default;

bool ResponderJob::Check() {
  // Input served during a network wait must not start a second check on
  // the same connection and rows.
  if (checking_) return false;
  skipped_because_.clear();
  // Outside the schedule nothing happens at all, not even a log-in.
  if (const Schedule schedule = view_.CurrentSettings().schedule;
      schedule.IsSet() &&
      StateAt(schedule, ::time(nullptr)) != ScheduleState::kInside) {
    skipped_because_ = OutsideScheduleText(schedule);
    view_.ShowStatusText(skipped_because_);
    return false;
  }
  std::optional<CheckLock> lock;
  if (!lock_path_.empty()) {
    lock.emplace(lock_path_);
    if (!lock->Failure().empty()) {
      // Without its lock a check could run beside another and answer the
      // same messages twice.
      throw core::Exception(lock->Failure() + "; the mailbox was not checked");
    }
    if (!lock->Held()) {
      skipped_because_ = kBusyText;
      view_.ShowStatusText(kBusyText);
      return false;
    }
  }
  checking_ = true;
  struct EndOfCheck {
    bool& flag;
    ~EndOfCheck() { flag = false; }
  } end_of_check{checking_};
  CheckMailbox();
  return true;
}

void ResponderJob::CheckMailbox() {
  // The connection and the listing run on one reading of the settings.
  settings_ = view_.CurrentSettings();
  // Never in the clear for want of a readable mode.
  RequireKnownMode(settings_.pop3_encryption, Server::kPop3);
  RequireKnownMode(settings_.smtp_encryption, Server::kSmtp);
  RequireKnownMailbox(settings_.mailbox);
  // Edited by hand beside the settings: read once for every check; a file
  // the rules cannot take stops it before anything is sent.
  const std::string folder = SettingsFolder();
  response_rules_ =
      folder.empty() ? ResponseRules() : ReadResponseRules(folder);
  UseMailboxKind(settings_.mailbox.kind);
  // A sign-in that cannot be used ends the check before anything is sent.
  if (settings_.smtp_oauth.On()) AccessToken(true);
  // Read afresh: an unattended check may have answered messages since.
  Notice(journal_.Load());
  Notice(history_.Prune(::time(nullptr), settings_.history_days));
  connection_failed_ = false;
  view_.ShowBusy(true);
  view_.ShowStatusText("Connecting....");
  if (!OpenMailbox()) {
    view_.SetConnected(false);
    view_.WritePanel(1, "No connected");
    connection_failed_ = true;
    // Rows of an earlier, stopped check were answered already in part;
    // running over them again would answer their senders twice.
    RemoveAllRows();
  }
  if (!connection_failed_) {
    view_.WritePanel(0, "No message selected");
    view_.SetConnected(true);
    size_t listing_bytes = 0;
    const std::vector<MessageRef> refs =
        source_->List(listing_budget_, listing_bytes);
    message_count_ = int32_t(refs.size());
    if (message_count_ < 1) {
      view_.ShowStatusText("No messages found");
      RemoveAllRows();
    } else {
      ListHeaders(refs, listing_bytes);
      std::set<std::string> on_server;
      for (const ListedMessage& row : rows_) on_server.insert(row.identity);
      const int64_t days = settings_.once_per_sender_days;
      Notice(journal_.Prune(
          on_server, ::time(nullptr),
          std::max<int64_t>(days * 24 * 60 * 60, kJournalKeepSeconds),
          account_scope_));
      view_.MailboxListed();
    }
  }
  view_.ShowBusy(false);
  ProcessMessages();
}

MailWait ResponderJob::WaitForNewMail(std::chrono::milliseconds limit,
                                      const std::function<bool()>& stop) {
  // The waiting connection logs in as the check's does.
  Settings settings = settings_;
  if (settings.mailbox_oauth.On()) {
    settings.mailbox_access_token = AccessToken(false);
  }
  return source_->WaitForNewMail(settings, limit, stop);
}

std::string ResponderJob::AccessToken(bool smtp) {
  // The token server and the desktop's secret store are asked off the
  // window's thread, as either may take seconds; the call has copies of
  // what it needs.
  const OAuthSettings oauth =
      smtp ? settings_.smtp_oauth : settings_.mailbox_oauth;
  const MailboxKind kind = settings_.mailbox.kind;
  const std::string user = smtp ? settings_.smtp_user : settings_.pop3_user;
  const std::string folder = SettingsFolder();
  std::string token;
  net::CallResponsively([&token, oauth, smtp, kind, user, folder] {
    auth::TokenStore store(folder);
    token = CurrentAccessToken(oauth, smtp, kind, user, store, ::time(nullptr));
  });
  return token;
}

std::string ResponderJob::SettingsFolder() const {
  const size_t slash = journal_path_.rfind('/');
  return slash == std::string::npos ? std::string()
                                    : journal_path_.substr(0, slash + 1);
}

void ResponderJob::UseMailboxKind(MailboxKind kind) {
  if (!own_source_ || kind == source_kind_) return;
  if (source_->IsOpen()) source_->Abandon();
  if (kind == MailboxKind::kImap) {
    // Beside the journal: where each folder's answering starts.
    const std::string folder = SettingsFolder();
    source_ = std::make_unique<ImapSource>(
        folder.empty() ? std::string() : folder + kImapStartName);
  } else {
    source_ = std::make_unique<Pop3Source>();
  }
  source_kind_ = kind;
}

bool ResponderJob::OpenMailbox() {
  Settings settings = settings_;
  account_scope_ = source_->Scope(settings);
  journal_.AdoptUnscoped(account_scope_);
  if (settings.mailbox_oauth.On()) {
    settings.mailbox_access_token = AccessToken(false);
  }
  if (std::string failure = source_->Open(settings); !failure.empty()) {
    view_.ConnectFailed(failure);
    return false;
  }
  return true;
}

void ResponderJob::ListHeaders(const std::vector<MessageRef>& refs,
                               size_t listing_bytes) {
  RemoveAllRows();
  view_.WritePanel(0, "No message selected");
  const int32_t count = int32_t(refs.size());
  for (int32_t n = 1; n <= count; ++n) {
    const MessageRef& ref = refs[size_t(n - 1)];
    view_.ShowStatusText(core::Format("Messsage %d of %d", n, count));
    view_.ProcessEvents();
    msg_->ResetMessage();
    const int32_t size = source_->FetchHeader(ref, *msg_);
    ListedMessage row;
    row.ref = ref;
    row.subject = ListedField(msg_->Subject());
    row.from = ListedField(ListedSender(*msg_));
    row.to = ListedField(msg_->Recipients().AddressesText());
    row.date = msg_->Date();
    row.size = size;
    row.reply_to = message::ReplyRecipient(*msg_);
    row.identity = Identity(ref, row.size, *msg_);
    row.sender_address = message::BestSenderAddress(*msg_);
    row.sender_name = ListedField(msg_->From().Name());
    // For the rules' "sent to": the To and Cc addresses, as many as a
    // header block may reasonably name.
    for (const message::EMailAddressList* list :
         {&msg_->Recipients(), &msg_->CCList()}) {
      for (int i = 0; i < list->Count() && row.recipient_addresses.size() < 100;
           ++i) {
        row.recipient_addresses.push_back(ListedField((*list)[i].Address()));
      }
    }
    CapSender(row);
    row.kind = ClassifyMessage(msg_->Headers(), row.sender_address);
    listing_bytes += RowBytes(row);
    if (listing_bytes > listing_budget_)
      throw ListingTooLarge(n, listing_budget_);
    rows_.push_back(std::move(row));
    view_.RowAdded(rows_.back());
  }
  // Panel 1 back to the connection state the counting replaced.
  view_.SetConnected(true);
}

std::string ResponderJob::Identity(const MessageRef& ref, int32_t size,
                                   const message::Message& listed) {
  const std::string& scope = account_scope_;
  if (!ref.unique_id.empty()) return scope + "/uidl:" + ref.unique_id;
  const message::HeaderList& headers = listed.Headers();
  return scope + "/" +
         HashIdentity(headers.ValueOf("Message-ID"), headers.ValueOf("Date"),
                      headers.ValueOf("From"), headers.ValueOf("Subject"),
                      headers.ValueOf("To"), size);
}

void ResponderJob::Notice(const std::string& text) {
  if (text.empty() || text == last_notice_) return;
  last_notice_ = text;
  view_.Notice(text);
}

void ResponderJob::Disconnect() {
  if (source_->IsOpen()) {
    if (!source_->Abandon()) {
      view_.ShowStatusText("Your POP server doesn't have Reset feature");
    }
    view_.SetConnected(false);
    RemoveAllRows();
  }
  view_.ShowBusy(false);
}

void ResponderJob::RemoveAllRows() {
  rows_.clear();
  view_.RowsCleared();
}

void ResponderJob::RemoveRow(int index) {
  if (index < 0 || size_t(index) >= rows_.size()) return;
  rows_.erase(rows_.begin() + index);
  view_.RowRemoved(index);
}

}  // namespace replyvane::responder
