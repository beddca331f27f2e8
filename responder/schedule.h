// When the responder answers: "Answer from … until …", each end optional,
// off by default. Kept in Settings.ini's section "Schedule" as local
// times with the offset from UTC in force at them when they were set,
// "2027-01-04 09:00 +0100", so that the instant is fixed: a change to or
// from daylight saving time (or a move to another zone) between setting
// and reaching it does not move an end. A stored text that is not such a
// time stops the check, rather than answering without the end the user
// meant.
#ifndef REPLYVANE_RESPONDER_SCHEDULE_H_
#define REPLYVANE_RESPONDER_SCHEDULE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace replyvane::responder {

class IniFile;

inline constexpr char kScheduleSection[] = "Schedule";

struct Schedule {
  // The stored texts; empty: that end is open.
  std::string from;
  std::string until;

  bool IsSet() const { return !from.empty() || !until.empty(); }
};

// Seconds since the epoch of "YYYY-MM-DD HH:MM ±HHMM" (or with ":SS"
// after the minutes, for a file edited by hand); nullopt when the text is
// not one.
std::optional<int64_t> ParseScheduleTime(std::string_view text);
// The text of `instant` in the local zone, with its offset then (seconds
// only when not 0).
std::string ScheduleTimeText(int64_t instant);

enum class ScheduleState { kInside, kBefore, kAfter };
// Where `now` stands (until is the first second no longer answered). Raises
// core::Exception for an end that is not a time, naming it.
ScheduleState StateAt(const Schedule& schedule, int64_t now);

// "Outside the schedule (from 2026-12-20 08:00 until 2027-01-04 09:00)",
// an open end left out.
std::string OutsideScheduleText(const Schedule& schedule);
// "Answering until 2027-01-04 09:00"; empty without an end.
std::string AnsweringUntilText(const Schedule& schedule);

Schedule ReadSchedule(IniFile& ini);
// Writes the keys only when set or in the file already.
void WriteSchedule(IniFile& ini, const Schedule& schedule);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_SCHEDULE_H_
