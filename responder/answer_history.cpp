#include "responder/answer_history.h"

#include <errno.h>

#include <array>
#include <fstream>

#include "core/exception.h"
#include "core/private_file.h"
#include "core/record_file.h"
#include "core/text.h"

namespace replyvane::responder {

namespace {

constexpr std::array<const char*, 3> kOutcomeWords = {"answered", "earlier",
                                                      "not answered"};
constexpr size_t kFieldCount = 8;

std::string Field(std::string_view text) {
  std::string field = core::RecordField(
      text.substr(0, std::min(text.size(), kHistoryFieldLimit + 4)));
  core::CutAtCharacter(field, kHistoryFieldLimit);
  return field;
}

// The time of the line's first field; nullopt when it has none.
std::optional<int64_t> LineTime(std::string_view line) {
  const size_t tab = line.find('\t');
  if (tab == std::string_view::npos) return std::nullopt;
  return core::ParseInt64(line.substr(0, tab));
}

}  // namespace

std::string HistoryLine(const HistoryEntry& entry) {
  std::string line = std::to_string(entry.at);
  for (std::string_view field :
       {std::string_view(kOutcomeWords[size_t(entry.outcome)]),
        std::string_view(entry.sender_address),
        std::string_view(entry.sender_name), std::string_view(entry.subject),
        std::string_view(entry.response),
        std::string_view(entry.forwarded ? "1" : "0"),
        std::string_view(entry.why_not)}) {
    line += '\t';
    line += Field(field);
  }
  line += '\n';
  return line;
}

std::optional<HistoryEntry> ParseHistoryLine(std::string_view line) {
  if (line.find('\0') != std::string_view::npos) return std::nullopt;
  const std::vector<std::string_view> fields = core::SplitRecordFields(line);
  if (fields.size() != kFieldCount) return std::nullopt;
  HistoryEntry entry;
  const std::optional<int64_t> at = core::ParseInt64(fields[0]);
  if (!at || *at < 0) return std::nullopt;
  entry.at = *at;
  size_t outcome = 0;
  while (outcome < kOutcomeWords.size() &&
         fields[1] != kOutcomeWords[outcome]) {
    ++outcome;
  }
  if (outcome == kOutcomeWords.size()) return std::nullopt;
  if (fields[6] != "0" && fields[6] != "1") return std::nullopt;
  entry.outcome = HistoryEntry::Outcome(outcome);
  entry.sender_address = fields[2];
  entry.sender_name = fields[3];
  entry.subject = fields[4];
  entry.response = fields[5];
  entry.forwarded = fields[6] == "1";
  entry.why_not = fields[7];
  return entry;
}

std::vector<HistoryEntry> ReadHistory(const std::string& path,
                                      size_t* damaged) {
  std::vector<HistoryEntry> entries;
  size_t bad = 0;
  std::string text;
  if (!path.empty() && core::ReadRecordFile(path, text)) {
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string_view line(text.data() + start, end - start);
      start = end + 1;
      if (line.empty()) continue;
      if (std::optional<HistoryEntry> entry = ParseHistoryLine(line)) {
        entries.push_back(std::move(*entry));
      } else {
        ++bad;
      }
    }
  }
  if (damaged != nullptr) *damaged = bad;
  return entries;
}

std::string AnswerHistory::Append(const HistoryEntry& entry) const {
  if (path_.empty()) return "";
  return core::AppendRecords(path_, HistoryLine(entry), false);
}

std::string AnswerHistory::Prune(int64_t now, int32_t keep_days) const {
  if (path_.empty()) return "";
  const int64_t oldest_kept = now - int64_t(keep_days) * 24 * 60 * 60;
  {
    std::ifstream file(path_);
    std::string first;
    if (!std::getline(file, first)) return "";
    const std::optional<int64_t> at = LineTime(first);
    if (at && *at >= oldest_kept) return "";
  }
  std::string text;
  if (!core::ReadRecordFile(path_, text)) {
    return errno == ENOENT ? "" : "Cannot read " + path_;
  }
  std::string kept;
  kept.reserve(text.size());
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    // A cut last line is being written or was cut by a crash: dropped.
    if (end == std::string::npos) break;
    const std::string_view line(text.data() + start, end - start);
    start = end + 1;
    const std::optional<int64_t> at = LineTime(line);
    if (!at || *at < oldest_kept || !ParseHistoryLine(line)) continue;
    kept.append(line);
    kept += '\n';
  }
  try {
    core::WritePrivateFile(path_, kept);
  } catch (const core::Exception& failure) {
    return failure.what();
  }
  return "";
}

}  // namespace replyvane::responder
