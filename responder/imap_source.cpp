#include "responder/imap_source.h"

#include <algorithm>

#include "core/text.h"
#include "mail/imap.h"
#include "net/exceptions.h"
#include "responder/journal.h"
#include "responder/listed_fields.h"
#include "responder/server_failure.h"

namespace replyvane::responder {

namespace {

// What a listed UID costs beside the row (the reference and its id).
constexpr size_t kUidBytes = 80;

// "<uidvalidity>:<uid>": who a message is within its folder.
std::string UniqueId(uint32_t validity, uint32_t uid) {
  return std::to_string(validity) + ":" + std::to_string(uid);
}

}  // namespace

ImapSource::ImapSource(std::string start_path)
    : imap_(std::make_unique<mail::IMAP>()), starts_(std::move(start_path)) {}

ImapSource::~ImapSource() = default;

std::string ImapSource::Scope(const Settings& settings) const {
  return AccountScope(settings.pop3_host, settings.pop3_port,
                      settings.pop3_user, settings.mailbox.folder);
}

void ImapSource::Configure(mail::IMAP& imap, const Settings& settings) {
  imap.SetMaxLineAction(net::maException);
  imap.SetHost(settings.pop3_host);
  imap.SetPort(settings.pop3_port);
  imap.SetUsername(settings.pop3_user);
  imap.SetPassword(settings.pop3_password);
  imap.SetAccessToken(settings.mailbox_access_token);
  imap.SetTLSMode(settings.pop3_encryption.mode);
  imap.SetTLSFingerprint(settings.pop3_encryption.fingerprint);
  imap.SetReadTimeout(settings.read_timeout_seconds * 1000);
}

std::string ImapSource::Open(const Settings& settings) {
  if (imap_->IsConnected()) imap_->CloseConnection();
  mailbox_ = settings.mailbox;
  scope_ = Scope(settings);
  start_ = ImapStart();
  highest_listed_ = 0;
  to_delete_.clear();
  Configure(*imap_, settings);
  if (std::string none = NoServerText("IMAP", settings.pop3_host);
      !none.empty()) {
    return none;
  }
  try {
    imap_->ConnectToHost(settings.read_timeout_seconds * 1000);
  } catch (const std::exception& error) {
    return "Could not connect with \"" + settings.pop3_host +
           "\", check you are on the internet and your settings, username "
           "and password are correct\r\n\r\n" +
           CauseLine(*imap_, error);
  }
  return "";
}

bool ImapSource::IsOpen() { return imap_->IsConnected(); }

std::vector<MessageRef> ImapSource::List(size_t budget, size_t& used) {
  used = 0;
  // Kept messages: the folder is opened read-only (EXAMINE), so that not
  // even \Recent changes; the other choices change the folder anyway.
  mail::IMAP::FolderState folder = imap_->Select(
      mailbox_.folder, mailbox_.after_answering == AfterAnswering::kKeep);
  if (folder.uid_validity == 0) {
    // Without it no UID can be trusted from one run to the next.
    throw core::Exception(
        "The IMAP server gave no UIDVALIDITY for the folder " +
        mailbox_.folder +
        ": its messages cannot be told "
        "apart from one check to the next");
  }
  if (folder.uid_next == 0) {
    // Not announced: one past the highest UID there, so that the history
    // still stays unanswered.
    const std::vector<uint32_t> all =
        folder.exists == 0 ? std::vector<uint32_t>() : imap_->UidSearch("ALL");
    folder.uid_next = all.empty() ? 1 : all.back() + 1;
  }
  std::vector<uint32_t> uids;
  const std::optional<ImapStart> known = starts_.Find(scope_);
  if (!known || known->uid_validity != folder.uid_validity) {
    // The first look, or a renumbered folder: what is there is history.
    start_ = ImapStart{folder.uid_validity, folder.uid_next};
    if (!known && mailbox_.answer_existing) {
      uids = imap_->UidSearch("UNSEEN");
    }
    starts_.Record(scope_, start_);
  } else {
    start_ = *known;
  }
  // "n:*" always names the folder's last message, even below n.
  for (uint32_t uid :
       imap_->UidSearch("UID " + std::to_string(start_.first_uid) + ":*")) {
    if (uid >= start_.first_uid) uids.push_back(uid);
  }
  std::sort(uids.begin(), uids.end());
  uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
  std::vector<MessageRef> refs;
  for (uint32_t uid : uids) {
    used += kUidBytes;
    if (used > budget) throw ListingTooLarge(int32_t(refs.size()), budget);
    refs.push_back(MessageRef{uid, UniqueId(folder.uid_validity, uid)});
    highest_listed_ = std::max(highest_listed_, uid);
  }
  return refs;
}

int32_t ImapSource::FetchHeader(const MessageRef& ref, message::Message& msg) {
  int64_t size = -1;
  if (!imap_->FetchHeader(ref.number, msg, size)) return -1;
  return size > INT32_MAX ? INT32_MAX : int32_t(size);
}

void ImapSource::Fetch(const MessageRef& ref, message::Message& msg) {
  if (imap_->FetchMessage(ref.number, msg)) return;
  // Forwarding nothing and then disposing of the message would lose it.
  throw core::Exception(core::Format(
      "Could not retrieve message %u to forward it: the IMAP server sent no "
      "such message",
      unsigned(ref.number)));
}

std::string ImapSource::Dispose(const MessageRef& ref) {
  const uint32_t uid = ref.number;
  switch (mailbox_.after_answering) {
    case AfterAnswering::kMarkRead:
      imap_->AddFlags(uid, "\\Seen");
      return "marked read";
    case AfterAnswering::kMove:
      try {
        imap_->Move(uid, mailbox_.move_folder);
      } catch (const net::ProtocolReplyError& refused) {
        // A folder not there yet is made, once (RFC 9051 TRYCREATE).
        if (std::string(refused.what()).find("[TRYCREATE]") ==
            std::string::npos) {
          throw;
        }
        imap_->Create(mailbox_.move_folder);
        imap_->Move(uid, mailbox_.move_folder);
      }
      return "moved to " + mailbox_.move_folder;
    case AfterAnswering::kDelete:
      // Done together at the end of the run: as with POP3's DELE, the
      // deletions hold only once the session ends well.
      to_delete_.push_back(uid);
      return kDisposedDeleted;
    case AfterAnswering::kKeep:
      break;
  }
  return kDisposedKept;
}

void ImapSource::Finish() {
  if (!to_delete_.empty()) {
    imap_->AddFlags(to_delete_, "\\Deleted");
    imap_->Expunge(to_delete_);
    to_delete_.clear();
  }
  // The run went through: what it listed is behind the start from now on.
  // Without a listing (the log-in failed) there is no start to move.
  if (start_.uid_validity != 0 && highest_listed_ >= start_.first_uid) {
    start_.first_uid = highest_listed_ + 1;
    starts_.Record(scope_, start_);
  }
  highest_listed_ = 0;
  imap_->Logout();
}

MailWait ImapSource::WaitForNewMail(const Settings& settings,
                                    std::chrono::milliseconds limit,
                                    const std::function<bool()>& stop) {
  mail::IMAP watch;
  Configure(watch, settings);
  watch.ConnectToHost(settings.read_timeout_seconds * 1000);
  struct Close {
    mail::IMAP& imap;
    ~Close() {
      try {
        imap.CloseConnection();
      } catch (const std::exception&) {
      }
    }
  } close{watch};
  if (!watch.HasCapability("IDLE")) {
    watch.Logout();
    return MailWait::kCannotWait;
  }
  const mail::IMAP::FolderState folder =
      watch.Select(settings.mailbox.folder, true);
  const std::optional<ImapStart> start = starts_.Find(Scope(settings));
  // Mail that came after the last listing, before this wait began.
  if (!start || start->uid_validity != folder.uid_validity ||
      folder.uid_next > start->first_uid) {
    watch.Logout();
    return MailWait::kNewMail;
  }
  const bool told = watch.Idle(limit, stop);
  watch.Logout();
  return told ? MailWait::kNewMail : MailWait::kTimeUp;
}

bool ImapSource::Abandon() {
  highest_listed_ = 0;
  // The answered messages stay, as a POP3 RSET leaves them, and the
  // journal keeps them from being answered again.
  to_delete_.clear();
  imap_->CloseConnection();
  return true;
}

}  // namespace replyvane::responder
