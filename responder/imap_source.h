// The IMAP mailbox: log-in to the settings' mailbox server, the watched
// folder SELECTed, its new messages (from the start point of
// imap_start.h on; with "answer existing" at the first look, the unseen
// ones already there too) listed by UID SEARCH, headers and messages
// fetched without marking them read, and an answered message kept, marked
// read, moved or deleted as the settings say (deletions are made together
// when the run ends: \Deleted and UID EXPUNGE, in as few commands as can
// be; an abandoned run deletes nothing). The start point moves past
// the listed messages only when a run has ended well, so a run stopped by a
// failure lists them again (and the journal keeps them from being answered
// twice).
#ifndef REPLYVANE_RESPONDER_IMAP_SOURCE_H_
#define REPLYVANE_RESPONDER_IMAP_SOURCE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "responder/imap_start.h"
#include "responder/mailbox_source.h"

namespace replyvane::mail {
class IMAP;
}  // namespace replyvane::mail

namespace replyvane::responder {

class ImapSource final : public MailboxSource {
 public:
  // `start_path`: the file of imap_start.h; empty keeps it in memory.
  explicit ImapSource(std::string start_path);
  ~ImapSource() override;

  std::string Scope(const Settings& settings) const override;
  std::string Open(const Settings& settings) override;
  bool IsOpen() override;
  std::vector<MessageRef> List(size_t budget, size_t& used) override;
  int32_t FetchHeader(const MessageRef& ref, message::Message& msg) override;
  void Fetch(const MessageRef& ref, message::Message& msg) override;
  std::string Dispose(const MessageRef& ref) override;
  void Finish() override;
  bool Abandon() override;
  // IDLE in the folder, read-only (EXAMINE); new mail already there since
  // the last run (UIDNEXT past the start point) ends the wait at once.
  MailWait WaitForNewMail(const Settings& settings,
                          std::chrono::milliseconds limit,
                          const std::function<bool()>& stop) override;

 private:
  // The client's server, log-in and limits from `settings`.
  static void Configure(mail::IMAP& imap, const Settings& settings);

  std::unique_ptr<mail::IMAP> imap_;
  ImapStartStore starts_;
  MailboxSettings mailbox_;
  std::string scope_;
  ImapStart start_;
  uint32_t highest_listed_ = 0;
  std::vector<uint32_t> to_delete_;  // answered, deleted at Finish
};

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_IMAP_SOURCE_H_
