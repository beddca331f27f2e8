#include "responder/journal.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <optional>
#include <string_view>
#include <vector>

#include "core/exception.h"
#include "core/private_file.h"
#include "core/record_file.h"
#include "core/text.h"
#include "responder/digest.h"

namespace replyvane::responder {

namespace {

std::string LineOf(const std::string& identity, const JournalEntry& entry) {
  return core::RecordField(identity) + '\t' + core::RecordField(entry.sender) +
         '\t' + std::to_string(entry.answered_at) + '\t' +
         (entry.forwarded ? "1" : "0") + '\n';
}

// Sender entries share the file with message entries, whose identities
// begin with "uidl:" or "sha256:".
constexpr char kSenderPrefix[] = "sender:";

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + ::strerror(errno);
}

}  // namespace

AnsweredJournal::AnsweredJournal(std::string path) : path_(std::move(path)) {}

namespace {

// The first of path.bad, path.bad.2, path.bad.3, ... that does not exist:
// an earlier copy of a damaged journal is never overwritten.
std::string FreeBadName(const std::string& path) {
  std::string name = path + ".bad";
  for (int n = 2; ::access(name.c_str(), F_OK) == 0; ++n) {
    name = path + ".bad." + std::to_string(n);
  }
  return name;
}

}  // namespace

std::string AnsweredJournal::Load() {
  entries_.clear();
  if (path_.empty()) return "";
  std::string text;
  if (!core::ReadRecordFile(path_, text)) {
    if (errno == ENOENT) return "";
    // Never set aside for a reason of the moment (permission, too many
    // open files): the records in it are still good.
    throw JournalUnreadable(ErrnoText("Cannot read the list of answered "
                                      "messages",
                                      path_) +
                            "; the check was stopped so that no message is "
                            "answered twice");
  }
  // A crash during an append can leave the last line cut, or a run of NUL
  // bytes where the file system had allocated room for it.
  size_t end_of_data = text.find_last_not_of('\0');
  end_of_data = end_of_data == std::string::npos ? 0 : end_of_data + 1;
  const bool nul_tail = end_of_data < text.size();
  text.resize(end_of_data);
  size_t dropped = 0;
  bool cut = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    const bool last = end == std::string::npos;
    if (last) end = text.size();
    const std::string_view line(text.data() + start, end - start);
    start = end + 1;
    const std::vector<std::string_view> fields = core::SplitRecordFields(line);
    std::optional<int64_t> when;
    if (fields.size() == 4) when = core::ParseInt64(fields[2]);
    const bool whole = fields.size() == 4 && !fields[0].empty() && when &&
                       (fields[3] == "0" || fields[3] == "1") &&
                       line.find('\0') == std::string_view::npos;
    if (whole) {
      JournalEntry& entry = entries_[std::string(fields[0])];
      entry.sender = std::string(fields[1]);
      entry.answered_at = *when;
      entry.forwarded = entry.forwarded || fields[3] == "1";
      continue;
    }
    if (last && fields.size() >= 2 && !fields[0].empty() &&
        line.find('\0') == std::string_view::npos) {
      // Cut while it was written, after its response went out: a whole
      // identity in it still counts as answered.
      cut = true;
      JournalEntry& entry = entries_[std::string(fields[0])];
      entry.sender = std::string(fields[1]);
      if (entry.answered_at == 0) entry.answered_at = ::time(nullptr);
      continue;
    }
    cut = cut || last;
    if (!last) ++dropped;
  }
  if (dropped == 0 && !cut && !nul_tail) return "";
  // The damage is kept for whoever wants to look, the good records are
  // written back, and it is reported once.
  const std::string bad = FreeBadName(path_);
  if (::rename(path_.c_str(), bad.c_str()) != 0) {
    return ErrnoText(
        "The list of answered messages is damaged and could not "
        "be set aside:",
        path_);
  }
  std::string good;
  for (const auto& [identity, entry] : entries_)
    good += LineOf(identity, entry);
  try {
    core::WritePrivateFile(path_, good);
  } catch (const core::Exception& failure) {
    return failure.what();
  }
  std::string what;
  if (dropped == 1) what = "1 damaged line was left out";
  if (dropped > 1)
    what = core::Format("%zu damaged lines were left out", dropped);
  if (cut || nul_tail) {
    what += std::string(what.empty() ? "" : ", and ") +
            "its last record was cut short";
  }
  return "The list of answered messages " + path_ + " was damaged (" + what +
         "); the damaged file was kept as " + bad +
         " and the list was rewritten with the " +
         std::to_string(entries_.size()) + " good records";
}

const JournalEntry* AnsweredJournal::Find(const std::string& identity) const {
  auto found = entries_.find(identity);
  return found == entries_.end() ? nullptr : &found->second;
}

std::string AnsweredJournal::RecordAnswered(const std::string& identity,
                                            const std::string& reply_to,
                                            int64_t now,
                                            const std::string& sender_address) {
  JournalEntry& entry = entries_[identity];
  entry.sender = reply_to;
  entry.answered_at = now;
  std::string lines = LineOf(identity, entry);
  if (!sender_address.empty()) {
    const std::string address = core::LowerCase(sender_address);
    const std::string sender_identity = kSenderPrefix + address;
    JournalEntry& sender = entries_[sender_identity];
    sender.sender = address;
    sender.answered_at = now;
    lines += LineOf(sender_identity, sender);
  }
  // One flush for both: each flush costs the disk a round trip.
  return Append(lines);
}

std::string AnsweredJournal::RecordForwarded(const std::string& identity,
                                             int64_t now) {
  auto found = entries_.find(identity);
  JournalEntry& entry =
      found != entries_.end() ? found->second : entries_[identity];
  if (found == entries_.end()) entry.answered_at = now;
  entry.forwarded = true;
  return Append(LineOf(identity, entry));
}

std::string AnsweredJournal::Append(const std::string& lines) {
  if (path_.empty()) return "";
  return core::AppendRecords(path_, lines, true);
}

int64_t AnsweredJournal::LastAnswered(const std::string& address) const {
  const JournalEntry* entry = Find(kSenderPrefix + core::LowerCase(address));
  return entry == nullptr ? 0 : entry->answered_at;
}

void AnsweredJournal::AdoptUnscoped(const std::string& scope) {
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (!it->first.starts_with("uidl:") && !it->first.starts_with("sha256:")) {
      ++it;
      continue;
    }
    entries_.try_emplace(scope + "/" + it->first, it->second);
    it = entries_.erase(it);
  }
}

std::string AnsweredJournal::Prune(const std::set<std::string>& on_server,
                                   int64_t now, int64_t sender_keep_seconds,
                                   const std::string& scope) {
  const std::string own = scope.empty() ? "" : scope + "/";
  for (auto it = entries_.begin(); it != entries_.end();) {
    const bool sender = it->first.starts_with(kSenderPrefix);
    const bool gone = !sender && it->first.starts_with(own) &&
                      on_server.count(it->first) == 0;
    const bool old = now - it->second.answered_at >
                     (sender ? sender_keep_seconds : kJournalKeepSeconds);
    it = gone || old ? entries_.erase(it) : std::next(it);
  }
  if (path_.empty()) return "";
  std::string text;
  for (const auto& [identity, entry] : entries_) {
    text += LineOf(identity, entry);
  }
  try {
    core::WritePrivateFile(path_, text);
  } catch (const core::Exception& failure) {
    return failure.what();
  }
  return "";
}

std::string HashIdentity(const std::string& message_id, const std::string& date,
                         const std::string& from, const std::string& subject,
                         const std::string& to, int32_t size) {
  // NUL separators: no field can run into the next.
  return "sha256:" +
         Sha256Hex(message_id + '\0' + date + '\0' + from + '\0' + subject +
                   '\0' + to + '\0' + std::to_string(size));
}

std::string AccountScope(const std::string& host, int32_t port,
                         const std::string& user,
                         const std::optional<std::string>& folder) {
  std::string named = core::LowerCase(core::Trim(host)) + '\0' +
                      std::to_string(port) + '\0' + user;
  if (folder) named += '\0' + *folder;
  return (folder ? "imap:" : "pop3:") + Sha256Hex(named).substr(0, 16);
}

}  // namespace replyvane::responder
