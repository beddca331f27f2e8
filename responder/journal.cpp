#include "responder/journal.h"

#include <errno.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <optional>
#include <string_view>
#include <vector>

#include "core/exception.h"
#include "core/text.h"
#include "responder/private_file.h"

namespace replyvane::responder {

namespace {

// Tabs and line ends would break a record apart.
std::string FieldText(const std::string& text) {
  std::string field = core::BlankLineBreaks(text);
  for (char& c : field) {
    if (c == '\t') c = ' ';
  }
  return field;
}

std::string LineOf(const std::string& identity, const JournalEntry& entry) {
  return FieldText(identity) + '\t' + FieldText(entry.sender) + '\t' +
         std::to_string(entry.answered_at) + '\t' +
         (entry.forwarded ? "1" : "0") + '\n';
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return fields;
}

// Sender entries share the file with message entries, whose identities
// begin with "uidl:" or "sha256:".
constexpr char kSenderPrefix[] = "sender:";

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + ::strerror(errno);
}

// Writes all of `data` to `fd`; false with errno set on failure.
bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(size_t(n));
  }
  return true;
}

// The folder part of `path`, "." when it has none.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncFolder(const std::string& path) {
  const int fd =
      ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

AnsweredJournal::AnsweredJournal(std::string path) : path_(std::move(path)) {}

std::string AnsweredJournal::Load() {
  entries_.clear();
  if (path_.empty()) return "";
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) return "";
  std::string text;
  bool readable = fd >= 0;
  if (readable) {
    char buffer[65536];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof(buffer));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) readable = false;
      if (n <= 0) break;
      text.append(buffer, size_t(n));
    }
    ::close(fd);
  }
  bool damaged = !readable;
  std::map<std::string, JournalEntry> entries;
  size_t start = 0;
  while (readable && start < text.size()) {
    size_t end = text.find('\n', start);
    const bool cut = end == std::string::npos;
    if (cut) end = text.size();
    const std::string_view line(text.data() + start, end - start);
    start = end + 1;
    const std::vector<std::string_view> fields = SplitTabs(line);
    std::optional<int64_t> when;
    if (fields.size() == 4) when = core::ParseInt64(fields[2]);
    if (fields.size() != 4 || fields[0].empty() || !when ||
        (fields[3] != "0" && fields[3] != "1")) {
      // A last line without its end was cut by a crash while it was
      // written, after its response went out: a whole identity in it still
      // counts as answered.
      if (cut && fields.size() >= 2 && !fields[0].empty()) {
        JournalEntry& entry = entries[std::string(fields[0])];
        entry.sender = std::string(fields[1]);
        if (entry.answered_at == 0) entry.answered_at = ::time(nullptr);
        continue;
      }
      damaged = true;
      break;
    }
    JournalEntry& entry = entries[std::string(fields[0])];
    entry.sender = std::string(fields[1]);
    entry.answered_at = *when;
    entry.forwarded = entry.forwarded || fields[3] == "1";
  }
  if (!damaged) {
    entries_ = std::move(entries);
    return "";
  }
  const std::string bad = path_ + ".bad";
  ::rename(path_.c_str(), bad.c_str());
  return "The list of answered messages " + path_ +
         " could not be read; it was set aside as " + bad;
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
  const bool existed = ::access(path_.c_str(), F_OK) == 0;
  const int fd =
      ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return ErrnoText("Cannot write", path_);
  const bool ok = WriteAll(fd, lines) && ::fsync(fd) == 0;
  const std::string failure = ok ? "" : ErrnoText("Cannot write", path_);
  ::close(fd);
  if (ok && !existed) SyncFolder(path_);
  return failure;
}

int64_t AnsweredJournal::LastAnswered(const std::string& address) const {
  const JournalEntry* entry = Find(kSenderPrefix + core::LowerCase(address));
  return entry == nullptr ? 0 : entry->answered_at;
}

std::string AnsweredJournal::Prune(const std::set<std::string>& on_server,
                                   int64_t now, int64_t sender_keep_seconds) {
  for (auto it = entries_.begin(); it != entries_.end();) {
    const bool sender = it->first.starts_with(kSenderPrefix);
    const bool gone = !sender && on_server.count(it->first) == 0;
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
    WritePrivateFile(path_, text);
  } catch (const core::Exception& failure) {
    return failure.what();
  }
  return "";
}

std::string HashIdentity(const std::string& message_id, const std::string& date,
                         const std::string& from, const std::string& subject) {
  // NUL separators: no field can run into the next.
  const std::string joined =
      message_id + '\0' + date + '\0' + from + '\0' + subject;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(joined.data(), joined.size(), digest, &length, EVP_sha256(),
             nullptr);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string result = "sha256:";
  for (unsigned int i = 0; i < length; ++i) {
    result += kHex[digest[i] >> 4];
    result += kHex[digest[i] & 15];
  }
  return result;
}

}  // namespace replyvane::responder
