// Internet dates of the Date header: writing a local date-time with the local
// zone offset, and reading the forms that arrive in practice (with or without
// day name, "-" separated dates, asctime order). Reading never raises: what
// does not parse gives zero. Only the zone query may raise
// (FailedToRetreiveTimeZoneInfo).
#ifndef REPLYVANE_MESSAGE_INTERNET_DATE_H_
#define REPLYVANE_MESSAGE_INTERNET_DATE_H_

#include <array>
#include <string>
#include <string_view>

#include "message/date_time.h"
#include "message/local_time_zone.h"

namespace replyvane::message {

// Sunday first; January first.
inline constexpr std::array<const char*, 7> kDayNames = {
    "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
inline constexpr std::array<const char*, 12> kMonthNames = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun",
    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// "Sun, 6 Dec 2026 22:05:44 +0100": `local` unconverted, then the zone
// offset in force at that local time (FormatUtcOffset with `gmt_flag`).
std::string FormatInternetDate(DateTime local, bool gmt_flag);

// "GMT" for a zero offset with `gmt_flag`, otherwise "+hhmm" / "-hhmm".
std::string FormatUtcOffset(DateTime offset, bool gmt_flag);

// Reads the date and time at the start of `text`, which is left holding what
// follows the time (the zone). Returns 0 for an empty or unreadable date.
DateTime ParseInternetDate(std::string& text);

// "+hhmm" or "-hhmm" at the start of the trimmed text; 0 for anything else.
DateTime ParseUtcOffset(std::string_view text);

// The date of a Date header converted to local time; an unreadable date
// gives 0 minus the offsets (near the origin).
DateTime InternetDateToLocal(std::string_view text);

// 1..7 (Sunday = 1) / 1..12 for the three-letter name in any letter case,
// 0 for anything else.
int DayNameIndex(std::string_view text);
int MonthNameIndex(std::string_view text);

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_INTERNET_DATE_H_
