#include "responder/pop3_source.h"

#include <algorithm>

#include "core/reception_limits.h"
#include "core/text.h"
#include "mail/pop3.h"
#include "net/exceptions.h"
#include "responder/encryption_settings.h"
#include "responder/journal.h"
#include "responder/listed_fields.h"
#include "responder/server_failure.h"

namespace replyvane::responder {

namespace {

// Lines a UIDL listing may hold beyond the count STAT gave.
constexpr size_t kUidlSpareLines = 16;
// What a UIDL id costs beside its text (map node, number, string).
constexpr size_t kUidlLineBytes = 80;

}  // namespace

Pop3Source::Pop3Source() : pop_(std::make_unique<mail::POP3>()) {
  pop_->SetMaxLineAction(net::maException);
  pop_->SetRecvBufferSize(1024);
  pop_->SetAPOP(false);
}

Pop3Source::~Pop3Source() = default;

std::string Pop3Source::Scope(const Settings& settings) const {
  return AccountScope(settings.pop3_host, settings.pop3_port,
                      settings.pop3_user);
}

std::string Pop3Source::Open(const Settings& settings) {
  if (pop_->IsConnected()) pop_->CloseConnection();
  deleted_ = 0;
  pop_->SetHost(settings.pop3_host);
  pop_->SetPort(settings.pop3_port);
  pop_->SetUsername(settings.pop3_user);
  pop_->SetPassword(settings.pop3_password);
  pop_->SetAccessToken(settings.mailbox_access_token);
  pop_->SetTLSMode(settings.pop3_encryption.mode);
  pop_->SetTLSFingerprint(settings.pop3_encryption.fingerprint);
  pop_->SetReadTimeout(settings.read_timeout_seconds * 1000);
  if (std::string none = NoServerText("POP3", settings.pop3_host);
      !none.empty()) {
    return none;
  }
  try {
    // A host that never answers is given as long as a silent server.
    pop_->ConnectToHost(settings.read_timeout_seconds * 1000);
    return "";
  } catch (const std::exception& error) {
    return "Could not connect with \"" + settings.pop3_host +
           "\", check you are on the internet and your settings, username "
           "and password are correct\r\n\r\n" +
           CauseLine(*pop_, error);
  }
}

bool Pop3Source::IsOpen() { return pop_->IsConnected(); }

std::vector<MessageRef> Pop3Source::List(size_t budget, size_t& used) {
  used = 0;
  const int32_t count = pop_->GetMessageCount();
  std::vector<MessageRef> refs;
  if (count < 1) return refs;
  // One UIDL for the whole mailbox keeps the dialogue shortest: its listing
  // holds one line a message, as many as STAT counted, and a few more are
  // let pass. An id line costs at least kUidlLineBytes, which bounds the
  // lines whatever count a server claims.
  const size_t lines =
      std::min(size_t(count) + kUidlSpareLines, budget / kUidlLineBytes);
  const auto ids = pop_->GetUniqueIds(std::max(core::kMaxReplyLines, lines));
  if (ids) {
    for (const auto& [number, id] : *ids) used += kUidlLineBytes + id.size();
    if (used > budget) throw ListingTooLarge(count, budget);
  }
  refs.reserve(size_t(count));
  for (int32_t n = 1; n <= count; ++n) {
    MessageRef ref{uint32_t(n), ""};
    if (ids) {
      if (auto found = ids->find(n); found != ids->end()) {
        ref.unique_id = found->second;
      }
    }
    refs.push_back(std::move(ref));
  }
  return refs;
}

int32_t Pop3Source::FetchHeader(const MessageRef& ref, message::Message& msg) {
  pop_->FetchHeader(int(ref.number), msg);
  return pop_->GetMessageSize(int(ref.number));
}

void Pop3Source::Fetch(const MessageRef& ref, message::Message& msg) {
  if (pop_->FetchMessage(int(ref.number), msg)) return;
  // Sending a forward without the message and then deleting it would lose
  // the mail.
  std::string reply;
  for (const std::string& line : pop_->LastReply().Text()) {
    if (!reply.empty()) reply += ' ';
    reply += line;
  }
  throw net::ProtocolReplyError(
      pop_->LastReply().NumericCode(),
      core::Format("Could not retrieve message %d to forward it: %s",
                   int(ref.number), core::Trim(reply).c_str()));
}

std::string Pop3Source::Dispose(const MessageRef& ref) {
  if (!pop_->DeleteMessage(int(ref.number))) return "";
  ++deleted_;
  return kDisposedDeleted;
}

void Pop3Source::Finish() {
  const std::string host = pop_->Host();
  const int deleted = deleted_;
  deleted_ = 0;
  try {
    pop_->Quit();
  } catch (const std::exception& failure) {
    if (deleted == 0) return;  // nothing was waiting on the QUIT
    std::string reason = core::Trim(core::BlankLineBreaks(failure.what()));
    while (!reason.empty() && reason.back() == '.') reason.pop_back();
    throw DeletionsUnconfirmed(core::Format(
        "The POP3 server %s did not confirm the deletions at QUIT: %s. %s "
        "may still be on the server; none will be answered again",
        host.c_str(), reason.c_str(),
        deleted == 1
            ? "The message deleted in this run"
            : core::Format("The %d messages deleted in this run", deleted)
                  .c_str()));
  }
}

bool Pop3Source::Abandon() {
  if (!pop_->IsConnected()) return true;
  bool reset = true;
  try {
    pop_->ResetMailbox();
  } catch (const std::exception&) {
    reset = false;
  }
  pop_->CloseConnection();
  deleted_ = 0;
  return reset;
}

}  // namespace replyvane::responder
