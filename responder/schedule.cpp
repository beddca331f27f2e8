#include "responder/schedule.h"

#include <time.h>

#include <cstdio>

#include "core/exception.h"
#include "responder/ini_file.h"

namespace replyvane::responder {

namespace {

constexpr char kFromKey[] = "From";
constexpr char kUntilKey[] = "Until";

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t of_era = year - era * 400;
  const int64_t of_year =
      (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t of_cycle = of_era * 365 + of_era / 4 - of_era / 100 + of_year;
  return era * 146097 + of_cycle - 719468;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30,
                                  31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// The number of `count` digits at `at`; -1 when they are not all digits.
int Digits(std::string_view text, size_t at, size_t count) {
  if (at + count > text.size()) return -1;
  int value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// The wall-clock part of a stored time, for the texts the user reads.
std::string Shown(const std::string& text) { return text.substr(0, 16); }

std::optional<int64_t> Instant(const std::string& text, const char* key) {
  if (text.empty()) return std::nullopt;
  if (std::optional<int64_t> instant = ParseScheduleTime(text)) return instant;
  throw core::Exception(
      std::string("Settings.ini: [Schedule] ") + key + "=" + text +
      " is not a time such as 2027-01-04 09:00 +0100; nothing was sent");
}

}  // namespace

std::optional<int64_t> ParseScheduleTime(std::string_view text) {
  // "YYYY-MM-DD HH:MM +HHMM", or with ":SS" after the minutes.
  const bool seconds = text.size() == 25 && text[16] == ':';
  if (text.size() != (seconds ? 25 : 22) || text[4] != '-' || text[7] != '-' ||
      text[10] != ' ' || text[13] != ':') {
    return std::nullopt;
  }
  const std::string_view zone = text.substr(seconds ? 19 : 16);
  if (zone[0] != ' ' || (zone[1] != '+' && zone[1] != '-')) {
    return std::nullopt;
  }
  const int year = Digits(text, 0, 4);
  const int month = Digits(text, 5, 2);
  const int day = Digits(text, 8, 2);
  const int hour = Digits(text, 11, 2);
  const int minute = Digits(text, 14, 2);
  const int second = seconds ? Digits(text, 17, 2) : 0;
  const int offset_hours = Digits(zone, 2, 2);
  const int offset_minutes = Digits(zone, 4, 2);
  if (year < 1970 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || second < 0 || second > 59 || offset_hours < 0 ||
      offset_hours > 23 || offset_minutes < 0 || offset_minutes > 59) {
    return std::nullopt;
  }
  const int64_t offset =
      (zone[1] == '-' ? -1 : 1) * (offset_hours * 3600 + offset_minutes * 60);
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 +
         second - offset;
}

std::string ScheduleTimeText(int64_t instant) {
  const time_t when = time_t(instant);
  struct tm local = {};
  ::localtime_r(&when, &local);
  char wall[32];
  ::strftime(wall, sizeof wall,
             local.tm_sec == 0 ? "%Y-%m-%d %H:%M" : "%Y-%m-%d %H:%M:%S",
             &local);
  // Zone offsets stay within a day.
  const int offset = int(local.tm_gmtoff / 60) % (24 * 60);
  const int minutes = offset < 0 ? -offset : offset;
  char zone[8];
  std::snprintf(zone, sizeof zone, "%c%02d%02d", offset < 0 ? '-' : '+',
                minutes / 60, minutes % 60);
  return std::string(wall) + " " + zone;
}

ScheduleState StateAt(const Schedule& schedule, int64_t now) {
  const std::optional<int64_t> from = Instant(schedule.from, kFromKey);
  const std::optional<int64_t> until = Instant(schedule.until, kUntilKey);
  if (from && now < *from) return ScheduleState::kBefore;
  if (until && now >= *until) return ScheduleState::kAfter;
  return ScheduleState::kInside;
}

std::string OutsideScheduleText(const Schedule& schedule) {
  std::string ends;
  if (!schedule.from.empty()) ends = "from " + Shown(schedule.from);
  if (!schedule.until.empty()) {
    if (!ends.empty()) ends += ' ';
    ends += "until " + Shown(schedule.until);
  }
  return "Outside the schedule (" + ends + ")";
}

std::string AnsweringUntilText(const Schedule& schedule) {
  if (schedule.until.empty()) return "";
  return "Answering until " + Shown(schedule.until);
}

Schedule ReadSchedule(IniFile& ini) {
  Schedule schedule;
  schedule.from = ini.ReadString(kScheduleSection, kFromKey, "");
  schedule.until = ini.ReadString(kScheduleSection, kUntilKey, "");
  return schedule;
}

void WriteSchedule(IniFile& ini, const Schedule& schedule) {
  ini.WriteUnlessDefault(kScheduleSection, kFromKey, schedule.from, "");
  ini.WriteUnlessDefault(kScheduleSection, kUntilKey, schedule.until, "");
}

}  // namespace replyvane::responder
