// Where an IMAP folder's answering starts: for each folder (by its account
// scope), the UIDVALIDITY seen and the first UID not yet looked at. At the
// first look it is the folder's UIDNEXT, so the folder's history is never
// answered; a changed UIDVALIDITY (the server renumbered the folder) starts
// again at the new UIDNEXT. Kept in a private file of its own lines
// "<scope> <uidvalidity> <uid>"; without a file, in memory.
#ifndef REPLYVANE_RESPONDER_IMAP_START_H_
#define REPLYVANE_RESPONDER_IMAP_START_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace replyvane::responder {

inline constexpr char kImapStartName[] = "imap-start.dat";

struct ImapStart {
  uint32_t uid_validity = 0;
  uint32_t first_uid = 0;
};

class ImapStartStore {
 public:
  // `path` empty: in memory only.
  explicit ImapStartStore(std::string path) : path_(std::move(path)) {}

  // The start of `scope`, read afresh from the file; nullopt when none.
  // A line that cannot be read counts as none (the folder then starts
  // again at its UIDNEXT: nothing old is answered).
  std::optional<ImapStart> Find(const std::string& scope);
  // Records `start` for `scope`. Raises core::StreamError when the file
  // cannot be written.
  void Record(const std::string& scope, const ImapStart& start);

 private:
  void Load();
  std::string path_;
  std::map<std::string, ImapStart> starts_;
};

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_IMAP_START_H_
