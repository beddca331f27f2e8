#include "message/date_time.h"

#include <cmath>
#include <ctime>

namespace replyvane::message {
namespace {

// Day numbers of 1970-01-01, 0001-01-01 and 10000-01-01 on our scale.
constexpr int64_t kUnixEpochDay = 25569;
constexpr int64_t kFirstDay = -693593;
constexpr int64_t kEndDay = 2958466;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t year_of_era = year - era * 400;
  int64_t day_of_year =
      (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

void CivilFromDays(int64_t days, DateTimeFields& fields) {
  days += 719468;
  int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  int64_t day_of_era = days - era * 146097;
  int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 -
                         day_of_era / 146096) /
                        365;
  int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  int64_t mp = (5 * day_of_year + 2) / 153;
  fields.day = int(day_of_year - (153 * mp + 2) / 5 + 1);
  fields.month = int(mp < 10 ? mp + 3 : mp - 9);
  fields.year = int(year_of_era + era * 400 + (fields.month <= 2));
}

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30,
                                  31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

struct DayAndTime {
  int64_t day;           // the day number, counting back before the origin
  int64_t milliseconds;  // time of day
};

// Nothing outside years 1..9999 (nor NaN) is taken apart: the origin.
DayAndTime Split(DateTime value) {
  if (!(value > double(kFirstDay - 1) && value < double(kEndDay))) {
    return {0, 0};
  }
  double whole = std::trunc(value);
  auto day = int64_t(whole);
  int64_t ms =
      std::llround(std::fabs(value - whole) * double(kMillisecondsPerDay));
  if (ms >= kMillisecondsPerDay) {
    ms -= kMillisecondsPerDay;
    day += value < 0 ? -1 : 1;
  }
  return {day, ms};
}

}  // namespace

std::optional<DateTime> TryEncodeDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return std::nullopt;
  }
  return DateTime(DaysFromCivil(year, month, day) + kUnixEpochDay);
}

std::optional<DateTime> TryEncodeTime(int hour, int minute, int second,
                                      int millisecond) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
      second > 59 || millisecond < 0 || millisecond > 999) {
    return std::nullopt;
  }
  int64_t ms =
      ((int64_t(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
  return DateTime(ms) / double(kMillisecondsPerDay);
}

DateTime CombineDateAndTime(DateTime date, DateTime time_of_day) {
  return date >= 0 ? date + time_of_day : date - time_of_day;
}

std::optional<DateTime> TryEncodeDateTime(const DateTimeFields& fields) {
  auto date = TryEncodeDate(fields.year, fields.month, fields.day);
  auto time = TryEncodeTime(fields.hour, fields.minute, fields.second,
                            fields.millisecond);
  if (!date || !time) return std::nullopt;
  return CombineDateAndTime(*date, *time);
}

DateTimeFields DecodeDateTime(DateTime value) {
  DayAndTime split = Split(value);
  DateTimeFields fields;
  CivilFromDays(split.day - kUnixEpochDay, fields);
  int64_t ms = split.milliseconds;
  fields.hour = int(ms / 3'600'000);
  fields.minute = int(ms / 60'000 % 60);
  fields.second = int(ms / 1000 % 60);
  fields.millisecond = int(ms % 1000);
  return fields;
}

int DayOfWeek(DateTime value) {
  // 1970-01-01 was a Thursday.
  int64_t weekday = (Split(value).day - kUnixEpochDay + 4) % 7;
  return int(weekday < 0 ? weekday + 7 : weekday) + 1;
}

DateTime FromUnixTime(int64_t seconds) {
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  return CombineDateAndTime(DateTime(days + kUnixEpochDay),
                            DateTime(rest) / 86400.0);
}

int64_t ToUnixTime(DateTime value) {
  DayAndTime split = Split(value);
  return (split.day - kUnixEpochDay) * 86400 +
         (split.milliseconds + 500) / 1000;
}

DateTime Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  if (localtime_r(&now.tv_sec, &local) == nullptr) {
    return FromUnixTime(now.tv_sec);
  }
  DateTimeFields fields{local.tm_year + 1900,
                        local.tm_mon + 1,
                        local.tm_mday,
                        local.tm_hour,
                        local.tm_min,
                        local.tm_sec,
                        int(now.tv_nsec / 1'000'000)};
  // A leap second reads as the last second of its minute.
  if (fields.second > 59) fields.second = 59;
  return TryEncodeDateTime(fields).value_or(FromUnixTime(now.tv_sec));
}

}  // namespace replyvane::message
