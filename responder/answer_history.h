// The history (history.dat beside the settings): one record for every
// message a check dealt with, for the History window: when, who, the
// subject, which response went out (or why none did), and whether it was
// forwarded. Records are appended as messages are done (flushed to the
// system, not waited for on the disk: the journal, not the history, keeps
// messages from being answered twice) and kept for a number of days the
// user chooses.
//
// A line: seconds since 1970 (UTC) TAB what happened TAB sender address TAB
// sender name TAB subject TAB response name TAB forwarded (0 or 1) TAB why
// not answered. What happened is "answered", "earlier" (answered at an
// earlier check that stopped before the message was done) or "not
// answered". A line that does not read so (a cut last line, damage) is
// passed over.
#ifndef REPLYVANE_RESPONDER_ANSWER_HISTORY_H_
#define REPLYVANE_RESPONDER_ANSWER_HISTORY_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace replyvane::responder {

inline constexpr char kHistoryName[] = "history.dat";
inline constexpr int32_t kDefaultHistoryDays = 30;
inline constexpr int32_t kMaxHistoryDays = 365;
// A field longer than this is cut (at a character's start): a hostile
// header does not make every opening of the window slow.
inline constexpr size_t kHistoryFieldLimit = 1000;

struct HistoryEntry {
  enum class Outcome { kAnswered, kAnsweredEarlier, kNotAnswered };
  int64_t at = 0;
  Outcome outcome = Outcome::kAnswered;
  std::string sender_address;
  std::string sender_name;
  std::string subject;
  std::string response;  // empty: the default response
  bool forwarded = false;
  std::string why_not;  // with kNotAnswered

  bool operator==(const HistoryEntry&) const = default;
};

std::string HistoryLine(const HistoryEntry& entry);
std::optional<HistoryEntry> ParseHistoryLine(std::string_view line);

// The entries of the file, oldest first; none when it is not there or
// cannot be read. `damaged` (when given) counts the lines passed over.
std::vector<HistoryEntry> ReadHistory(const std::string& path,
                                      size_t* damaged = nullptr);

class AnswerHistory {
 public:
  // An empty path keeps no history.
  explicit AnswerHistory(std::string path) : path_(std::move(path)) {}

  // Returns the failure text, empty on success.
  std::string Append(const HistoryEntry& entry) const;
  // Drops the entries older than `keep_days` days before `now`. The file
  // is rewritten (atomically) only when its first, oldest entry is that
  // old, so a check mostly reads one line. Returns the failure text.
  std::string Prune(int64_t now, int32_t keep_days) const;

 private:
  std::string path_;
};

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_ANSWER_HISTORY_H_
