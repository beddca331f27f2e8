// What the job needs of a mailbox, whatever its kind: log in, list the
// waiting messages, read a header and a whole message, dispose of a message
// once its outcome is known, and end the session so that the dispositions
// hold (or end it without them). POP3 is the first kind (pop3_source.h):
// there a message is disposed of by deleting it, and the deletions hold
// once the server confirms them at QUIT.
#ifndef REPLYVANE_RESPONDER_MAILBOX_SOURCE_H_
#define REPLYVANE_RESPONDER_MAILBOX_SOURCE_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "message/message.h"
#include "responder/listed_message.h"
#include "responder/settings.h"

namespace replyvane::responder {

// What MailboxSource::Dispose says of a message deleted, and of one left
// as it was.
inline constexpr char kDisposedDeleted[] = "deleted";
inline constexpr char kDisposedKept[] = "kept";

// What a wait for new mail came to.
enum class MailWait { kNewMail, kTimeUp, kCannotWait };

class MailboxSource {
 public:
  virtual ~MailboxSource() = default;

  // Who the mailbox is across checks, for the journal: its kind, server,
  // port, user (and IMAP folder) in a short text.
  virtual std::string Scope(const Settings& settings) const = 0;
  // Closes a session left open and logs in with `settings`. Empty on
  // success, else the text that says the log-in failed and why.
  virtual std::string Open(const Settings& settings) = 0;
  virtual bool IsOpen() = 0;
  // The waiting messages in the mailbox's order (none: empty). What the
  // listing holds counts towards `budget` bytes, and `used` gets what it
  // took; past the budget it raises ListingTooLarge.
  virtual std::vector<MessageRef> List(size_t budget, size_t& used) = 0;
  // Reads the header block of `ref` into `msg` (reset by the caller) and
  // returns the message's size in bytes, -1 when the server does not say.
  virtual int32_t FetchHeader(const MessageRef& ref, message::Message& msg) = 0;
  // Reads the whole message into `msg`; raises when the server refuses it.
  virtual void Fetch(const MessageRef& ref, message::Message& msg) = 0;
  // Disposes of a message whose outcome is known. Returns what was done:
  // "deleted", "kept", "marked read", "moved to <folder>"; empty when
  // nothing could be.
  virtual std::string Dispose(const MessageRef& ref) = 0;
  // Ends the session so that the dispositions hold. Raises when the server
  // did not confirm dispositions made in it.
  virtual void Finish() = 0;
  // Ends the session without making the dispositions hold; false when the
  // server could not undo them.
  virtual bool Abandon() = 0;
  // Waits, on a session of its own, until the server tells of new mail,
  // `limit` has passed or `stop` says so (kTimeUp then); kCannotWait when
  // the mailbox cannot tell (POP3, an IMAP server without IDLE): the
  // caller checks at its interval instead. Raises the connection's
  // failures.
  virtual MailWait WaitForNewMail(const Settings&, std::chrono::milliseconds,
                                  const std::function<bool()>&) {
    return MailWait::kCannotWait;
  }
};

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_MAILBOX_SOURCE_H_
