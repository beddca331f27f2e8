// The mailbox check: POP3 log-in with the current settings, one listed
// message per waiting message, then the response run. Only a failed connect
// is handled here; any other failure ends the check and leaves the
// connection and the rows as they are.
#include <time.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <set>

#include "core/reception_limits.h"
#include "core/text.h"
#include "mail/pop3.h"
#include "mail/smtp.h"
#include "message/header_words.h"
#include "message/message.h"
#include "message/sender_address.h"
#include "responder/check_lock.h"
#include "responder/listed_fields.h"
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
  pop_ = std::make_unique<mail::POP3>();
  pop_->SetMaxLineAction(net::maException);
  pop_->SetRecvBufferSize(1024);
  pop_->SetAPOP(false);

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
  std::optional<CheckLock> lock;
  if (!lock_path_.empty()) {
    lock.emplace(lock_path_);
    if (!lock->Failure().empty()) {
      // Without its lock a check could run beside another and answer the
      // same messages twice.
      throw core::Exception(lock->Failure() + "; the mailbox was not checked");
    }
    if (!lock->Held()) {
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
  // Read afresh: an unattended check may have answered messages since.
  Notice(journal_.Load());
  connection_failed_ = false;
  view_.ShowBusy(true);
  view_.ShowStatusText("Connecting....");
  if (!ConnectPop3()) {
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
    message_count_ = pop_->GetMessageCount();
    if (message_count_ < 1) {
      view_.ShowStatusText("No messages found");
      RemoveAllRows();
    } else {
      ReadUniqueIds(message_count_);
      ListHeaders(message_count_);
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

bool ResponderJob::ConnectPop3() {
  if (pop_->IsConnected()) pop_->CloseConnection();
  const Settings& settings = settings_;
  account_scope_ =
      AccountScope(settings.pop3_host, settings.pop3_port, settings.pop3_user);
  journal_.AdoptUnscoped(account_scope_);
  pop_->SetHost(settings.pop3_host);
  pop_->SetPort(settings.pop3_port);
  pop_->SetUsername(settings.pop3_user);
  pop_->SetPassword(settings.pop3_password);
  pop_->SetTLSMode(settings.pop3_encryption.mode);
  pop_->SetTLSFingerprint(settings.pop3_encryption.fingerprint);
  pop_->SetReadTimeout(settings.read_timeout_seconds * 1000);
  if (std::string none = NoServerText("POP3", settings.pop3_host);
      !none.empty()) {
    view_.ConnectFailed(none);
    return false;
  }
  try {
    // A host that never answers is given as long as a silent server.
    pop_->ConnectToHost(settings.read_timeout_seconds * 1000);
    return true;
  } catch (const std::exception& error) {
    // The host tried, and a line that says where and why.
    view_.ConnectFailed(
        "Could not connect with \"" + settings.pop3_host +
        "\", check you are on the internet and your settings, username and "
        "password are correct\r\n\r\n" +
        CauseLine(*pop_, error));
    return false;
  }
}

void ResponderJob::ListHeaders(int32_t count) {
  RemoveAllRows();
  view_.WritePanel(0, "No message selected");
  size_t listing_bytes = unique_ids_bytes_;
  for (int32_t n = 1; n <= count; ++n) {
    view_.ShowStatusText(core::Format("Messsage %d of %d", n, count));
    view_.ProcessEvents();
    msg_->ResetMessage();
    pop_->FetchHeader(n, *msg_);
    ListedMessage row;
    row.subject = ListedField(msg_->Subject());
    row.from = ListedField(ListedSender(*msg_));
    row.to = ListedField(msg_->Recipients().AddressesText());
    row.date = msg_->Date();
    row.size = pop_->GetMessageSize(n);
    row.reply_to = message::ReplyRecipient(*msg_);
    row.identity = Identity(n, row.size, *msg_);
    row.sender_address = message::BestSenderAddress(*msg_);
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

void ResponderJob::ReadUniqueIds(int32_t count) {
  // One UIDL for the whole mailbox keeps the dialogue shortest: its listing
  // holds one line a message, as many as STAT counted, and a few more are
  // let pass; the ids count towards the listing's budget.
  unique_ids_.reset();
  unique_ids_bytes_ = 0;
  // An id line costs the map at least kUidlLineBytes, which bounds the
  // lines whatever count a server claims.
  const size_t lines = std::min(size_t(count) + kUidlSpareLines,
                                listing_budget_ / kUidlLineBytes);
  unique_ids_ = pop_->GetUniqueIds(std::max(core::kMaxReplyLines, lines));
  if (!unique_ids_) return;
  for (const auto& [number, id] : *unique_ids_) {
    unique_ids_bytes_ += kUidlLineBytes + id.size();
  }
  if (unique_ids_bytes_ > listing_budget_)
    throw ListingTooLarge(count, listing_budget_);
}

std::string ResponderJob::Identity(int32_t number, int32_t size,
                                   const message::Message& listed) {
  const std::string& scope = account_scope_;
  std::string id;
  if (unique_ids_) {
    auto found = unique_ids_->find(number);
    if (found != unique_ids_->end()) id = found->second;
  }
  if (!id.empty()) return scope + "/uidl:" + id;
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
  if (pop_->IsConnected()) {
    try {
      pop_->ResetMailbox();
    } catch (const std::exception&) {
      view_.ShowStatusText("Your POP server doesn't have Reset feature");
    }
    pop_->CloseConnection();
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
