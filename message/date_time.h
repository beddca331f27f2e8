// Date-times as the program keeps them: a day count since 1899-12-30 whose
// fraction is the time of day. Before that origin the whole part counts back
// while the fraction still is the time of day (-1.25 is 1899-12-29 06:00).
// An offset from UTC is a signed fraction of a day. Invalid calendar fields
// give std::nullopt, never an exception.
#ifndef REPLYVANE_MESSAGE_DATE_TIME_H_
#define REPLYVANE_MESSAGE_DATE_TIME_H_

#include <cstdint>
#include <optional>

namespace replyvane::message {

using DateTime = double;

inline constexpr int64_t kMillisecondsPerDay = 86'400'000;

struct DateTimeFields {
  int year = 1899;
  int month = 12;  // 1..12
  int day = 30;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// The day count of a date of years 1..9999; nullopt for an invalid date.
std::optional<DateTime> TryEncodeDate(int year, int month, int day);
// The fraction of a day of a time of day; nullopt when a field is out of
// range (hour 0..23, minute and second 0..59, millisecond 0..999).
std::optional<DateTime> TryEncodeTime(int hour, int minute, int second,
                                      int millisecond = 0);
// The date-time of a date and a time of day (also before the origin).
DateTime CombineDateAndTime(DateTime date, DateTime time_of_day);
// Both in one; nullopt when a field is invalid.
std::optional<DateTime> TryEncodeDateTime(const DateTimeFields& fields);

// The calendar fields, the time rounded to the millisecond. Values outside
// years 1..9999 (and NaN) give the fields of the origin.
DateTimeFields DecodeDateTime(DateTime value);
// 1 for Sunday through 7 for Saturday.
int DayOfWeek(DateTime value);

// Seconds since 1970-01-01 as a date-time in the same zone, and back
// (rounded to whole seconds).
DateTime FromUnixTime(int64_t seconds);
int64_t ToUnixTime(DateTime value);

// The local wall-clock time now (zone from the environment, TZ included).
DateTime Now();

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_DATE_TIME_H_
