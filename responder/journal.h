// The answered-message journal (answered.dat beside the settings): which
// messages were answered and forwarded, so that a message left on the
// server by a failure after its response (a refused forward, a dropped
// connection, a closed window, a crash) is never answered twice. Each
// record is appended and flushed to disk (fsync) before the job takes its
// next step; a check rewrites the file whole with one line per message,
// dropping messages no longer on the server and entries older than 30
// days. Damage (a line cut by a crash, a garbage line) costs only the lines
// it touched: the rest is kept and written back, the damaged file kept
// beside it, and the damage reported once. A journal that cannot be read at
// all stops the check. A record that cannot be written is reported and the
// run goes on.
//
// A line: identity TAB sender TAB answered-at (seconds since 1970, UTC)
// TAB forwarded (0 or 1). Later lines of the same identity replace earlier
// ones.
#ifndef REPLYVANE_RESPONDER_JOURNAL_H_
#define REPLYVANE_RESPONDER_JOURNAL_H_

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "core/exception.h"

namespace replyvane::responder {

inline constexpr char kJournalName[] = "answered.dat";
inline constexpr int64_t kJournalKeepSeconds = 30 * 24 * 60 * 60;

// The journal exists but cannot be read: the check must not go on, or it
// would answer again what the journal says was answered.
class JournalUnreadable : public core::Exception {
 public:
  using core::Exception::Exception;
};

struct JournalEntry {
  std::string sender;
  int64_t answered_at = 0;
  bool forwarded = false;
};

class AnsweredJournal {
 public:
  // Reads nothing yet; an empty path keeps the journal in memory only.
  explicit AnsweredJournal(std::string path);

  const std::string& Path() const { return path_; }

  // Reads the file (a missing file is an empty journal). Every line that
  // parses is kept; a cut or NUL-filled last line with a whole identity
  // counts as answered. When any line was damaged, the file is kept as
  // Path() + ".bad" (".bad.2", ".bad.3", ... when that exists), the good
  // records are written back, and the returned text says so; empty when
  // all went well. A file that exists but cannot be opened or read raises
  // JournalUnreadable and stays as it is.
  std::string Load();

  // The entry of `identity`, or nullptr.
  const JournalEntry* Find(const std::string& identity) const;

  // Records that `identity`'s message was answered (to `reply_to`) or its
  // forward sent; on disk when this returns. Returns the text of a failure
  // to write (the record is kept in memory all the same), empty on success.
  // A non-empty `sender_address` (any case) is recorded as answered now
  // too, for the once-per-sender rule, in the same write and flush.
  std::string RecordAnswered(const std::string& identity,
                             const std::string& reply_to, int64_t now,
                             const std::string& sender_address = "");
  std::string RecordForwarded(const std::string& identity, int64_t now);
  // When `address` (any case) was last answered; 0 when never.
  int64_t LastAnswered(const std::string& address) const;

  // Keeps only the message entries of `on_server` that are younger than
  // kJournalKeepSeconds, and the sender entries younger than
  // `sender_keep_seconds`, and rewrites the file whole (temporary file,
  // fsync, rename). Returns a failure text, empty on success.
  // Only entries of `scope` (see AccountScope; empty: every message entry)
  // are dropped for not being on the server: a journal shared by several
  // mailboxes keeps the others' messages.
  std::string Prune(const std::set<std::string>& on_server, int64_t now,
                    int64_t sender_keep_seconds = kJournalKeepSeconds,
                    const std::string& scope = "");
  // Message entries written without an account (by earlier versions, which
  // kept one mailbox a settings folder) become entries of `scope`, so that
  // what they say was answered still holds.
  void AdoptUnscoped(const std::string& scope);

  size_t Size() const { return entries_.size(); }

 private:
  // Appends `lines` and flushes them to disk.
  std::string Append(const std::string& lines);

  std::string path_;
  std::map<std::string, JournalEntry> entries_;
};

// The identity of a message the server gives no unique id for: "sha256:"
// and the SHA-256 (hex) of its Message-ID, Date, From, Subject and To as
// listed and its listed size: messages that differ in any of them are
// different messages.
std::string HashIdentity(const std::string& message_id, const std::string& date,
                         const std::string& from, const std::string& subject,
                         const std::string& to, int32_t size);

// The mailbox a message identity belongs to: "pop3:" and 16 hexadecimal
// digits of the SHA-256 of the server (any case), port and user; with an
// IMAP `folder`, "imap:" and the digest of those and the folder. A message
// identity in the journal is the scope, "/" and the mailbox's own identity.
std::string AccountScope(const std::string& host, int32_t port,
                         const std::string& user,
                         const std::optional<std::string>& folder = {});

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_JOURNAL_H_
